#include "component/sql/column_types.h"

#include <charconv>
#include <unordered_map>

#include "component/sql/tsql_lexer.h"

namespace migprof::tsql {
namespace {

bool IsConstraintWord(const std::string& lower) {
  for (std::string_view word :
       {"constraint", "primary", "unique", "check", "foreign", "index", "period"}) {
    if (lower == word) return true;
  }
  return false;
}

// One column definition: the tokens (no blanks) between two commas.
bool ReadColumn(const std::vector<Token>& def, Column* column) {
  if (def.size() < 2 || (def[0].kind != Kind::kWord && def[0].kind != Kind::kQuoted)) return false;
  if (def[0].kind == Kind::kWord && IsConstraintWord(Lower(def[0].text))) return false;
  column->name = NameOf(def[0]);
  const std::string type = NameOf(def[1]);
  ColumnType& out = column->type;
  if (type == "int") {
    out.kind = ColumnType::Kind::kInt;
  } else if (type == "varchar") {
    out.kind = ColumnType::Kind::kVarchar;
  } else if (type == "varbinary") {
    out.kind = ColumnType::Kind::kVarbinary;
  } else {
    out.kind = ColumnType::Kind::kOther;
  }
  for (const Token& token : def) {
    if (token.kind == Kind::kWord && Lower(token.text) == "identity") column->identity = true;
  }
  if (out.kind == ColumnType::Kind::kVarchar || out.kind == ColumnType::Kind::kVarbinary) {
    out.length = 1;  // SQL Server's length for a declaration without one
    if (def.size() >= 5 && def[2].kind == Kind::kOpen && def[4].kind == Kind::kClose) {
      if (Lower(def[3].text) == "max") {
        out.length = ColumnType::kMax;
      } else {
        std::from_chars(def[3].text.data(), def[3].text.data() + def[3].text.size(), out.length);
      }
    }
  }
  return true;
}

}  // namespace

std::vector<TableColumns> ReadCreateTables(std::string_view script) {
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(script)) {
    if (token.kind != Kind::kSpace) tokens.push_back(token);
  }
  std::vector<TableColumns> tables;
  for (std::size_t i = 0; i + 3 < tokens.size(); ++i) {
    if (tokens[i].kind != Kind::kWord || Lower(tokens[i].text) != "create" ||
        tokens[i + 1].kind != Kind::kWord || Lower(tokens[i + 1].text) != "table") {
      continue;
    }
    std::size_t k = i + 2;
    // A qualified name (dbo.qzmap100) names the table by its last part.
    while (k + 2 < tokens.size() && tokens[k + 1].text == ".") k += 2;
    TableColumns table{NameOf(tokens[k]), {}};
    if (++k >= tokens.size() || tokens[k].kind != Kind::kOpen) continue;
    int depth = 0;
    std::vector<Token> def;
    for (++k; k < tokens.size(); ++k) {
      const Token& token = tokens[k];
      if (token.kind == Kind::kOpen) ++depth;
      if (token.kind == Kind::kClose && depth-- == 0) break;
      if (depth == 0 && token.kind == Kind::kOp && token.text == ",") {
        if (Column column; ReadColumn(def, &column)) table.columns.push_back(std::move(column));
        def.clear();
        continue;
      }
      def.push_back(token);
    }
    if (Column column; ReadColumn(def, &column)) table.columns.push_back(std::move(column));
    tables.push_back(std::move(table));
    i = k;
  }
  return tables;
}

const std::vector<Column>* ProfileTableColumns(std::string_view table) {
  static const auto* const kTables = [] {
    auto* tables = new std::unordered_map<std::string, std::vector<Column>>();
    for (TableColumns& read : ReadCreateTables(SqlServerSchemaScript())) {
      (*tables)[read.table] = std::move(read.columns);
    }
    return tables;
  }();
  const auto found = kTables->find(Lower(table));
  return found == kTables->end() ? nullptr : &found->second;
}

const ColumnType* ProfileColumnType(std::string_view table, std::string_view column) {
  const std::vector<Column>* columns = ProfileTableColumns(table);
  if (columns == nullptr) return nullptr;
  const std::string name = Lower(column);
  for (const Column& c : *columns) {
    if (c.name == name) return &c.type;
  }
  return nullptr;
}

}  // namespace migprof::tsql
