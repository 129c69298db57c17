// Values bound to the '?' markers of a statement.
#ifndef MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_
#define MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_

#include <deque>
#include <vector>

#include "component/odbc/odbc_api.h"
#include "migprof/automation.h"

namespace migprof::odbc {

// Owns the buffers of bound values; it must outlive the statement's
// execution.
class BoundParameters {
 public:
  // Binds values[i] to marker i + 1 of the statement: integers as INTEGER,
  // doubles as DOUBLE, text as WVARCHAR (UTF-16) or, for a narrow driver,
  // VARCHAR (UTF-8), binary as VARBINARY, dates as TIMESTAMP, Null and Empty
  // as a null WVARCHAR. Raises the driver's failure.
  void Bind(const StatementHandle& statement, const std::vector<Variant>& values);

 private:
  struct Slot {
    std::vector<unsigned char> data;
    SQLLEN indicator = 0;
  };
  std::deque<Slot> slots_;  // a deque keeps each slot where it is
};

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_BOUND_PARAMETERS_H_
