// The tables of the configuration-management component: qzcfg100 (open
// check-outs) and qzcfg110 (revisions). They sit next to the profile tables
// and never change those; a database that lacks them gets them on first use.
#ifndef MIGPROF_CONFIGMGT_TABLES_H_
#define MIGPROF_CONFIGMGT_TABLES_H_

#include <string>
#include <vector>

#include "migprof/ado.h"

namespace migprof::configmgt {

// The database servers the table scripts are written for.
enum class Dialect { kEmbedded, kSqlServer, kMariaDb };

// The script that creates both tables and their indexes for dialect.
const char* TableScript(Dialect dialect);

// The statements of a script: comment lines dropped, split at ";", blank
// pieces left out.
std::vector<std::string> ScriptStatements(const std::string& script);

// The server behind an open connection: the embedded database for a
// "sqlite:" data source, MariaDB when it answers "select version()", SQL
// Server otherwise.
Dialect DialectOf(ado::Connection& connection);

// Creates qzcfg100 and qzcfg110 on connection unless qzcfg110 can be read
// already. Raises ComError when they cannot be created.
void EnsureTables(ado::Connection& connection);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_TABLES_H_
