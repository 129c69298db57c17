// One SQL statement run as the component runs its own (through a connection
// of the component, so it gets the same dialect treatment): the tool's `sql`
// command. It passes every other check, so only an administrator may run
// it; a statement that yields no rows is recorded as a change.
#ifndef MIGPROF_APP_STATEMENTS_H_
#define MIGPROF_APP_STATEMENTS_H_

#include <optional>
#include <vector>

#include "app/activity.h"
#include "app/application.h"
#include "migprof/com_error.h"

namespace migprof::app {

struct StatementResult {
  std::vector<String> columns;             // empty for a statement without rows
  std::vector<std::vector<Variant>> rows;
  Variant rows_affected;                   // for a statement without rows
  RowCounts changed;
  std::optional<ComError> raised;
};

// Raises Forbidden (recorded) unless principal is an administrator.
StatementResult RunStatement(Application& app, const Principal& principal,
                             const String& statement);

}  // namespace migprof::app

#endif  // MIGPROF_APP_STATEMENTS_H_
