// Updatable cursors find "the current row" again by a key that the database
// reads alongside the caller's columns: the statement is run with the key
// columns of the row's table appended to its select list, and the recordset
// hides them from the caller's fields.
#ifndef MIGPROF_COMPONENT_SQL_ROW_KEY_SELECT_H_
#define MIGPROF_COMPONENT_SQL_ROW_KEY_SELECT_H_

#include <string>
#include <string_view>
#include <vector>

namespace migprof::tsql {

// The statement with the key appended, or why the rows cannot be changed.
struct RowKeySelect {
  std::string sql;      // empty when refused
  std::string refusal;  // empty when sql is usable
};

// Appends ", <q>.<key>" for every entry of key_expressions (already quoted
// as the statement's dialect needs) at the end of the outermost select list
// of `sql`, where <q> is the name the outermost FROM clause gives `table`
// (its alias when it has one; the table's name compared ignoring letter
// case and quoting). Refused: a text that is not a SELECT, a SELECT without
// FROM, DISTINCT, grouping or a set operator at the outermost level (a row
// of the result is then no row of a table), and a FROM clause that names
// the table not at all or more than once.
RowKeySelect AppendRowKey(std::string_view sql, std::string_view table,
                          const std::vector<std::string>& key_expressions);

// Why the rows of a statement cannot be changed through a recordset, as the
// recordset tells it: "The rows of this statement cannot be changed through
// the recordset: " and why.
std::string RecordsetRefusal(std::string_view why);

// The refusal for a statement whose table-bound columns come from `tables`
// when that is not exactly one table (none, or several, named in order).
std::string TablesRefusal(const std::vector<std::string>& tables);

// The text of a name without its quoting ("x", [x], `x`), doubled closing
// characters undone.
std::string UnquoteName(std::string_view name);

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_ROW_KEY_SELECT_H_
