// Values bound to the '?' markers of a statement.
#ifndef MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_
#define MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_

#include <cstddef>
#include <deque>
#include <vector>

#include "component/odbc/odbc_api.h"
#include "migprof/automation.h"

namespace migprof::odbc {

// Owns the buffers of bound values; it must outlive the statement's
// executions.
class BoundParameters {
 public:
  // Binds values[i] to marker i + 1 of the statement: integers as INTEGER,
  // doubles as DOUBLE, text as WVARCHAR (UTF-16) or, for a narrow driver,
  // VARCHAR (UTF-8), binary as VARBINARY, dates as TIMESTAMP, Null and Empty
  // as a null WVARCHAR. Raises the driver's failure.
  void Bind(const StatementHandle& statement, const std::vector<Variant>& values);

  // The same for a statement bound by this object before (a prepared
  // statement run again): a value whose type matches its marker's binding
  // and fits its buffer is written into that buffer, which the driver reads
  // when the statement runs; any other value is bound anew.
  void Refill(const StatementHandle& statement, const std::vector<Variant>& values);

 private:
  struct Slot {
    std::vector<unsigned char> data;  // its size is the buffer's capacity
    SQLLEN indicator = 0;
    SQLSMALLINT c_type = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN declared = 0;  // the size the marker was declared with
  };
  // Binds one value; with room, a short text or binary value gets a buffer
  // with room for longer ones to come.
  void BindSlot(const StatementHandle& statement, std::size_t marker, const Variant& value,
                bool room);
  std::deque<Slot> slots_;  // a deque keeps each slot where it is
};

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_
