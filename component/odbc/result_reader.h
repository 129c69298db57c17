// Reading what an executed statement produced.
#ifndef MIGPROF_COMPONENT_ODBC_RESULT_READER_H_
#define MIGPROF_COMPONENT_ODBC_RESULT_READER_H_

#include <vector>

#include "component/ado/session.h"
#include "component/odbc/odbc_api.h"

namespace migprof::odbc {

// The names of the columns the statement's current result has (none for a
// statement without rows).
std::vector<String> ColumnNames(const StatementHandle& statement);

// The columns of an executed statement's result: names and SQL types.
struct ResultColumns {
  std::vector<String> names;
  std::vector<SQLSMALLINT> types;
};

// Describes the executed statement's current result (no columns for a
// statement without rows).
ResultColumns DescribeResult(const StatementHandle& statement);

// Reads the executed statement's result whole: its columns and rows, or,
// for a statement without rows, the number of rows it changed. Values
// arrive as the embedded database gives them: integers as Long (Double
// beyond 32 bits), exact numerics as Long when whole and in range, else
// Double; floating point as Double; character data as String (UTF-8);
// binary data as Binary; date-times as Date; a null as Null. Raises the
// driver's failure.
ado::detail::ResultRows ReadResult(const StatementHandle& statement);
// The same with the result's columns as described before: a prepared
// statement run again gives the columns it gave, and its description is
// read again only when their number changed.
ado::detail::ResultRows ReadResult(const StatementHandle& statement, ResultColumns& known);

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_RESULT_READER_H_
