// The tables the application layer keeps beside the component's (prefix
// mpweb_): accounts, sessions, API tokens, copy jobs and the activity log.
#ifndef MIGPROF_APP_TABLES_H_
#define MIGPROF_APP_TABLES_H_

#include "app/db.h"

namespace migprof::app {

// Creates the revision-control tables when they are missing (on any
// database, as the configuration-management component does on first use).
// On the embedded database creates the tables that are missing and adds the
// columns a file made by an older version lacks. On a server database checks
// that they are all there and raises std::runtime_error naming the script or
// statements to run otherwise; a database that cannot be reached at all
// raises its own ComError, so the real cause comes first.
void EnsureTables(const Db& db);

}  // namespace migprof::app

#endif  // MIGPROF_APP_TABLES_H_
