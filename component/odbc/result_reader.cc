#include "component/odbc/result_reader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "component/odbc/wide_text.h"

namespace migprof::odbc {
namespace {

struct Column {
  String name;
  SQLSMALLINT type = SQL_UNKNOWN_TYPE;
};

// SQLDescribeCol(W) of one column, with the name buffer grown to fit.
// Names fit a buffer on the stack but for a longer one, read again.
template <typename Char, typename Describe>
Column DescribeColumn(Describe describe) {
  Char fixed[256];
  std::vector<Char> grown;
  Char* name = fixed;
  std::size_t capacity = sizeof fixed / sizeof(Char);
  SQLSMALLINT length = 0;
  Column column;
  describe(name, static_cast<SQLSMALLINT>(capacity), &length, &column.type);
  if (static_cast<std::size_t>(length) >= capacity) {
    grown.resize(static_cast<std::size_t>(length) + 1);
    name = grown.data();
    capacity = grown.size();
    describe(name, static_cast<SQLSMALLINT>(capacity), &length, &column.type);
  }
  const std::size_t used = std::min<std::size_t>(length, capacity - 1);
  if constexpr (sizeof(Char) == 1) {
    column.name.assign(reinterpret_cast<const char*>(name), used);
  } else {
    column.name = FromWide(name, used);
  }
  return column;
}

std::vector<Column> DescribeColumns(const StatementHandle& statement) {
  SQLSMALLINT count = 0;
  statement.Check(SQLNumResultCols(statement.get(), &count));
  std::vector<Column> columns;
  columns.reserve(static_cast<std::size_t>(std::max<SQLSMALLINT>(count, 0)));
  for (SQLUSMALLINT i = 1; i <= count; ++i) {
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    if (statement.traits().wide) {
      columns.push_back(DescribeColumn<SQLWCHAR>(
          [&](SQLWCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length, SQLSMALLINT* type) {
            statement.Check(SQLDescribeColW(statement.get(), i, name, capacity, length, type, &size,
                                            &digits, &nullable));
          }));
    } else {
      columns.push_back(DescribeColumn<SQLCHAR>(
          [&](SQLCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length, SQLSMALLINT* type) {
            statement.Check(SQLDescribeCol(statement.get(), i, name, capacity, length, type, &size,
                                           &digits, &nullable));
          }));
    }
  }
  return columns;
}

Variant WholeNumber(long long value) {
  if (value >= INT_MIN && value <= INT_MAX) return Variant(static_cast<Long>(value));
  return Variant(static_cast<Double>(value));
}

// Character and binary data arrive in pieces when longer than the buffer;
// a piece of character data ends with a NUL that is not part of the value.
template <typename Char>
std::optional<std::basic_string<Char>> ReadText(const StatementHandle& statement,
                                                SQLUSMALLINT column, SQLSMALLINT c_type) {
  std::basic_string<Char> out;
  Char buffer[4096 / sizeof(Char)];
  constexpr std::size_t kCapacity = sizeof buffer / sizeof(Char) - 1;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = statement.Check(
        SQLGetData(statement.get(), column, c_type, buffer, sizeof buffer, &indicator));
    if (rc == SQL_NO_DATA) break;
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    if (indicator == SQL_NO_TOTAL ||
        static_cast<std::size_t>(indicator) / sizeof(Char) > kCapacity) {
      out.append(buffer, kCapacity);
      continue;
    }
    out.append(buffer, static_cast<std::size_t>(indicator) / sizeof(Char));
    break;
  }
  return out;
}

std::optional<String> ReadString(const StatementHandle& statement, SQLUSMALLINT column) {
  if (statement.traits().wide) {
    auto text = ReadText<SQLWCHAR>(statement, column, SQL_C_WCHAR);
    return text ? std::optional<String>(FromWide(*text)) : std::nullopt;
  }
  return ReadText<char>(statement, column, SQL_C_CHAR);
}

std::optional<Binary> ReadBinary(const StatementHandle& statement, SQLUSMALLINT column) {
  Binary out;
  unsigned char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = statement.Check(
        SQLGetData(statement.get(), column, SQL_C_BINARY, buffer, sizeof buffer, &indicator));
    if (rc == SQL_NO_DATA) break;
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    if (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > sizeof buffer) {
      out.insert(out.end(), buffer, buffer + sizeof buffer);
      continue;
    }
    out.insert(out.end(), buffer, buffer + indicator);
    break;
  }
  return out;
}

template <typename T>
std::optional<T> ReadFixed(const StatementHandle& statement, SQLUSMALLINT column,
                           SQLSMALLINT c_type) {
  T value{};
  SQLLEN indicator = 0;
  statement.Check(SQLGetData(statement.get(), column, c_type, &value, sizeof value, &indicator));
  if (indicator == SQL_NULL_DATA) return std::nullopt;
  return value;
}

// Exact numerics come as text, so that no digit is lost on the way.
Variant ReadExact(const StatementHandle& statement, SQLUSMALLINT column) {
  char buffer[128];
  SQLLEN indicator = 0;
  statement.Check(
      SQLGetData(statement.get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
  if (indicator == SQL_NULL_DATA) return Variant::Null();
  const String text(buffer);
  char* end = nullptr;
  if (text.find_first_of(".eE") == String::npos) {
    errno = 0;
    const long long whole = std::strtoll(text.c_str(), &end, 10);
    if (errno == 0 && *end == '\0') return WholeNumber(whole);
  }
  return Variant(std::strtod(text.c_str(), &end));
}

Variant ReadValue(const StatementHandle& statement, SQLUSMALLINT column, SQLSMALLINT type) {
  switch (type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
      auto value = ReadFixed<SQLBIGINT>(statement, column, SQL_C_SBIGINT);
      return value ? WholeNumber(*value) : Variant::Null();
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ReadExact(statement, column);
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
      auto value = ReadFixed<SQLDOUBLE>(statement, column, SQL_C_DOUBLE);
      return value ? Variant(*value) : Variant::Null();
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
      auto value = ReadBinary(statement, column);
      return value ? Variant(std::move(*value)) : Variant::Null();
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIMESTAMP: {
      auto value = ReadFixed<SQL_TIMESTAMP_STRUCT>(statement, column, SQL_C_TYPE_TIMESTAMP);
      if (!value) return Variant::Null();
      return Variant(DateTime{value->year, value->month, value->day, value->hour, value->minute,
                              value->second});
    }
    default: {
      auto value = ReadString(statement, column);
      return value ? Variant(std::move(*value)) : Variant::Null();
    }
  }
}

// The result's rows, or for a statement without rows the number of rows it
// changed.
ado::detail::ResultRows ReadRows(const StatementHandle& statement,
                                 const std::vector<SQLSMALLINT>& types, std::vector<String> names) {
  ado::detail::ResultRows result;
  if (types.empty()) {
    SQLLEN count = -1;
    statement.Check(SQLRowCount(statement.get(), &count));
    result.rows_affected = static_cast<long>(count);
    return result;
  }
  result.has_columns = true;
  result.columns = std::move(names);
  for (;;) {
    if (statement.Check(SQLFetch(statement.get())) == SQL_NO_DATA) break;
    std::vector<Variant> row;
    row.reserve(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
      row.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(i + 1), types[i]));
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace

std::vector<String> ColumnNames(const StatementHandle& statement) {
  std::vector<String> names;
  for (Column& column : DescribeColumns(statement)) names.push_back(std::move(column.name));
  return names;
}

ResultColumns DescribeResult(const StatementHandle& statement) {
  ResultColumns described;
  for (Column& column : DescribeColumns(statement)) {
    described.names.push_back(std::move(column.name));
    described.types.push_back(column.type);
  }
  return described;
}

ado::detail::ResultRows ReadResult(const StatementHandle& statement) {
  ResultColumns columns = DescribeResult(statement);
  return ReadRows(statement, columns.types, std::move(columns.names));
}

ado::detail::ResultRows ReadResult(const StatementHandle& statement, ResultColumns& known) {
  SQLSMALLINT count = 0;
  statement.Check(SQLNumResultCols(statement.get(), &count));
  if (static_cast<std::size_t>(std::max<SQLSMALLINT>(count, 0)) != known.types.size()) {
    known = DescribeResult(statement);
  }
  return ReadRows(statement, known.types, known.names);
}

}  // namespace migprof::odbc
