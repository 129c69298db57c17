#include "component/odbc/row_statements.h"

#include <cstdint>
#include <utility>

namespace migprof::odbc {
namespace {

bool IsNullish(const Variant& value) { return value.IsNull() || value.IsEmpty(); }

std::string QuoteName(Server server, const String& name) {
  const char open = server == Server::kMariaDb ? '`' : '[';
  const char close = server == Server::kMariaDb ? '`' : ']';
  std::string out(1, open);
  for (char c : name) {
    if (c == '.') {
      out += close;
      out += '.';
      out += open;
      continue;
    }
    out += c;
    if (c == close) out += close;
  }
  return out + close;
}

// The marker for a value. MariaDB's driver sends every value as text, which
// the server reads in the connection's character set (code page 1252 for a
// profile database) and would change bytes of a binary value by: a binary
// value travels as its hex digits instead.
std::string Marker(Server server, const Variant& value, std::vector<Variant>* parameters) {
  if (server == Server::kMariaDb && value.type() == Variant::Type::kBinary) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    String hex;
    for (std::uint8_t b : value.AsBinary()) {
      hex += kHex[b >> 4];
      hex += kHex[b & 15];
    }
    parameters->emplace_back(std::move(hex));
    return "UNHEX(?)";
  }
  parameters->push_back(value);
  return "?";
}

// The value for a SET list or a VALUES list: a marker, or NULL.
std::string Slot(Server server, const Variant& value, std::vector<Variant>* parameters) {
  if (IsNullish(value)) return "NULL";
  return Marker(server, value, parameters);
}

// The condition that finds the row by its original values.
std::string RowMatch(Server server, const std::vector<String>& columns,
                     const std::vector<Variant>& original, std::vector<Variant>* parameters) {
  std::string where;
  for (std::size_t i = 0; i < columns.size() && i < original.size(); ++i) {
    const std::string name = QuoteName(server, columns[i]);
    where += i ? " AND " : " WHERE ";
    if (IsNullish(original[i])) {
      where += name + " IS NULL";
      continue;
    }
    if (server == Server::kMariaDb && original[i].type() == Variant::Type::kString) {
      // The database's collation would also match another letter case or
      // more trailing blanks; the row read had exactly these characters.
      where += "CONVERT(" + name + " USING utf8mb4) COLLATE utf8mb4_nopad_bin = ";
    } else {
      where += name + " = ";
    }
    where += Marker(server, original[i], parameters);
  }
  return where;
}

// A statement on the first row of table that holds the original values:
// mariadb_head ... LIMIT 1 on MariaDB, sqlserver_head (with its TOP (1)) on
// SQL Server.
RowStatement FirstMatchingRow(Server server, const char* mariadb_head, const char* sqlserver_head,
                              const String& table, const std::vector<String>& columns,
                              const std::vector<Variant>& original) {
  RowStatement statement;
  statement.sql = server == Server::kMariaDb ? mariadb_head : sqlserver_head;
  statement.sql += QuoteName(server, table);
  statement.sql += RowMatch(server, columns, original, &statement.parameters);
  if (server == Server::kMariaDb) statement.sql += " LIMIT 1";
  return statement;
}

}  // namespace

RowStatement InsertRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& values) {
  RowStatement statement;
  statement.sql = "INSERT INTO " + QuoteName(server, table);
  if (columns.empty()) {
    statement.sql += server == Server::kMariaDb ? " () VALUES ()" : " DEFAULT VALUES";
    return statement;
  }
  std::string names;
  std::string slots;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) {
      names += ',';
      slots += ',';
    }
    names += QuoteName(server, columns[i]);
    slots += Slot(server, i < values.size() ? values[i] : Variant(), &statement.parameters);
  }
  statement.sql += " (" + names + ") VALUES (" + slots + ")";
  return statement;
}

RowStatement UpdateRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original,
                                const std::vector<String>& set_columns,
                                const std::vector<Variant>& set_values) {
  RowStatement statement;
  statement.sql = server == Server::kMariaDb ? "UPDATE " : "UPDATE TOP (1) ";
  statement.sql += QuoteName(server, table) + " SET ";
  for (std::size_t i = 0; i < set_columns.size(); ++i) {
    if (i) statement.sql += ',';
    statement.sql += QuoteName(server, set_columns[i]);
    statement.sql += " = ";
    statement.sql +=
        Slot(server, i < set_values.size() ? set_values[i] : Variant(), &statement.parameters);
  }
  statement.sql += RowMatch(server, columns, original, &statement.parameters);
  if (server == Server::kMariaDb) statement.sql += " LIMIT 1";
  return statement;
}

RowStatement RowExistsStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original) {
  return FirstMatchingRow(server, "SELECT 1 FROM ", "SELECT TOP (1) 1 FROM ", table, columns,
                          original);
}

RowStatement DeleteRowStatement(Server server, const String& table,
                                const std::vector<String>& columns,
                                const std::vector<Variant>& original) {
  return FirstMatchingRow(server, "DELETE FROM ", "DELETE TOP (1) FROM ", table, columns, original);
}

}  // namespace migprof::odbc
