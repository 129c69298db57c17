// The guard of DeleteData: the text it is given must be one select statement
// and nothing else, so that the member deletes only rows a query yields and
// cannot be made to run other SQL.
#ifndef MIGPROF_MAPRULES_SELECT_STATEMENT_H_
#define MIGPROF_MAPRULES_SELECT_STATEMENT_H_

#include <string_view>

namespace migprof::maprules {

// True when sql is exactly one select statement: its first word is SELECT;
// a later SELECT only opens a subquery (after "(") or continues a set
// operation (after UNION, ALL, EXCEPT, INTERSECT); no word of a statement
// that changes data, schema, rights or the session occurs (INSERT, UPDATE,
// DELETE, INTO, EXEC, DROP, SET, ...); and nothing but blanks, comments and
// further ";" follows a ";". String literals, quoted names ("..." and
// [...]) and comments (-- and nested /* */) are skipped; an unterminated one
// makes the text refused. Words are matched ignoring letter case.
bool IsSingleSelectStatement(std::string_view sql);

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_SELECT_STATEMENT_H_
