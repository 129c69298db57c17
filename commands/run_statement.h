// One statement run on a new connection of the component, answered as JSON.
#ifndef MIGPROF_COMMANDS_RUN_STATEMENT_H_
#define MIGPROF_COMMANDS_RUN_STATEMENT_H_

#include "commands/json_values.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::cli {

// Runs statement through object.getNewConnection()->Execute, so it gets the
// same treatment as the component's own statements, and answers
//   {"columns": [...], "rows": [[...], ...]}
// for a statement that yields rows (values as JsonFromVariant writes them),
//   {"columns": [], "rows": [], "rowsAffected": n}
// for one that does not, and {"raised": {"number": n, "description": "..."}}
// when the connection or the statement fails. The object's error state is
// not touched. Never throws ComError.
Json RunStatement(TOVRHandleMigProf& object, const String& statement);

}  // namespace migprof::cli

#endif  // MIGPROF_COMMANDS_RUN_STATEMENT_H_
