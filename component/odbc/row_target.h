// Where the rows of a query come from on an ODBC data source, and the key
// that finds one of them again, from the driver's column descriptors and
// catalog functions.
#ifndef MIGPROF_COMPONENT_ODBC_ROW_TARGET_H_
#define MIGPROF_COMPONENT_ODBC_ROW_TARGET_H_

#include "component/ado/session.h"
#include "component/odbc/odbc_api.h"

namespace migprof::odbc {

// The base table (SQL_DESC_BASE_TABLE_NAME) of the prepared statement's
// columns and each column's base name (SQL_DESC_BASE_COLUMN_NAME); refused
// when no column or columns of several tables are read.
ado::detail::RowTarget DescribeTarget(const StatementHandle& prepared);

// The table's primary key (SQLPrimaryKeys), else its best row identifier
// (SQLSpecialColumns), else all its columns (SQLColumns), marked not unique
// (see RowKey).
// Expressions are quoted as [name] for the statement's T-SQL text.
ado::detail::RowKey DescribeKey(SQLHDBC dbc, DriverTraits traits, const String& table);

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_ROW_TARGET_H_
