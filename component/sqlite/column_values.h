// The step of Translate() that routes every value an INSERT or UPDATE writes
// into a profile table through the column function of the column's SQL
// Server type (dialect.h), so that the embedded database keeps the types
// and widths SQL Server declares.
#ifndef MIGPROF_COMPONENT_SQLITE_COLUMN_VALUES_H_
#define MIGPROF_COMPONENT_SQLITE_COLUMN_VALUES_H_

#include <deque>
#include <string>
#include <vector>

#include "component/sql/tsql_lexer.h"

namespace migprof::sqlite_dialect {

// Texts of tokens a translation step writes; they live as long as the
// translation.
using TokenTexts = std::deque<std::string>;

// Wraps each value tsql::FindColumnAssignments finds in the column function
// of its column's type, as ColumnCall does. A decimal number written alone
// into a varchar column becomes the text SQL Server makes of it ('2.50',
// where SQLite would make 2.5).
// Writes out the column list of an INSERT without one into a profile table
// (tsql::FindImplicitColumnLists): the embedded schema has the IDENTITY key
// rowkey as an ordinary column, which SQLite would otherwise expect a value
// for, where SQL Server fills the other columns from the values.
std::vector<tsql::Token> AddImplicitColumnLists(const std::vector<tsql::Token>& tokens);

std::vector<tsql::Token> WrapColumnValues(const std::vector<tsql::Token>& tokens,
                                          TokenTexts* texts);

}  // namespace migprof::sqlite_dialect

#endif  // MIGPROF_COMPONENT_SQLITE_COLUMN_VALUES_H_
