// How the failures an ODBC driver reports become the component's errors:
// the server kinds the driver tells apart, one diagnostic record, and the one
// place where a diagnostic is given the catalogue's number.
#ifndef MIGPROF_COMPONENT_ODBC_ODBC_ERROR_H_
#define MIGPROF_COMPONENT_ODBC_ODBC_ERROR_H_

#include <string>
#include <string_view>

#include "migprof/com_error.h"

namespace migprof::odbc {

// The database server behind a data source, as far as statement texts and
// error numbers depend on it.
enum class Server {
  kSqlServer,  // Microsoft SQL Server, or any server not listed here
  kMariaDb,    // MariaDB or MySQL
};

// The server kind for a SQLGetInfo(SQL_DBMS_NAME) answer: "MariaDB" and
// "MySQL" (any letter case, anywhere in the name) are kMariaDb; everything
// else, "Microsoft SQL Server" included, is kSqlServer.
Server ServerFromDbmsName(std::string_view dbms_name);

// One diagnostic record of the driver manager or the driver.
struct Diagnostic {
  std::string sqlstate;   // five characters, e.g. "42000"; empty when none
  long native_error = 0;  // the server's own error number
  std::string message;    // the full text, with the "[vendor][driver]" prefixes
};

// What was being done when the failure happened.
enum class Stage {
  kConnect,    // allocating, connecting, preparing the new session
  kStatement,  // running a statement or ending a transaction
};

// The error to raise for a diagnostic. Numbers:
//   IM002 (no such data source): kProviderFailure with
//       errtext::kDataSourceNotFound, the Windows driver manager's wording of
//       the same message (unixODBC's differs only in its prefix);
//   any failure while connecting, SQLSTATE classes IM, 08 and 28, and a
//       connection the server dropped or killed: kProviderFailure;
//   HYT00 / HYT01 and the server's lock-wait or statement-time limits:
//       kQueryTimeout;
//   SQLSTATE 40001 and MariaDB's 1213 (a deadlock victim, a Galera
//       certification conflict): kWriteConflict, errtext::kWriteConflict
//       followed by the driver's message;
//   class 23: kIntegrityViolation;
//   anything else: kErrorsInCommand.
// The description is the diagnostic's message as the driver manager gave it,
// or, when the driver left no record, a text naming the SQLSTATE. MariaDB's
// refusals of a value for its column read as SQL Server's after the driver's
// prefixes: 1406 (too long) as 8152 "String or binary data would be
// truncated.", 1264 (out of range) as 8115 "Arithmetic overflow error
// converting expression to data type int.", 1366 for an integer as 245
// "Conversion failed when converting the varchar value '<v>' to data type
// int.".
ComError ErrorFor(const Diagnostic& diagnostic, Stage stage, Server server);

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_ODBC_ERROR_H_
