// Where a statement writes values into columns of the profile tables: the
// dialects route each such value through a conversion of the column's SQL
// Server type (column_types.h).
#ifndef MIGPROF_COMPONENT_SQL_COLUMN_ASSIGNMENTS_H_
#define MIGPROF_COMPONENT_SQL_COLUMN_ASSIGNMENTS_H_

#include <cstddef>
#include <vector>

#include "component/sql/column_types.h"
#include "component/sql/tsql_lexer.h"

namespace migprof::tsql {

// A value written into a column: the tokens [first, last), without the
// blanks around them, and the column's type (never ColumnType::kOther).
struct ColumnAssignment {
  std::size_t first;
  std::size_t last;
  const ColumnType* type;
};

// The values that statements of the outermost level of `tokens` (a
// Tokenize() result) write into columns of profile tables, in text order:
//   insert [into] t [(c, ...)] values (e, ...)[, (e, ...)]...
//   insert [into] t [(c, ...)] select [all | distinct] [top ...] e, ... from ...
//   update [top (n)] t set c = e, ...  [from | where | option | output ...]
// Without a column list the values go to the table's columns in order
// (IDENTITY columns left out, as SQL Server leaves them out). A
// row whose count differs, an item of a select list with an alias of its
// own ("e x", "e as x" counts as e), a select with a set operator, and a
// compound assignment (c += e) give nothing, as do columns of a type not
// checked and tables the SQL Server script does not create.
std::vector<ColumnAssignment> FindColumnAssignments(const std::vector<Token>& tokens);

// An INSERT without a column list into a profile table with an IDENTITY
// column: the token index just after the table's name, and the columns SQL
// Server fills from the values (the table's columns without the IDENTITY
// ones). A database whose schema has that key as an ordinary column needs
// this list written out to take the same values. Only "values" and "select"
// inserts count.
struct ImplicitColumnList {
  std::size_t at;
  const std::vector<Column>* columns;
};
std::vector<ImplicitColumnList> FindImplicitColumnLists(const std::vector<Token>& tokens);

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_COLUMN_ASSIGNMENTS_H_
