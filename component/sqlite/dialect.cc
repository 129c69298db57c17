#include "component/sqlite/dialect.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "component/text/cp1252.h"

namespace migprof::sqlite_dialect {
namespace {

// ---------------------------------------------------------------------------
// Translation: tokens, then a tree of parenthesised groups, then per nesting
// level a list of units (operands and operators) on which casts and additive
// chains are rewritten.
// ---------------------------------------------------------------------------

enum class Kind { kSpace, kWord, kQuoted, kNumber, kString, kParam, kOpen, kClose, kOp };

struct Token {
  Kind kind;
  std::string_view text;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
// Bytes of a multi-byte UTF-8 character count as letters, as in both dialects.
bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' ||
         u >= 0x80;
}
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Index one past a quoted run that opens at `open` and closes with `close`,
// a doubled `close` standing for itself. An unterminated run takes the rest,
// so that SQLite reports it.
std::size_t EndOfQuoted(std::string_view s, std::size_t open, char close) {
  std::size_t i = open + 1;
  for (;;) {
    const std::size_t k = s.find(close, i);
    if (k == std::string_view::npos) return s.size();
    if (k + 1 < s.size() && s[k + 1] == close) {
      i = k + 2;
    } else {
      return k + 1;
    }
  }
}

std::size_t EndOfNumber(std::string_view s, std::size_t i) {
  const std::size_t n = s.size();
  if (s[i] == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    i += 2;
    while (i < n && IsHexDigit(s[i])) ++i;
    return i;
  }
  while (i < n && IsDigit(s[i])) ++i;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i;
  }
  // An exponent only when digits follow: "2else" is 2 and else.
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < n && IsDigit(s[j])) {
      i = j;
      while (i < n && IsDigit(s[i])) ++i;
    }
  }
  return i;
}

std::vector<Token> Tokenize(std::string_view s) {
  static constexpr std::string_view kTwoCharOps[] = {"<>", "!=", "<=", ">=", "!<",
                                                     "!>", "||", "==", "<<", ">>"};
  std::vector<Token> out;
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t start = i;
    const char c = s[i];
    const char next = i + 1 < n ? s[i + 1] : '\0';
    Kind kind = Kind::kOp;
    if (IsBlank(c)) {
      while (i < n && IsBlank(s[i])) ++i;
      kind = Kind::kSpace;
    } else if (c == '-' && next == '-') {
      i = std::min(s.find('\n', i), n);
      kind = Kind::kSpace;
    } else if (c == '/' && next == '*') {
      const std::size_t k = s.find("*/", i + 2);
      i = k == std::string_view::npos ? n : k + 2;
      kind = Kind::kSpace;
    } else if (c == '\'') {
      i = EndOfQuoted(s, i, '\'');
      kind = Kind::kString;
    } else if ((c == 'N' || c == 'n') && next == '\'') {
      // SQLite has no national literals; the text is UTF-8 either way.
      i = EndOfQuoted(s, i + 1, '\'');
      out.push_back({Kind::kString, s.substr(start + 1, i - start - 1)});
      continue;
    } else if (c == '"' || c == '`') {
      i = EndOfQuoted(s, i, c);
      kind = Kind::kQuoted;
    } else if (c == '[') {
      i = EndOfQuoted(s, i, ']');
      kind = Kind::kQuoted;
    } else if (IsDigit(c) || (c == '.' && IsDigit(next) &&
                              (out.empty() || (out.back().kind != Kind::kWord &&
                                               out.back().kind != Kind::kQuoted)))) {
      i = EndOfNumber(s, i);
      out.push_back({Kind::kNumber, s.substr(start, i - start)});
      // SQL Server ends a number at the first letter ("10and"); SQLite
      // rejects the glued token, so a blank goes between.
      if (i < n && IsWordStart(s[i])) out.push_back({Kind::kSpace, " "});
      continue;
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(s[i])) ++i;
      kind = Kind::kWord;
    } else if (c == '?' || (c == ':' && IsWordStart(next))) {
      ++i;
      while (i < n && IsWordChar(s[i])) ++i;
      kind = Kind::kParam;
    } else if (c == '(') {
      ++i;
      kind = Kind::kOpen;
    } else if (c == ')') {
      ++i;
      kind = Kind::kClose;
    } else {
      i += std::any_of(std::begin(kTwoCharOps), std::end(kTwoCharOps),
                       [&](std::string_view op) { return s.substr(i, 2) == op; })
               ? 2
               : 1;
    }
    out.push_back({kind, s.substr(start, i - start)});
  }
  return out;
}

// A token, or (kind kOpen) a parenthesised group with its contents.
struct Item {
  Kind kind;
  std::string_view text;
  std::vector<Item> children;
  bool closed = false;
};

std::vector<Item> BuildTree(const std::vector<Token>& tokens, std::size_t* pos, bool* closed) {
  std::vector<Item> items;
  while (*pos < tokens.size()) {
    const Token& t = tokens[(*pos)++];
    if (t.kind == Kind::kClose && closed != nullptr) {
      *closed = true;
      return items;
    }
    Item item{t.kind, t.text, {}, false};
    if (t.kind == Kind::kOpen) item.children = BuildTree(tokens, pos, &item.closed);
    items.push_back(std::move(item));
  }
  return items;
}

// Words that can stand directly before an expression. A '+' or '-' after one
// of them is unary, and one of them followed by '(' is not a function call.
// Join words are left out so that LEFT(...) and RIGHT(...) stay functions.
bool IsKeyword(std::string_view lower_word) {
  static constexpr std::string_view kKeywords[] = {
      "all",     "and",    "any",    "as",        "asc",      "between", "by",     "case",
      "collate", "cross",  "delete", "desc",      "distinct", "else",    "end",    "escape",
      "except",  "exists", "from",   "full",      "glob",     "group",   "having", "if",
      "in",      "inner",  "insert", "intersect", "into",     "is",      "join",   "like",
      "limit",   "not",    "offset", "on",        "or",       "order",   "outer",  "return",
      "select",  "set",    "some",   "then",      "top",      "union",   "update", "values",
      "when",    "where",  "while",  "with"};
  return std::find(std::begin(kKeywords), std::end(kKeywords), lower_word) != std::end(kKeywords);
}

// SQLite compares a function result with a literal by BINARY, where SQL
// Server would use the database collation: the varchar a cast or a
// concatenation yields gets the collation of the schema's text columns.
constexpr char kCollateSuffix[] = " COLLATE SQLSERVER";

enum class UnitType { kSpace, kOperand, kArith, kOther };

struct Unit {
  UnitType type;
  std::string text;
};

std::size_t SkipSpaceItems(const std::vector<Item>& items, std::size_t i, std::size_t end) {
  while (i < end && items[i].kind == Kind::kSpace) ++i;
  return i;
}

std::size_t SkipSpaceUnits(const std::vector<Unit>& units, std::size_t i) {
  while (i < units.size() && units[i].type == UnitType::kSpace) ++i;
  return i;
}

bool IsWord(const Item& item, std::string_view lower_word) {
  return item.kind == Kind::kWord && Lower(item.text) == lower_word;
}

class LevelWriter {
 public:
  // `top` is the outermost level of the statement text.
  LevelWriter(const std::vector<Item>& items, std::size_t begin, std::size_t end, bool top)
      : items_(items), begin_(begin), end_(end), top_(top) {}

  std::string Write() {
    BuildUnits();
    return RewriteChains();
  }

 private:
  static std::string WriteRange(const std::vector<Item>& items, std::size_t begin,
                                std::size_t end) {
    return LevelWriter(items, begin, end, false).Write();
  }

  static std::string WriteGroup(const Item& group) {
    return "(" + WriteRange(group.children, 0, group.children.size()) + (group.closed ? ")" : "");
  }

  void Push(UnitType type, std::string text) { units_.push_back({type, std::move(text)}); }

  void BuildUnits() {
    for (std::size_t i = begin_; i < end_;) {
      const Item& item = items_[i];
      switch (item.kind) {
        case Kind::kSpace:
          Push(UnitType::kSpace, std::string(item.text));
          ++i;
          break;
        case Kind::kWord:
          i = WordUnit(i);
          break;
        case Kind::kQuoted:
          i = NameUnit(i);
          break;
        case Kind::kNumber:
        case Kind::kString:
        case Kind::kParam:
          Push(UnitType::kOperand, std::string(item.text));
          ++i;
          break;
        case Kind::kOpen:
          Push(UnitType::kOperand, IsCompared(i) ? CheckedSubquery(item) : WriteGroup(item));
          ++i;
          break;
        case Kind::kOp: {
          static constexpr std::string_view kArith = "+-*/%&|^~";
          const bool arith = item.text.size() == 1 && kArith.find(item.text[0]) != kArith.npos;
          Push(arith ? UnitType::kArith : UnitType::kOther, std::string(item.text));
          if (item.text == ";") {
            statement_word_.clear();
            in_select_list_ = false;
          }
          ++i;
          break;
        }
        case Kind::kClose:
          Push(UnitType::kOther, std::string(item.text));
          ++i;
          break;
      }
    }
  }

  std::size_t WordUnit(std::size_t i) {
    const std::string word = Lower(items_[i].text);
    const bool first_of_statement = top_ && statement_word_.empty();
    if (top_) {
      if (first_of_statement) statement_word_ = word;
      if (word == "select" && statement_word_ == "select") in_select_list_ = true;
      if (word == "from") in_select_list_ = false;
    }
    const std::size_t next = SkipSpaceItems(items_, i + 1, end_);
    if (word == "cast" && next < end_ && items_[next].kind == Kind::kOpen) {
      if (auto cast = CastCall(items_[next]); !cast.empty()) {
        Push(UnitType::kOperand, std::move(cast));
        return next + 1;
      }
    }
    if (word == "case") {
      if (const std::size_t end = MatchingEnd(i); end != end_) {
        Push(UnitType::kOperand, std::string(items_[i].text) + WriteRange(items_, i + 1, end) +
                                     std::string(items_[end].text));
        return end + 1;
      }
    }
    if (word == "delete" && first_of_statement && next < end_ &&
        (items_[next].kind == Kind::kQuoted ||
         (items_[next].kind == Kind::kWord && !IsWord(items_[next], "from") &&
          !IsWord(items_[next], "top")))) {
      // SQL Server makes FROM optional after DELETE; SQLite requires it.
      Push(UnitType::kOther, std::string(items_[i].text));
      for (std::size_t k = i + 1; k < next; ++k)
        Push(UnitType::kSpace, std::string(items_[k].text));
      Push(UnitType::kOther, "from");
      Push(UnitType::kSpace, " ");
      return next;
    }
    if (IsKeyword(word)) {
      Push(UnitType::kOther, std::string(items_[i].text));
      return i + 1;
    }
    return NameUnit(i);
  }

  // A possibly qualified name (a.b.c, t.*), with its argument list when it
  // is a function call.
  std::size_t NameUnit(std::size_t i) {
    std::string text(items_[i].text);
    ++i;
    while (i + 1 < end_ && items_[i].kind == Kind::kOp && items_[i].text == "." &&
           (items_[i + 1].kind == Kind::kWord || items_[i + 1].kind == Kind::kQuoted ||
            items_[i + 1].text == "*")) {
      text += ".";
      text += items_[i + 1].text;
      i += 2;
    }
    const std::size_t next = SkipSpaceItems(items_, i, end_);
    if (next < end_ && items_[next].kind == Kind::kOpen) {
      for (; i < next; ++i) text += items_[i].text;
      text += WriteGroup(items_[next]);
      i = next + 1;
    }
    Push(UnitType::kOperand, std::move(text));
    return i;
  }

  // True when the group at `i` stands beside a comparison operator, where SQL
  // Server refuses a subquery that yields more than one value.
  bool IsCompared(std::size_t i) const {
    static constexpr std::string_view kComparisons[] = {
        "=", "<>", "!=", "<", "<=", ">", ">=", "!<", "!>"};
    const auto is_comparison = [&](std::size_t k) {
      return items_[k].kind == Kind::kOp &&
             std::find(std::begin(kComparisons), std::end(kComparisons), items_[k].text) !=
                 std::end(kComparisons);
    };
    std::size_t before = i;
    while (before > begin_ && items_[before - 1].kind == Kind::kSpace) --before;
    const std::size_t after = SkipSpaceItems(items_, i + 1, end_);
    return (before > begin_ && is_comparison(before - 1)) || (after < end_ && is_comparison(after));
  }

  // A compared "(select e from ...)" with its one result passed through
  // mssql_single_value(e), which fails on a second row as SQL Server does;
  // SQLite would take the first row. Subqueries the aggregate cannot wrap
  // (several columns, an alias, DISTINCT or TOP, an aggregate already,
  // grouping, set operators, ordering) and groups that are no subquery are
  // written unchanged.
  std::string CheckedSubquery(const Item& group) const {
    const std::vector<Item>& ch = group.children;
    const std::size_t select = SkipSpaceItems(ch, 0, ch.size());
    if (!group.closed || select == ch.size() || !IsWord(ch[select], "select")) {
      return WriteGroup(group);
    }
    std::size_t from = select + 1;
    while (from < ch.size() && !IsWord(ch[from], "from")) ++from;
    const std::size_t first = SkipSpaceItems(ch, select + 1, from);
    std::size_t last = from;
    while (last > first && ch[last - 1].kind == Kind::kSpace) --last;
    if (from == ch.size() || first == last || !IsSingleValue(ch, first, last)) {
      return WriteGroup(group);
    }
    for (std::size_t k = from; k < ch.size(); ++k) {
      for (std::string_view word :
           {"group", "having", "union", "except", "intersect", "order", "limit"}) {
        if (IsWord(ch[k], word)) return WriteGroup(group);
      }
    }
    return "(" + WriteRange(ch, 0, first) + "mssql_single_value(" + WriteRange(ch, first, last) +
           ")" + kCollateSuffix + WriteRange(ch, last, ch.size()) + ")";
  }

  // True when items [first, last) are one plain expression: no list, no
  // alias, no DISTINCT / TOP / ALL, and no aggregate call at any depth.
  static bool IsSingleValue(const std::vector<Item>& ch, std::size_t first, std::size_t last) {
    for (std::string_view word : {"distinct", "top", "all"}) {
      if (IsWord(ch[first], word)) return false;
    }
    if (ContainsAggregate(ch, first, last)) return false;
    for (std::size_t k = first; k < last; ++k) {
      if (ch[k].kind == Kind::kOp && ch[k].text == ",") return false;
      if (IsWord(ch[k], "as")) return false;
    }
    // "e alias": a name straight after an operand.
    const auto is_name = [](const Item& item) {
      return (item.kind == Kind::kWord && !IsKeyword(Lower(item.text))) ||
             item.kind == Kind::kQuoted || item.kind == Kind::kString;
    };
    if (is_name(ch[last - 1])) {
      std::size_t before = last - 1;
      while (before > first && ch[before - 1].kind == Kind::kSpace) --before;
      if (before < last - 1 && before > first) {
        const Item& operand = ch[before - 1];
        if (is_name(operand) || operand.kind == Kind::kNumber || operand.kind == Kind::kOpen) {
          return false;
        }
      }
    }
    return true;
  }

  static bool ContainsAggregate(const std::vector<Item>& items, std::size_t first,
                                std::size_t last) {
    static constexpr std::string_view kAggregates[] = {
        "avg", "count", "count_big", "max", "min", "stdev", "stdevp", "sum", "var", "varp"};
    for (std::size_t k = first; k < last; ++k) {
      if (items[k].kind == Kind::kOpen &&
          ContainsAggregate(items[k].children, 0, items[k].children.size())) {
        return true;
      }
      if (items[k].kind != Kind::kWord) continue;
      const std::size_t next = SkipSpaceItems(items, k + 1, last);
      if (next < last && items[next].kind == Kind::kOpen &&
          std::find(std::begin(kAggregates), std::end(kAggregates), Lower(items[k].text)) !=
              std::end(kAggregates)) {
        return true;
      }
    }
    return false;
  }

  // Index of the END closing the CASE at `i`, or end_ when there is none.
  std::size_t MatchingEnd(std::size_t i) const {
    int depth = 0;
    for (std::size_t k = i; k < end_; ++k) {
      if (IsWord(items_[k], "case")) ++depth;
      if (IsWord(items_[k], "end") && --depth == 0) return k;
    }
    return end_;
  }

  // The replacement for cast(<expr> as varbinary|varchar[(n)]), or "" when
  // the group is some other cast, which then passes through as a call.
  std::string CastCall(const Item& group) const {
    const std::vector<Item>& ch = group.children;
    if (!group.closed) return "";
    std::size_t as = ch.size();
    for (std::size_t k = 0; k < ch.size(); ++k) {
      if (IsWord(ch[k], "as")) as = k;
    }
    if (as == ch.size()) return "";
    std::size_t k = SkipSpaceItems(ch, as + 1, ch.size());
    if (k == ch.size()) return "";
    std::string function;
    if (IsWord(ch[k], "varbinary")) {
      // See MssqlVarbinary for why a select-list result gets its own function.
      function = in_select_list_ ? "mssql_varbinary_bytes" : "mssql_varbinary";
    } else if (IsWord(ch[k], "varchar")) {
      function = "mssql_varchar";
    } else {
      return "";
    }
    std::string length;
    k = SkipSpaceItems(ch, k + 1, ch.size());
    if (k < ch.size() && ch[k].kind == Kind::kOpen) {
      const std::vector<Item>& size = ch[k].children;
      const std::size_t m = SkipSpaceItems(size, 0, size.size());
      if (!ch[k].closed || m == size.size()) return "";
      if (IsWord(size[m], "max")) {
        length = "2147483647";
      } else if (size[m].kind == Kind::kNumber &&
                 std::all_of(size[m].text.begin(), size[m].text.end(), IsDigit)) {
        length = std::string(size[m].text);
      } else {
        return "";
      }
      if (SkipSpaceItems(size, m + 1, size.size()) != size.size()) return "";
      k = SkipSpaceItems(ch, k + 1, ch.size());
    }
    if (k != ch.size()) return "";
    const std::size_t first = SkipSpaceItems(ch, 0, as);
    std::size_t last = as;
    while (last > first && ch[last - 1].kind == Kind::kSpace) --last;
    if (first == last) return "";
    return function + "(" + WriteRange(ch, first, last) + (length.empty() ? "" : "," + length) +
           ")" + (function == "mssql_varchar" ? kCollateSuffix : "");
  }

  static bool IsArith(const Unit& u, std::string_view ops) {
    return u.type == UnitType::kArith && ops.find(u.text[0]) != std::string_view::npos;
  }

  std::string Join(std::size_t begin, std::size_t end) const {
    std::string out;
    for (std::size_t k = begin; k < end; ++k) out += units_[k].text;
    return out;
  }

  // One past a factor (unary operators, then an operand) starting at i, or
  // npos.
  std::size_t FactorEnd(std::size_t i) const {
    while (i < units_.size() && IsArith(units_[i], "+-~")) i = SkipSpaceUnits(units_, i + 1);
    if (i < units_.size() && units_[i].type == UnitType::kOperand) return i + 1;
    return std::string::npos;
  }

  // One past a term (factors joined by *, /, %) starting at i, or npos.
  std::size_t TermEnd(std::size_t i) const {
    std::size_t end = FactorEnd(i);
    while (end != std::string::npos) {
      const std::size_t op = SkipSpaceUnits(units_, end);
      if (op == units_.size() || !IsArith(units_[op], "*/%")) break;
      const std::size_t next = FactorEnd(SkipSpaceUnits(units_, op + 1));
      if (next == std::string::npos) break;
      end = next;
    }
    return end;
  }

  // SQL Server's '+' depends on the operand types, which only the values
  // know, so each binary '+' becomes mssql_add. The chain is folded from the
  // left, the way the operators associate; '-', '&', '|', '^' share the level
  // and keep their text inside the fold. A concatenation is a varchar, so the
  // result carries the columns' collation (see kCollateSuffix).
  std::string RewriteChains() const {
    std::string out;
    bool after_operand = false;
    for (std::size_t i = 0; i < units_.size();) {
      const Unit& unit = units_[i];
      const bool starts_term =
          unit.type == UnitType::kOperand || (!after_operand && IsArith(unit, "+-~"));
      const std::size_t term_end = starts_term ? TermEnd(i) : std::string::npos;
      if (term_end == std::string::npos) {
        out += unit.text;
        if (unit.type != UnitType::kSpace) after_operand = false;
        ++i;
        continue;
      }
      std::string folded = Join(i, term_end);
      bool has_plus = false;
      bool ends_in_plus = false;
      std::size_t end = term_end;
      for (;;) {
        const std::size_t op = SkipSpaceUnits(units_, end);
        if (op == units_.size() || !IsArith(units_[op], "+-&|^")) break;
        const std::size_t next = SkipSpaceUnits(units_, op + 1);
        const std::size_t next_end = TermEnd(next);
        if (next_end == std::string::npos) break;
        if (units_[op].text == "+") {
          folded = "mssql_add(" + folded + "," + Join(next, next_end) + ")";
          has_plus = true;
          ends_in_plus = true;
        } else {
          folded += Join(end, next_end);
          ends_in_plus = false;
        }
        end = next_end;
      }
      if (!has_plus) {
        out += Join(i, end);
      } else {
        out += folded;
        if (ends_in_plus) out += kCollateSuffix;
      }
      after_operand = true;
      i = end;
    }
    return out;
  }

  const std::vector<Item>& items_;
  const std::size_t begin_;
  const std::size_t end_;
  const bool top_;
  std::vector<Unit> units_;
  std::string statement_word_;  // First word of the current statement (top level).
  bool in_select_list_ = false;
};

// ---------------------------------------------------------------------------
// SQL functions and the collation.
// ---------------------------------------------------------------------------

constexpr sqlite3_int64 kDefaultCastLength = 30;  // CAST without a length.

std::string_view TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return {p, static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

std::string_view BlobOf(sqlite3_value* v) {
  const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
  return {p, static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

// The value as varchar bytes: text through cp1252, a blob as it is, a number
// as its decimal text.
std::string Cp1252Of(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_BLOB) return std::string(BlobOf(v));
  return text::Utf8ToCp1252(TextOf(v));
}

void ResultBlob(sqlite3_context* ctx, std::string_view bytes) {
  // A NULL pointer would make the result NULL instead of an empty blob.
  if (bytes.empty()) {
    sqlite3_result_zeroblob(ctx, 0);
  } else {
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  }
}

void ResultText(sqlite3_context* ctx, const std::string& utf8) {
  // Explicit length: a varchar may hold a 0 byte.
  sqlite3_result_text64(ctx, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int k = 0; k < argc; ++k) {
    if (sqlite3_value_type(argv[k]) == SQLITE_NULL) return true;
  }
  return false;
}

// The optional length argument; false, with the error set, when it is below 1.
bool ReadLength(sqlite3_context* ctx, int argc, sqlite3_value** argv, std::size_t* length) {
  sqlite3_int64 n = kDefaultCastLength;
  if (argc > 1) n = sqlite3_value_int64(argv[1]);
  if (n < 1) {
    sqlite3_result_error(ctx, "invalid length in a varchar or varbinary cast", -1);
    return false;
  }
  *length = static_cast<std::size_t>(n);
  return true;
}

bool FitsInt32(sqlite3_int64 v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

// SQL Server's binary form of a number: big-endian, 4 bytes for an int, 8 for
// a bigint or a float.
std::string BigEndian(std::uint64_t bits, int width) {
  std::string out(static_cast<std::size_t>(width), '\0');
  for (int k = width - 1; k >= 0; --k, bits >>= 8) out[k] = static_cast<char>(bits & 0xFF);
  return out;
}

std::string NumberBytes(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_FLOAT) {
    return BigEndian(std::bit_cast<std::uint64_t>(sqlite3_value_double(v)), 8);
  }
  const sqlite3_int64 i = sqlite3_value_int64(v);
  return BigEndian(static_cast<std::uint64_t>(i), FitsInt32(i) ? 4 : 8);
}

// A number cut to its last `length` bytes; string types are cut on the right.
std::string_view LastBytes(std::string_view bytes, std::size_t length) {
  return bytes.substr(bytes.size() - std::min(length, bytes.size()));
}

// Binary to int the way SQL Server converts varbinary: the last 4 bytes,
// big-endian, a shorter value padded with zero bytes on the left.
sqlite3_int64 BlobToInt(std::string_view bytes) {
  std::uint32_t u = 0;
  for (char c : LastBytes(bytes, 4)) u = (u << 8) | static_cast<unsigned char>(c);
  return static_cast<std::int32_t>(u);
}

void VarbinaryOf(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool number_as_bytes) {
  std::size_t length = 0;
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  if (!ReadLength(ctx, argc, argv, &length)) return;
  sqlite3_value* v = argv[0];
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT:
      ResultBlob(ctx, std::string_view(text::Utf8ToCp1252(TextOf(v))).substr(0, length));
      return;
    case SQLITE_BLOB:
      ResultBlob(ctx, BlobOf(v).substr(0, length));
      return;
    default:
      break;
  }
  const std::string bytes = NumberBytes(v);
  if (number_as_bytes) {
    ResultBlob(ctx, LastBytes(bytes, length));
  } else if (length >= bytes.size()) {
    sqlite3_result_value(ctx, v);
  } else if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    // What the cut bytes are worth once converted back to int.
    sqlite3_int64 value = 0;
    for (char c : LastBytes(bytes, length)) value = (value << 8) | static_cast<unsigned char>(c);
    sqlite3_result_int64(ctx, value);
  } else {
    ResultBlob(ctx, LastBytes(bytes, length));
  }
}

// cast(<number> as varbinary) keeps the number. SQL Server would make the
// big-endian bytes, but int outranks varbinary, so wherever those bytes meet
// an int column (=, IN, SET, VALUES) they are converted straight back to the
// same int; SQLite instead never finds an INTEGER equal to a BLOB, and would
// store the blob in an INTEGER column. Keeping the number gives SQL Server's
// answer in all those places. Only a result column shows the difference,
// which is why Translate() calls mssql_varbinary_bytes in the select list of
// a top-level SELECT.
void MssqlVarbinary(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  VarbinaryOf(ctx, argc, argv, false);
}

void MssqlVarbinaryBytes(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  VarbinaryOf(ctx, argc, argv, true);
}

void MssqlVarchar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::size_t length = 0;
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  if (!ReadLength(ctx, argc, argv, &length)) return;
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    // SQL Server shows a number too long for the target as "*".
    const std::string digits(TextOf(v));
    ResultText(ctx, digits.size() > length ? "*" : digits);
    return;
  }
  ResultText(ctx, text::Cp1252ToUtf8(std::string_view(Cp1252Of(v)).substr(0, length)));
}

struct Number {
  bool is_int = true;
  sqlite3_int64 i = 0;
  double d = 0;
  double AsDouble() const { return is_int ? static_cast<double>(i) : d; }
};

// Text converted for arithmetic as SQL Server converts varchar: blanks
// around the digits are allowed and an empty text is 0.
bool ParseNumber(std::string_view s, Number* out) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  *out = Number{};
  if (s.empty()) return true;
  std::string_view digits = s;
  if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
  if (!digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit)) {
    const std::string_view unsigned_part = s.front() == '+' ? digits : s;
    const auto [ptr, ec] =
        std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), out->i);
    if (ec == std::errc()) return true;
  }
  if (s.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return false;
  const std::string copy(s);
  char* end = nullptr;
  out->is_int = false;
  out->d = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size();
}

bool NumberOf(sqlite3_value* v, Number* out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      *out = Number{true, sqlite3_value_int64(v), 0};
      return true;
    case SQLITE_FLOAT:
      *out = Number{false, 0, sqlite3_value_double(v)};
      return true;
    case SQLITE_BLOB:
      *out = Number{true, BlobToInt(BlobOf(v)), 0};
      return true;
    default:
      return ParseNumber(TextOf(v), out);
  }
}

void MssqlAdd(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  if (AnyNull(2, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  const int ta = sqlite3_value_type(argv[0]);
  const int tb = sqlite3_value_type(argv[1]);
  const auto is_string = [](int t) { return t == SQLITE_TEXT || t == SQLITE_BLOB; };
  if (is_string(ta) && is_string(tb)) {
    if (ta == SQLITE_BLOB && tb == SQLITE_BLOB) {
      ResultBlob(ctx, std::string(BlobOf(argv[0])) + std::string(BlobOf(argv[1])));
    } else {
      // varchar outranks varbinary: a blob operand is read as cp1252 text.
      const auto utf8 = [](sqlite3_value* v) {
        return sqlite3_value_type(v) == SQLITE_BLOB ? text::Cp1252ToUtf8(BlobOf(v))
                                                    : std::string(TextOf(v));
      };
      ResultText(ctx, utf8(argv[0]) + utf8(argv[1]));
    }
    return;
  }
  Number a;
  Number b;
  for (int k = 0; k < 2; ++k) {
    if (!NumberOf(argv[k], k == 0 ? &a : &b)) {
      const std::string message = "Conversion failed when converting the varchar value '" +
                                  std::string(TextOf(argv[k])) + "' to data type int.";
      sqlite3_result_error(ctx, message.c_str(), -1);
      return;
    }
  }
  if (!a.is_int || !b.is_int) {
    sqlite3_result_double(ctx, a.AsDouble() + b.AsDouble());
    return;
  }
  sqlite3_int64 sum = 0;
  const bool int_operands = FitsInt32(a.i) && FitsInt32(b.i);
  if (__builtin_add_overflow(a.i, b.i, &sum) || (int_operands && !FitsInt32(sum))) {
    sqlite3_result_error(ctx,
                         int_operands
                             ? "Arithmetic overflow error converting expression to data type int."
                             : "Arithmetic overflow error converting expression to data type "
                               "bigint.",
                         -1);
    return;
  }
  sqlite3_result_int64(ctx, sum);
}

// mssql_single_value(e): the value of a compared subquery's one row, NULL
// without rows, an error like SQL Server's on a second row.
struct SingleValue {
  sqlite3_value* value;
  sqlite3_int64 rows;
};

void SingleValueStep(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, sizeof(SingleValue)));
  if (state == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (++state->rows > 1) {
    sqlite3_result_error(ctx,
                         "Subquery returned more than 1 value. This is not permitted when the "
                         "subquery follows =, !=, <, <= , >, >= or when the subquery is used as "
                         "an expression.",
                         -1);
    return;
  }
  state->value = sqlite3_value_dup(argv[0]);
  if (state->value == nullptr) sqlite3_result_error_nomem(ctx);
}

void SingleValueFinal(sqlite3_context* ctx) {
  auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->value == nullptr) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_value(ctx, state->value);
  sqlite3_value_free(state->value);
  state->value = nullptr;
}

// One element of a LIKE pattern; sets hold folded bytes.
struct PatternElement {
  enum class Type { kAnyRun, kAnyOne, kSet } type;
  std::bitset<256> set;
  bool negated = false;

  bool Matches(unsigned char c) const {
    return type == Type::kAnyOne || (set.test(text::UpperCp1252(c)) != negated);
  }
};

std::vector<PatternElement> CompilePattern(std::string_view p, int escape) {
  using Type = PatternElement::Type;
  std::vector<PatternElement> out;
  const auto literal = [&out](unsigned char c) {
    PatternElement e{Type::kSet, {}, false};
    e.set.set(text::UpperCp1252(c));
    out.push_back(e);
  };
  for (std::size_t i = 0; i < p.size(); ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (escape >= 0 && c == escape) {
      literal(static_cast<unsigned char>(i + 1 < p.size() ? p[++i] : p[i]));
    } else if (c == '%') {
      if (out.empty() || out.back().type != Type::kAnyRun) out.push_back({Type::kAnyRun, {}});
    } else if (c == '_') {
      out.push_back({Type::kAnyOne, {}});
    } else if (c == '[') {
      // [abc], [^abc], [a-f]; a range holds a byte when the byte or its case
      // partner lies between the ends. ']' right after '[' or '[^' is a member.
      // A '[' without its ']' is an ordinary character.
      PatternElement e{Type::kSet, {}, false};
      std::size_t k = i + 1;
      if (k < p.size() && p[k] == '^') {
        e.negated = true;
        ++k;
      }
      const std::size_t close = k < p.size() ? p.find(']', k + 1) : std::string_view::npos;
      if (close == std::string_view::npos) {
        literal(c);
        continue;
      }
      for (; k < close; ++k) {
        const auto lo = static_cast<unsigned char>(p[k]);
        if (k + 2 < close && p[k + 1] == '-') {
          const auto hi = static_cast<unsigned char>(p[k + 2]);
          for (unsigned b = lo; b <= hi; ++b) e.set.set(text::UpperCp1252(b));
          k += 2;
        } else {
          e.set.set(text::UpperCp1252(lo));
        }
      }
      out.push_back(e);
      i = close;
    } else {
      literal(c);
    }
  }
  return out;
}

// Wildcard match with one backtracking point, enough because every element
// but '%' consumes exactly one byte.
bool LikeMatch(const std::vector<PatternElement>& pattern, std::string_view value) {
  using Type = PatternElement::Type;
  std::size_t p = 0;
  std::size_t v = 0;
  std::size_t star = std::string::npos;
  std::size_t resume = 0;
  while (v < value.size()) {
    if (p < pattern.size() && pattern[p].type == Type::kAnyRun) {
      star = p++;
      resume = v;
    } else if (p < pattern.size() && pattern[p].Matches(static_cast<unsigned char>(value[v]))) {
      ++p;
      ++v;
    } else if (star != std::string::npos) {
      p = star + 1;
      v = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].type == Type::kAnyRun) ++p;
  return p == pattern.size();
}

// like(pattern, value[, escape]), called by SQLite for "value LIKE pattern".
void MssqlLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  int escape = -1;
  if (argc == 3) {
    const std::string e = Cp1252Of(argv[2]);
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
    escape = static_cast<unsigned char>(e[0]);
  }
  std::string value = Cp1252Of(argv[1]);
  value.erase(value.find_last_not_of(' ') + 1);
  sqlite3_result_int(ctx, LikeMatch(CompilePattern(Cp1252Of(argv[0]), escape), value) ? 1 : 0);
}

std::string_view TrimTrailingBlanks(const void* p, int n) {
  std::string_view s(static_cast<const char*>(p), static_cast<std::size_t>(n));
  // 0x20 never occurs inside a multi-byte UTF-8 character, so trimming the
  // UTF-8 text trims the cp1252 text.
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Orders texts by their folded cp1252 bytes after trailing blanks. Every
// result derives from comparing those byte sequences, so the order is total
// and consistent, as SQLite requires.
int CompareSqlServer(void* /*arg*/, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a = TrimTrailingBlanks(p1, n1);
  const std::string_view b = TrimTrailingBlanks(p2, n2);
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char x = text::UpperCp1252(text::NextCp1252Byte(a, &i));
    const unsigned char y = text::UpperCp1252(text::NextCp1252Byte(b, &j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

void Check(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK) {
    throw std::runtime_error(std::string("cannot register ") + what + ": " + sqlite3_errmsg(db));
  }
}

using SqlFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

void AddFunction(sqlite3* db, const char* name, int args, SqlFunction fn) {
  Check(db,
        sqlite3_create_function_v2(db, name, args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fn,
                                   nullptr, nullptr, nullptr),
        name);
}

}  // namespace

std::string Translate(std::string_view tsql) {
  const std::vector<Token> tokens = Tokenize(tsql);
  std::size_t pos = 0;
  const std::vector<Item> tree = BuildTree(tokens, &pos, nullptr);
  return LevelWriter(tree, 0, tree.size(), true).Write();
}

void Register(sqlite3* db) {
  Check(db,
        sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, CompareSqlServer,
                                    nullptr),
        kCollationName);
  for (int args : {1, 2}) {
    AddFunction(db, "mssql_varbinary", args, MssqlVarbinary);
    AddFunction(db, "mssql_varbinary_bytes", args, MssqlVarbinaryBytes);
    AddFunction(db, "mssql_varchar", args, MssqlVarchar);
  }
  AddFunction(db, "mssql_add", 2, MssqlAdd);
  Check(db,
        sqlite3_create_function_v2(db, "mssql_single_value", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, nullptr, SingleValueStep, SingleValueFinal, nullptr),
        "mssql_single_value");
  AddFunction(db, "like", 2, MssqlLike);
  AddFunction(db, "like", 3, MssqlLike);
}

}  // namespace migprof::sqlite_dialect
