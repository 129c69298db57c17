#include "component/sql/row_key_select.h"

#include <algorithm>
#include <iterator>

#include "component/sql/tsql_lexer.h"

namespace migprof::tsql {
namespace {

bool IsOneOf(const std::string& word, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Words that end a table reference in a FROM clause: what follows them is
// no alias.
bool EndsTableReference(const std::string& lower_word) {
  return IsOneOf(lower_word,
                 {"where",  "join",  "inner",   "left",   "right", "full",   "outer",     "cross",
                  "on",     "order", "group",   "having", "union", "except", "intersect", "with",
                  "option", "for",   "natural", "using",  "limit", "apply"});
}

std::string Refused(std::string_view table, std::string_view why) {
  return RecordsetRefusal(std::string(why) +
                          (table.empty() ? "" : " (table " + std::string(table) + ")") + ".");
}

}  // namespace

std::string RecordsetRefusal(std::string_view why) {
  return "The rows of this statement cannot be changed through the recordset: " + std::string(why);
}

std::string TablesRefusal(const std::vector<std::string>& tables) {
  if (tables.empty()) return RecordsetRefusal("it reads no column of a table.");
  std::string names;
  for (const std::string& table : tables) names += (names.empty() ? "" : ", ") + table;
  return RecordsetRefusal("its columns come from more than one table (" + names + ").");
}

std::string UnquoteName(std::string_view name) {
  if (name.size() < 2) return std::string(name);
  const char open = name.front();
  const char close = open == '[' ? ']' : open;
  if ((open != '"' && open != '[' && open != '`') || name.back() != close) {
    return std::string(name);
  }
  std::string out;
  for (std::size_t i = 1; i + 1 < name.size(); ++i) {
    out += name[i];
    if (name[i] == close && i + 2 < name.size() && name[i + 1] == close) ++i;
  }
  return out;
}

RowKeySelect AppendRowKey(std::string_view sql, std::string_view table,
                          const std::vector<std::string>& key_expressions) {
  const std::vector<Token> tokens = Tokenize(sql);
  // The outermost level only: positions of tokens at depth 0.
  std::vector<std::size_t> top;
  int depth = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == Kind::kClose) {
      --depth;
      continue;
    }
    if (depth == 0 && tokens[i].kind != Kind::kSpace) top.push_back(i);
    if (tokens[i].kind == Kind::kOpen) ++depth;
  }
  const auto word = [&](std::size_t k) {
    return tokens[top[k]].kind == Kind::kWord ? Lower(tokens[top[k]].text) : std::string();
  };
  if (top.empty() || word(0) != "select") return {"", Refused(table, "it is no select statement")};

  std::size_t from = top.size();
  for (std::size_t k = 1; k < top.size(); ++k) {
    const std::string w = word(k);
    if (from == top.size() && w == "distinct") {
      return {"", Refused(table, "its rows are DISTINCT values")};
    }
    if (IsOneOf(w, {"group", "having", "union", "except", "intersect"})) {
      return {"", Refused(table, "its rows are no rows of one table (" + w + ")")};
    }
    if (from == top.size() && w == "from") from = k;
  }
  if (from == top.size()) return {"", Refused(table, "it reads from no table")};

  const std::string wanted = Lower(table);
  std::string qualifier;
  int occurrences = 0;
  for (std::size_t k = from + 1; k < top.size(); ++k) {
    const Token& t = tokens[top[k]];
    if (t.kind == Kind::kWord && IsOneOf(Lower(t.text), {"where", "order", "option", "for"})) break;
    if (t.kind != Kind::kWord && t.kind != Kind::kQuoted) continue;
    if (Lower(UnquoteName(t.text)) != wanted) continue;
    // A name with a "." after it qualifies a column of a join condition.
    if (k + 1 < top.size() && tokens[top[k + 1]].text == ".") continue;
    ++occurrences;
    qualifier = std::string(t.text);
    std::size_t next = k + 1;
    if (next < top.size() && word(next) == "as") ++next;
    if (next < top.size()) {
      const Token& alias = tokens[top[next]];
      if ((alias.kind == Kind::kWord && !EndsTableReference(Lower(alias.text))) ||
          alias.kind == Kind::kQuoted) {
        qualifier = std::string(alias.text);
      }
    }
  }
  if (occurrences == 0) {
    return {"", Refused(table, "its FROM clause does not name the table its rows come from")};
  }
  if (occurrences > 1)
    return {"", Refused(table, "its FROM clause names the table more than once")};

  std::string appended;
  for (const std::string& key : key_expressions) appended += ", " + qualifier + "." + key;
  const std::size_t at = static_cast<std::size_t>(tokens[top[from]].text.data() - sql.data());
  RowKeySelect out;
  out.sql = std::string(sql.substr(0, at)) + appended + " " + std::string(sql.substr(at));
  return out;
}

}  // namespace migprof::tsql
