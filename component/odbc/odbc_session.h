// A database server reached through the ODBC driver manager (unixODBC): the
// driver of the data-access layer for every data source name that is not the
// embedded database.
#ifndef MIGPROF_COMPONENT_ODBC_ODBC_SESSION_H_
#define MIGPROF_COMPONENT_ODBC_ODBC_SESSION_H_

#include <memory>

#include "component/ado/session.h"

namespace migprof::odbc {

// Connects with SQLDriverConnect, handing the connection string to the
// driver manager exactly as given, after setting the login timeout
// (seconds). The server's kind (SQLGetInfo SQL_DBMS_NAME) decides the
// dialect: SQL Server gets the statements unchanged; MariaDB and MySQL get
// them through TranslateForMariaDb, and the session is set up to compare
// text like SQL Server (the database's collation for literals too, no
// backslash escapes in literals, READ COMMITTED, lock waits bounded by the
// command timeout rather than the server's default).
//
// The session:
//   - runs every statement with SQLExecDirect and reads the result whole;
//     Describe prepares the statement to learn its columns without running
//     it;
//   - applies the command timeout (seconds, 0 for none) as each statement's
//     query timeout;
//   - changes rows of an updatable recordset through row_statements.h;
//   - runs a transaction in manual-commit mode (SQLEndTran ends it), and
//     rolls back an open transaction before it disconnects.
// Failures raise ComError as odbc_error.h describes: a missing data source
// or refused login while connecting, a rejected statement, a timeout, a
// constraint, a lost connection. Raises kProviderFailure when connecting
// fails.
//
// A released session whose connection is exactly as a new one (no
// transaction, autocommit on, only queries and row changes of the caller
// run on it, no failure that leaves the connection in doubt) keeps its
// connection for the next OpenSession with the same connection string
// (at most 8 per string, for 60 seconds, and only while the driver reports
// it alive): no new login.
std::unique_ptr<ado::detail::Session> OpenSession(const String& connection_string,
                                                  long login_timeout, long command_timeout);

// Closes the kept connections, and frees the driver manager's environment
// when no connection is in use. Sessions opened afterwards connect anew.
void CloseIdleSessions();

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_ODBC_SESSION_H_
