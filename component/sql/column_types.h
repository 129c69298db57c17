// The SQL Server types of the profile database's columns, as the SQL Server
// schema script (schema/sqlserver.sql) declares them. Both dialects use them
// to make their databases take what SQL Server takes into a column, and
// refuse what it refuses, whatever types their own scripts declare.
#ifndef MIGPROF_COMPONENT_SQL_COLUMN_TYPES_H_
#define MIGPROF_COMPONENT_SQL_COLUMN_TYPES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace migprof::tsql {

struct ColumnType {
  enum class Kind {
    kInt,        // int
    kVarchar,    // varchar(n), varchar(max)
    kVarbinary,  // varbinary(n), varbinary(max)
    kOther,      // anything else (datetime, bigint, ...): not checked
  };
  // The length of varchar(max) and varbinary(max).
  static constexpr std::size_t kMax = 2147483647;

  Kind kind = Kind::kOther;
  std::size_t length = 0;  // characters or bytes for kVarchar / kVarbinary
};

struct Column {
  std::string name;  // lower case
  ColumnType type;
  bool identity = false;  // IDENTITY: an INSERT without a column list skips it
};

// Reads the CREATE TABLE statements of a SQL Server script: for each table
// (name in lower case) its columns in the order declared. Constraints
// (PRIMARY KEY, UNIQUE, CONSTRAINT, CHECK, FOREIGN KEY, INDEX) declared
// among the columns are passed over; any other statement is ignored. An
// unsized varchar or varbinary is 1 long, as SQL Server declares it.
struct TableColumns {
  std::string table;
  std::vector<Column> columns;
};
std::vector<TableColumns> ReadCreateTables(std::string_view script);

// The text of schema/sqlserver.sql, compiled into the library.
const char* SqlServerSchemaScript();

// The columns of a table of the profile database (any letter case), read
// once from SqlServerSchemaScript(); null for a table the script does not
// create.
const std::vector<Column>* ProfileTableColumns(std::string_view table);

// The type of a column of a profile table; null when the table or the column
// is not in the script.
const ColumnType* ProfileColumnType(std::string_view table, std::string_view column);

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_COLUMN_TYPES_H_
