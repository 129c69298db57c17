#include "component/ado/native_trace.h"

#include <utility>

namespace migprof::ado::detail {
namespace {

thread_local std::function<void(const NativeStatement&)> native_trace;

}  // namespace

ScopedNativeTrace::ScopedNativeTrace(std::function<void(const NativeStatement&)> observer)
    : previous_(std::move(native_trace)) {
  native_trace = std::move(observer);
}

ScopedNativeTrace::~ScopedNativeTrace() { native_trace = std::move(previous_); }

bool NativeTraceOn() { return static_cast<bool>(native_trace); }

void TraceNative(const NativeStatement& statement) {
  if (native_trace) native_trace(statement);
}

}  // namespace migprof::ado::detail
