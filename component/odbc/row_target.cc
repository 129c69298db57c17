#include "component/odbc/row_target.h"

#include <algorithm>
#include <vector>

#include "component/odbc/result_reader.h"
#include "component/odbc/wide_text.h"
#include "component/sql/row_key_select.h"

namespace migprof::odbc {
namespace {

// A text descriptor field of one result column; empty when the driver has
// none.
String TextAttribute(const StatementHandle& statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  SQLSMALLINT length = 0;
  if (statement.traits().wide) {
    std::vector<SQLWCHAR> buffer(512);
    const SQLRETURN rc = SQLColAttributeW(
        statement.get(), column, field, buffer.data(),
        static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &length, nullptr);
    if (!SQL_SUCCEEDED(rc)) return "";
    const std::size_t units =
        std::min(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), buffer.size() - 1);
    return FromWide(buffer.data(), units);
  }
  std::vector<SQLCHAR> buffer(1024);
  const SQLRETURN rc = SQLColAttribute(statement.get(), column, field, buffer.data(),
                                       static_cast<SQLSMALLINT>(buffer.size()), &length, nullptr);
  if (!SQL_SUCCEEDED(rc)) return "";
  return String(reinterpret_cast<const char*>(buffer.data()),
                std::min(static_cast<std::size_t>(length), buffer.size() - 1));
}

String Bracketed(const String& name) {
  String out = "[";
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

// The given column of each row a catalog function returned, ordered by the
// numeric column `order_column` (or as returned when it is negative).
std::vector<String> CatalogColumn(const StatementHandle& statement, std::size_t name_column,
                                  int order_column) {
  ado::detail::ResultRows result = ReadResult(statement);
  std::vector<std::pair<long, String>> entries;
  for (std::size_t i = 0; i < result.rows.size(); ++i) {
    const std::vector<Variant>& row = result.rows[i];
    if (row.size() <= name_column || row[name_column].type() != Variant::Type::kString) continue;
    long order = static_cast<long>(i);
    if (order_column >= 0 && static_cast<std::size_t>(order_column) < row.size() &&
        row[order_column].type() == Variant::Type::kLong) {
      order = row[order_column].AsLong();
    }
    entries.emplace_back(order, row[name_column].AsString());
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<String> names;
  for (auto& entry : entries) names.push_back(std::move(entry.second));
  return names;
}

enum class Catalog { kPrimaryKeys, kSpecialColumns, kColumns };

std::vector<String> ReadCatalog(SQLHDBC dbc, DriverTraits traits, const String& table,
                                Catalog catalog) {
  StatementHandle statement(dbc, traits);
  SQLRETURN rc;
  if (traits.wide) {
    WideString name = ToWide(table);
    auto* text = reinterpret_cast<SQLWCHAR*>(name.data());
    const auto length = static_cast<SQLSMALLINT>(name.size());
    switch (catalog) {
      case Catalog::kPrimaryKeys:
        rc = SQLPrimaryKeysW(statement.get(), nullptr, 0, nullptr, 0, text, length);
        break;
      case Catalog::kSpecialColumns:
        rc = SQLSpecialColumnsW(statement.get(), SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text,
                                length, SQL_SCOPE_CURROW, SQL_NO_NULLS);
        break;
      default:
        rc = SQLColumnsW(statement.get(), nullptr, 0, nullptr, 0, text, length, nullptr, 0);
        break;
    }
  } else {
    auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(table.data()));
    const auto length = static_cast<SQLSMALLINT>(table.size());
    switch (catalog) {
      case Catalog::kPrimaryKeys:
        rc = SQLPrimaryKeys(statement.get(), nullptr, 0, nullptr, 0, text, length);
        break;
      case Catalog::kSpecialColumns:
        rc = SQLSpecialColumns(statement.get(), SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text,
                               length, SQL_SCOPE_CURROW, SQL_NO_NULLS);
        break;
      default:
        rc = SQLColumns(statement.get(), nullptr, 0, nullptr, 0, text, length, nullptr, 0);
        break;
    }
  }
  statement.Check(rc);
  switch (catalog) {
    case Catalog::kPrimaryKeys:
      return CatalogColumn(statement, 3, 4);  // COLUMN_NAME, KEY_SEQ
    case Catalog::kSpecialColumns:
      return CatalogColumn(statement, 1, -1);  // COLUMN_NAME
    default:
      return CatalogColumn(statement, 3, 16);  // COLUMN_NAME, ORDINAL_POSITION
  }
}

}  // namespace

ado::detail::RowTarget DescribeTarget(const StatementHandle& prepared) {
  ado::detail::RowTarget target;
  SQLSMALLINT count = 0;
  prepared.Check(SQLNumResultCols(prepared.get(), &count));
  std::vector<String> tables;
  std::vector<String> column_tables;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    String table = TextAttribute(prepared, i, SQL_DESC_BASE_TABLE_NAME);
    if (!table.empty() && std::find(tables.begin(), tables.end(), table) == tables.end()) {
      tables.push_back(table);
    }
    column_tables.push_back(std::move(table));
  }
  if (tables.size() != 1) {
    target.refusal = tsql::TablesRefusal(tables);
    return target;
  }
  target.table = tables.front();
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    target.base_columns.push_back(column_tables[i - 1].empty()
                                      ? String()
                                      : TextAttribute(prepared, i, SQL_DESC_BASE_COLUMN_NAME));
  }
  return target;
}

ado::detail::RowKey DescribeKey(SQLHDBC dbc, DriverTraits traits, const String& table) {
  ado::detail::RowKey key;
  key.columns = ReadCatalog(dbc, traits, table, Catalog::kPrimaryKeys);
  if (key.columns.empty()) key.columns = ReadCatalog(dbc, traits, table, Catalog::kSpecialColumns);
  if (key.columns.empty()) {
    key.columns = ReadCatalog(dbc, traits, table, Catalog::kColumns);
    key.unique = false;
  }
  for (const String& column : key.columns) key.expressions.push_back(Bracketed(column));
  return key;
}

}  // namespace migprof::odbc
