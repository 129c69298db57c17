// The statements behind an updatable recordset's row changes on an ODBC data
// source: the row is inserted into, changed in or deleted from the source
// statement's table, and a changed or deleted row is found by the values it
// had when it was read, one row at most.
#ifndef MIGPROF_COMPONENT_ODBC_ROW_STATEMENTS_H_
#define MIGPROF_COMPONENT_ODBC_ROW_STATEMENTS_H_

#include <string>
#include <vector>

#include "component/odbc/odbc_error.h"
#include "migprof/automation.h"

namespace migprof::odbc {

// A statement in the server's own dialect and the values for its '?'
// markers, in order. Null and Empty values are written into the text as
// NULL (or matched with IS NULL) and never become parameters.
struct RowStatement {
  std::string sql;
  std::vector<Variant> parameters;
};

// Names are quoted for the server (`name` on MariaDB, [name] on SQL Server);
// a dotted table name is quoted part by part.
//
// INSERT INTO t (c1,c2) VALUES (?,?); with no columns, a row of defaults.
RowStatement InsertRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& values);

// Changes set_columns of the first row whose columns hold the original
// values: UPDATE ... LIMIT 1 on MariaDB, UPDATE TOP (1) on SQL Server. On
// MariaDB a text is matched exactly (letter case and trailing blanks count);
// on SQL Server with the server's own comparison, as ADO's client cursor
// does.
RowStatement UpdateRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original,
                                const std::vector<String>& set_columns,
                                const std::vector<Variant>& set_values);

// Yields one row when a row whose columns hold the original values exists
// (matched as for UpdateRowStatement).
RowStatement RowExistsStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original);

// Deletes the first row whose columns hold the original values (matched as
// for UpdateRowStatement): DELETE ... LIMIT 1 on MariaDB, DELETE TOP (1) on
// SQL Server.
RowStatement DeleteRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original);

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_ROW_STATEMENTS_H_
