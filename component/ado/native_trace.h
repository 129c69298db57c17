// What the sessions hand their database, statement by statement: the text in
// the database's own dialect (after translation), the values bound to it and
// the native connection that ran it. Measurements record a member's work
// this way and replay it on the database's own client library.
#ifndef MIGPROF_COMPONENT_ADO_NATIVE_TRACE_H_
#define MIGPROF_COMPONENT_ADO_NATIVE_TRACE_H_

#include <functional>
#include <vector>

#include "migprof/automation.h"

namespace migprof::ado::detail {

struct NativeStatement {
  String sql;
  std::vector<Variant> values;
  const void* handle = nullptr;  // the native connection (sqlite3*, SQLHDBC)
};

// Sees each statement the sessions of this thread run, in order, while it
// lives.
class ScopedNativeTrace {
 public:
  explicit ScopedNativeTrace(std::function<void(const NativeStatement&)> observer);
  ~ScopedNativeTrace();
  ScopedNativeTrace(const ScopedNativeTrace&) = delete;
  ScopedNativeTrace& operator=(const ScopedNativeTrace&) = delete;

 private:
  std::function<void(const NativeStatement&)> previous_;
};

// Whether a trace is recording on this thread (sessions skip building the
// statement otherwise).
bool NativeTraceOn();
// Tells this thread's trace about a statement.
void TraceNative(const NativeStatement& statement);

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_NATIVE_TRACE_H_
