// The shape of a statement: its text with the string literals of its
// conditions and values replaced by parameters. Statements that differ only
// in those values (the component builds one per key it looks up) then share
// one translation and one prepared statement (the embedded database parses
// each shape once per connection instead of once per value), and over ODBC
// one description of their columns.
#ifndef MIGPROF_COMPONENT_SQL_STATEMENT_SHAPE_H_
#define MIGPROF_COMPONENT_SQL_STATEMENT_SHAPE_H_

#include <vector>

#include "component/sql/tsql_lexer.h"
#include "migprof/automation.h"

namespace migprof::tsql {

struct StatementShape {
  String text;                 // the statement with "?1", "?2", ... for the values taken out
  std::vector<String> values;  // the literals' values, in order
};

// Takes out the plain string literals ('...', not N'...', without NUL) that
// follow the first WHERE, SET or VALUES of the statement's outermost level,
// up to a set operator or ';' there: only there does a literal stand for a
// value alone, never for a column's name (SQLite names a result column
// after the literal written in the select list). A text that holds
// parameters of its own, or no such literal, keeps its text and gets no
// values.
StatementShape ShapeOf(const String& sql);
// The same for a text already tokenized: tokens is Tokenize(sql).
StatementShape ShapeOf(const String& sql, const std::vector<Token>& tokens);

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_STATEMENT_SHAPE_H_
