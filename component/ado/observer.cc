#include "component/ado/observer.h"

#include "migprof/ado.h"

namespace migprof::ado {
namespace {
thread_local StatementObserver current_observer;
}  // namespace

namespace detail {
void NotifyStatement(const String& text) {
  if (current_observer) current_observer(text);
}
}  // namespace detail

ScopedStatementObserver::ScopedStatementObserver(StatementObserver observer)
    : previous_(std::move(current_observer)) {
  current_observer = std::move(observer);
}

ScopedStatementObserver::~ScopedStatementObserver() { current_observer = std::move(previous_); }

}  // namespace migprof::ado
