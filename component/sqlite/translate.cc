// Translation of SQL Server statement text for SQLite: tokens, then a tree
// of parenthesised groups, then per nesting level a list of units (operands
// and operators) on which casts, additive chains and compared subqueries are
// rewritten. The functions the rewritten text calls are in sql_functions.cc.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "component/sql/tsql_lexer.h"
#include "component/sqlite/column_values.h"
#include "component/sqlite/dialect.h"
#include "component/text/cp1252.h"

namespace migprof::sqlite_dialect {
namespace {

using tsql::IsDigit;
using tsql::IsKeyword;
using tsql::Kind;
using tsql::Lower;
using tsql::Token;

// A token, or (kind kOpen) a parenthesised group with its contents.
struct Item {
  Kind kind;
  std::string_view text;
  std::vector<Item> children;
  bool closed = false;
};

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
    if (!top_ && IsPlainCondition()) return Balanced(0, units_.size(), 0);
    return RewriteChains();
  }

 private:
  static std::string WriteRange(const std::vector<Item>& items, std::size_t begin,
                                std::size_t end) {
    return LevelWriter(items, begin, end, false).Write();
  }

  static std::string WriteGroup(const Item& group) {
    std::string out = "(";
    out += WriteRange(group.children, 0, group.children.size());
    if (group.closed) out += ')';
    return out;
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
        case Kind::kParam:
          Push(UnitType::kOperand, std::string(item.text));
          ++i;
          break;
        case Kind::kString:
          Push(UnitType::kOperand, Literal(item.text));
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
            position_.EndStatement();
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
    const bool first_of_statement = top_ && position_.Word(word);
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

  // A string literal; one holding NUL characters becomes a concatenation
  // with char(0) in their places, which keeps them in the value.
  static std::string Literal(std::string_view text) {
    const std::vector<std::string> pieces = tsql::LiteralPiecesAroundNul(text);
    if (pieces.empty()) return std::string(text);
    std::string out = "(" + pieces.front();
    for (std::size_t k = 1; k < pieces.size(); ++k) out += "||char(0)||" + pieces[k];
    return out + ")";
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
    std::string out = "(";
    out += WriteRange(ch, 0, first);
    out += "mssql_single_value(";
    out += WriteRange(ch, first, last);
    out += ')';
    out += kCollateSuffix;
    out += WriteRange(ch, last, ch.size());
    out += ')';
    return out;
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
      function = position_.in_select_list() ? "mssql_varbinary_bytes" : "mssql_varbinary";
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

  // SQLite's parser nests a chain "a or b or c ..." one level deeper per
  // operator and refuses more than 1000 levels; SQL Server takes such
  // chains. A long chain of OR (or of AND) inside parentheses is written as
  // a balanced tree of parenthesised halves, so its depth grows with the
  // logarithm of its length. OR and AND associate, and every other operator
  // binds tighter, so the value is the same. Shorter chains stay as written.
  static constexpr std::size_t kLongChain = 32;
  static constexpr std::string_view kChainWords[] = {"or", "and"};

  // True when the group holds a condition with no clause or construct whose
  // own words an OR or AND could belong to.
  bool IsPlainCondition() const {
    for (const Unit& unit : units_) {
      if (unit.type != UnitType::kOther) continue;
      const std::string word = Lower(unit.text);
      for (std::string_view other : {"select", "from", "where", "between", "case", "when", "then",
                                     "else", "end", "on", "having", "union"}) {
        if (word == other) return false;
      }
    }
    return true;
  }

  bool IsChainWord(std::size_t k, std::size_t level) const {
    return units_[k].type == UnitType::kOther && Lower(units_[k].text) == kChainWords[level];
  }

  std::string Slice(std::size_t begin, std::size_t end) const {
    LevelWriter part(items_, begin_, begin_, false);
    part.units_.assign(units_.begin() + static_cast<std::ptrdiff_t>(begin),
                       units_.begin() + static_cast<std::ptrdiff_t>(end));
    return part.RewriteChains();
  }

  // Units [begin, end) with long chains of kChainWords[level] (and, inside
  // their operands, of the following words) balanced.
  std::string Balanced(std::size_t begin, std::size_t end, std::size_t level) const {
    if (level == std::size(kChainWords)) return Slice(begin, end);
    std::vector<std::size_t> operators;
    for (std::size_t k = begin; k < end; ++k) {
      if (IsChainWord(k, level)) operators.push_back(k);
    }
    if (operators.empty()) return Balanced(begin, end, level + 1);
    if (operators.size() < kLongChain) {
      // Operands are balanced on their own; the chain stays as written.
      std::string out;
      std::size_t from = begin;
      for (std::size_t op : operators) {
        out += Balanced(from, op, level + 1) + units_[op].text;
        from = op + 1;
      }
      return out + Balanced(from, end, level + 1);
    }
    return Tree(begin, end, operators, 0, operators.size() + 1, level);
  }

  // Operands [first, last) of a chain whose operators are at `operators`.
  std::string Tree(std::size_t begin, std::size_t end, const std::vector<std::size_t>& operators,
                   std::size_t first, std::size_t last, std::size_t level) const {
    const auto operand_begin = [&](std::size_t n) { return n == 0 ? begin : operators[n - 1] + 1; };
    const auto operand_end = [&](std::size_t n) {
      return n == operators.size() ? end : operators[n];
    };
    if (last - first == 1) return Balanced(operand_begin(first), operand_end(first), level + 1);
    const std::size_t middle = first + (last - first) / 2;
    return "(" + Tree(begin, end, operators, first, middle, level) + ")" +
           units_[operators[middle - 1]].text + "(" +
           Tree(begin, end, operators, middle, last, level) + ")";
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
  tsql::StatementPosition position_;  // outermost level only
};

// Literals as SQL Server reads them: a national literal's text as it is
// (SQLite has no national literals; the text is UTF-8 either way), a plain
// literal's through code page 1252, and 0x... as a binary value (SQLite
// reads it as a hexadecimal integer).
void RewriteLiterals(std::vector<Token>* tokens, TokenTexts* texts) {
  for (Token& token : *tokens) {
    if (token.kind == Kind::kString) {
      if (token.text[0] != '\'') {
        token.text.remove_prefix(1);
        continue;
      }
      const bool ascii = std::all_of(token.text.begin(), token.text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      if (!ascii)
        token.text = texts->emplace_back(text::Cp1252ToUtf8(text::Utf8ToCp1252(token.text)));
    } else if (token.kind == Kind::kNumber && token.text.size() >= 2 && token.text[0] == '0' &&
               (token.text[1] == 'x' || token.text[1] == 'X')) {
      const std::string_view hex = token.text.substr(2);
      if (!std::all_of(hex.begin(), hex.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        continue;
      }
      // SQL Server pads an odd number of digits with a 0 on the left.
      token.text =
          texts->emplace_back("X'" + std::string(hex.size() % 2, '0') + std::string(hex) + "'");
    }
  }
}

bool IsSpace(const Item& item) { return item.kind == Kind::kSpace; }

// SELECT ... TOP n (or TOP (n)) as SQLite writes it: LIMIT n at the end of
// that select, in this group and in every group inside it.
void RewriteTop(std::vector<Item>* items, TokenTexts* texts) {
  for (Item& item : *items) {
    if (item.kind == Kind::kOpen) RewriteTop(&item.children, texts);
  }
  for (std::size_t begin = 0; begin < items->size();) {
    std::size_t end = begin;
    while (end < items->size() && !((*items)[end].kind == Kind::kOp && (*items)[end].text == ";")) {
      ++end;
    }
    std::size_t select = begin;
    bool compound = false;
    for (std::size_t k = begin; k < end; ++k) {
      for (std::string_view word : {"union", "except", "intersect"}) {
        if (IsWord((*items)[k], word)) compound = true;
      }
    }
    while (select < end && !IsWord((*items)[select], "select")) ++select;
    std::size_t top = SkipSpaceItems(*items, select + 1, end);
    if (top < end && (IsWord((*items)[top], "all") || IsWord((*items)[top], "distinct"))) {
      top = SkipSpaceItems(*items, top + 1, end);
    }
    const std::size_t count = SkipSpaceItems(*items, top + 1, end);
    const std::size_t after = count + 1;
    const std::size_t next = SkipSpaceItems(*items, after, end);
    const bool rewrite =
        !compound && select < end && top < end && IsWord((*items)[top], "top") && count < end &&
        (((*items)[count].kind == Kind::kNumber &&
          std::all_of((*items)[count].text.begin(), (*items)[count].text.end(), IsDigit)) ||
         ((*items)[count].kind == Kind::kOpen && (*items)[count].closed)) &&
        !(next < end && (IsWord((*items)[next], "percent") || IsWord((*items)[next], "with")));
    if (rewrite) {
      Item limit = std::move((*items)[count]);
      // TOP n goes with the blanks after it: "select top 1 a" is "select a".
      const std::size_t erased = next < end ? next : after;
      items->erase(items->begin() + static_cast<std::ptrdiff_t>(top),
                   items->begin() + static_cast<std::ptrdiff_t>(erased));
      end -= erased - top;
      std::size_t at = end;
      while (at > top && IsSpace((*items)[at - 1])) --at;
      std::vector<Item> tail;
      tail.push_back({Kind::kSpace, " ", {}, false});
      tail.push_back({Kind::kWord, texts->emplace_back("limit"), {}, false});
      tail.push_back({Kind::kSpace, " ", {}, false});
      tail.push_back(std::move(limit));
      items->insert(items->begin() + static_cast<std::ptrdiff_t>(at),
                    std::make_move_iterator(tail.begin()), std::make_move_iterator(tail.end()));
      end += tail.size();
    }
    begin = end + 1;
  }
}

}  // namespace

std::string Translate(std::string_view sql) {
  TokenTexts texts;
  std::vector<Token> tokens = tsql::Tokenize(sql);
  RewriteLiterals(&tokens, &texts);
  tokens = AddImplicitColumnLists(tokens);
  tokens = WrapColumnValues(tokens, &texts);
  std::vector<Item> tree = tsql::BuildTree<Item>(tokens);
  RewriteTop(&tree, &texts);
  return LevelWriter(tree, 0, tree.size(), true).Write();
}

}  // namespace migprof::sqlite_dialect
