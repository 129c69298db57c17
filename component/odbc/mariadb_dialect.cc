#include "component/odbc/mariadb_dialect.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "component/odbc/wide_text.h"
#include "component/sql/column_assignments.h"
#include "component/sql/tsql_lexer.h"
#include "component/text/cp1252.h"

namespace migprof::odbc {
namespace {

// ---------------------------------------------------------------------------
// Tokens, then a tree of parenthesised groups, then per nesting level a list
// of units (operands and operators) on which casts, additive chains and LIKE
// are rewritten.
// ---------------------------------------------------------------------------

using tsql::IsDigit;
using tsql::IsKeyword;
using tsql::Kind;
using tsql::Lower;

// A token with the text written for MariaDB.
struct Token {
  Kind kind;
  std::string text;
};

// True when a quoted run ends with its closing quote (doubled quotes inside
// stand for themselves).
bool IsClosedRun(std::string_view quoted, char close) {
  for (std::size_t i = 1; i < quoted.size(); ++i) {
    if (quoted[i] != close) continue;
    if (i + 1 < quoted.size() && quoted[i + 1] == close) {
      ++i;
    } else {
      return i + 1 == quoted.size();
    }
  }
  return false;
}

// The text between the quotes of a closed quoted run, doubled quotes undone.
std::string Unquote(std::string_view quoted, char close) {
  std::string out;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    out += quoted[i];
    if (quoted[i] == close) ++i;
  }
  return out;
}

std::string Backticked(std::string_view name) {
  std::string out = "`";
  for (char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  return out + "`";
}

// The statement's tokens as MariaDB must read them: comments become a blank
// (MariaDB wants a blank after "--" and runs "/*!...*/"; SQL Server ignores
// both), quoted names take backticks, "!<" and "!>" their spelled-out forms.
std::vector<Token> MariaDbTokens(const std::vector<tsql::Token>& tokens) {
  std::vector<Token> out;
  for (const tsql::Token& t : tokens) {
    std::string text(t.text);
    if (tsql::IsComment(t)) {
      text.assign(1, ' ');
    } else if (t.kind == Kind::kQuoted && text[0] != '`') {
      const char close = text[0] == '[' ? ']' : text[0];
      if (IsClosedRun(text, close)) text = Backticked(Unquote(text, close));
    } else if (t.kind == Kind::kOp && (text == "!<" || text == "!>")) {
      text = text == "!<" ? ">=" : "<=";
    }
    out.push_back({t.kind, std::move(text)});
  }
  return out;
}

bool IsWholeNumber(std::string_view number) {
  return number.find_first_of(".eE") == std::string_view::npos ||
         (number.size() > 1 && (number[1] == 'x' || number[1] == 'X'));
}

// A value written alone into a column of a profile table, where MariaDB
// would take what SQL Server refuses or convert it otherwise: a text into an
// int column goes through mssql_int_of_text (schema/mariadb.sql: SQL
// Server's rule and messages), a text into a varbinary column through
// mssql_varbinary_of_text (which refuses it as SQL Server does), a number
// with a fraction into an int column through TRUNCATE (MariaDB rounds).
// Too long a text MariaDB refuses itself; the session gives its error SQL
// Server's text (odbc_error.h).
std::vector<Token> GuardColumnValues(const std::vector<tsql::Token>& tokens,
                                     std::vector<Token> out) {
  std::vector<Token> guarded;
  bool changed = false;
  std::size_t next = 0;
  const auto at = [&out](std::size_t i) { return out.begin() + static_cast<std::ptrdiff_t>(i); };
  for (const tsql::ColumnAssignment& value : tsql::FindColumnAssignments(tokens)) {
    if (value.last != value.first + 1) continue;
    const Kind kind = tokens[value.first].kind;
    const bool is_int = value.type->kind == tsql::ColumnType::Kind::kInt;
    std::string function;
    std::string after;
    if (kind == Kind::kString && is_int) {
      function = "mssql_int_of_text";
    } else if (kind == Kind::kString && value.type->kind == tsql::ColumnType::Kind::kVarbinary) {
      function = "mssql_varbinary_of_text";
    } else if (kind == Kind::kNumber && is_int && !IsWholeNumber(tokens[value.first].text)) {
      function = "TRUNCATE";
      after = "0";
    } else {
      continue;
    }
    guarded.insert(guarded.end(), std::make_move_iterator(at(next)),
                   std::make_move_iterator(at(value.first)));
    guarded.push_back({Kind::kWord, function});
    guarded.push_back({Kind::kOpen, "("});
    guarded.push_back(std::move(out[value.first]));
    if (!after.empty()) {
      guarded.push_back({Kind::kOp, ","});
      guarded.push_back({Kind::kNumber, after});
    }
    guarded.push_back({Kind::kClose, ")"});
    next = value.last;
    changed = true;
  }
  if (!changed) return out;
  guarded.insert(guarded.end(), std::make_move_iterator(at(next)),
                 std::make_move_iterator(out.end()));
  return guarded;
}

std::vector<Token> Tokenize(std::string_view sql) {
  const std::vector<tsql::Token> tokens = tsql::Tokenize(sql);
  return GuardColumnValues(tokens, MariaDbTokens(tokens));
}

// A token, or (kind kOpen) a parenthesised group with its contents.
struct Item {
  Kind kind;
  std::string text;
  std::vector<Item> children;
  bool closed = false;
};

enum class ValueKind { kText, kNumber, kUnknown };

// The schema's columns that are not text; every other column name is text.
ValueKind ColumnKind(std::string_view lower_name) {
  static constexpr std::string_view kNumbers[] = {"mprf", "levl", "pprf", "deph",
                                                  "dnum", "dept", "defa"};
  if (std::find(std::begin(kNumbers), std::end(kNumbers), lower_name) != std::end(kNumbers)) {
    return ValueKind::kNumber;
  }
  return lower_name == "ldat" ? ValueKind::kUnknown : ValueKind::kText;
}

ValueKind FunctionKind(std::string_view lower_name) {
  static constexpr std::string_view kTexts[] = {
      "ltrim",  "rtrim", "trim",  "left",  "right",     "substring", "upper", "lower", "replace",
      "concat", "char",  "nchar", "space", "replicate", "reverse",   "stuff", "str"};
  static constexpr std::string_view kNumbers[] = {"count", "len", "datalength", "charindex", "abs"};
  if (std::find(std::begin(kTexts), std::end(kTexts), lower_name) != std::end(kTexts)) {
    return ValueKind::kText;
  }
  if (std::find(std::begin(kNumbers), std::end(kNumbers), lower_name) != std::end(kNumbers)) {
    return ValueKind::kNumber;
  }
  return ValueKind::kUnknown;
}

ValueKind CastTypeKind(std::string_view lower_type) {
  static constexpr std::string_view kNumbers[] = {"int",     "integer", "smallint", "bigint",
                                                  "tinyint", "decimal", "numeric",  "float",
                                                  "real",    "money",   "bit"};
  static constexpr std::string_view kTexts[] = {"char",  "nchar",   "nvarchar",  "text",
                                                "ntext", "varchar", "varbinary", "binary"};
  if (std::find(std::begin(kNumbers), std::end(kNumbers), lower_type) != std::end(kNumbers)) {
    return ValueKind::kNumber;
  }
  if (std::find(std::begin(kTexts), std::end(kTexts), lower_type) != std::end(kTexts)) {
    return ValueKind::kText;
  }
  return ValueKind::kUnknown;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (char b : bytes) {
    out += kDigits[static_cast<unsigned char>(b) >> 4];
    out += kDigits[static_cast<unsigned char>(b) & 15];
  }
  return out + "'";
}

// SQL Server's binary form of an integer: big-endian, 4 bytes for an int,
// 8 beyond.
std::string BigEndian(long long value) {
  const bool is_int = value >= INT32_MIN && value <= INT32_MAX;
  std::string out(is_int ? 4 : 8, '\0');
  auto bits = static_cast<unsigned long long>(value);
  for (std::size_t k = out.size(); k-- > 0; bits >>= 8) out[k] = static_cast<char>(bits & 0xFF);
  return out;
}

enum class UnitType { kSpace, kOperand, kArith, kOther };

struct Unit {
  UnitType type;
  std::string text;
  ValueKind kind = ValueKind::kUnknown;
};

struct Written {
  std::string text;
  ValueKind kind;
};

std::size_t SkipSpaceItems(const std::vector<Item>& items, std::size_t i, std::size_t end) {
  while (i < end && items[i].kind == Kind::kSpace) ++i;
  return i;
}

bool IsWord(const Item& item, std::string_view lower_word) {
  return item.kind == Kind::kWord && Lower(item.text) == lower_word;
}

// The length of a cast target: "(30)", "(max)" or nothing.
struct CastLength {
  bool unlimited = false;
  std::size_t bytes = 30;
};

class LevelWriter {
 public:
  // `top` is the outermost level of the statement text.
  LevelWriter(const std::vector<Item>& items, std::size_t begin, std::size_t end, bool top,
              const MariaDbTextType& text_type)
      : items_(items), begin_(begin), end_(end), top_(top), text_type_(text_type) {}

  Written Write() {
    BuildUnits();
    RewriteChains();
    RewriteLike();
    std::string text;
    const Unit* only = nullptr;
    int operands = 0;
    for (const Unit& u : units_) {
      text += u.text;
      if (u.type != UnitType::kSpace) {
        ++operands;
        only = &u;
      }
    }
    const bool single = operands == 1 && only->type == UnitType::kOperand;
    return {text, single ? only->kind : ValueKind::kUnknown};
  }

 private:
  Written WriteRange(const std::vector<Item>& items, std::size_t begin, std::size_t end) const {
    return LevelWriter(items, begin, end, false, text_type_).Write();
  }

  Written WriteGroup(const Item& group) const {
    Written inner = WriteRange(group.children, 0, group.children.size());
    return {"(" + inner.text + (group.closed ? ")" : ""), inner.kind};
  }

  void Push(UnitType type, std::string text, ValueKind kind = ValueKind::kUnknown) {
    units_.push_back({type, std::move(text), kind});
  }

  void BuildUnits() {
    for (std::size_t i = begin_; i < end_;) {
      const Item& item = items_[i];
      switch (item.kind) {
        case Kind::kSpace:
          Push(UnitType::kSpace, item.text);
          ++i;
          break;
        case Kind::kWord:
          i = WordUnit(i);
          break;
        case Kind::kQuoted:
          i = NameUnit(i, ValueKind::kUnknown);
          break;
        case Kind::kNumber:
          Push(UnitType::kOperand, item.text, ValueKind::kNumber);
          ++i;
          break;
        case Kind::kString:
          Push(UnitType::kOperand, Literal(item.text), ValueKind::kText);
          ++i;
          break;
        case Kind::kOpen: {
          Written group = WriteGroup(item);
          Push(UnitType::kOperand, std::move(group.text), group.kind);
          ++i;
          break;
        }
        case Kind::kOp: {
          static constexpr std::string_view kArith = "+-*/%&|^~";
          const bool arith = item.text.size() == 1 && kArith.find(item.text[0]) != kArith.npos;
          Push(arith ? UnitType::kArith : UnitType::kOther, item.text);
          if (item.text == ";") {
            position_.EndStatement();
          }
          ++i;
          break;
        }
        case Kind::kParam:  // no parameters in the component's statements
        case Kind::kClose:
          Push(UnitType::kOther, item.text);
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
      if (std::optional<Written> cast = CastCall(items_[next])) {
        Push(UnitType::kOperand, std::move(cast->text), cast->kind);
        return next + 1;
      }
      return NameUnit(i, CastTargetKind(items_[next]));
    }
    if (word == "case") {
      if (const std::size_t end = MatchingEnd(i); end != end_) {
        Push(UnitType::kOperand,
             items_[i].text + WriteRange(items_, i + 1, end).text + items_[end].text);
        return end + 1;
      }
    }
    if (word == "delete" && first_of_statement && next < end_ &&
        (items_[next].kind == Kind::kQuoted ||
         (items_[next].kind == Kind::kWord && !IsWord(items_[next], "from") &&
          !IsWord(items_[next], "top")))) {
      // SQL Server makes FROM optional after DELETE; MariaDB requires it.
      Push(UnitType::kOther, items_[i].text);
      for (std::size_t k = i + 1; k < next; ++k) Push(UnitType::kSpace, items_[k].text);
      Push(UnitType::kOther, "from");
      Push(UnitType::kSpace, " ");
      return next;
    }
    if (word == "null") {
      Push(UnitType::kOperand, items_[i].text);
      return i + 1;
    }
    if (IsKeyword(word)) {
      Push(UnitType::kOther, items_[i].text);
      return i + 1;
    }
    return NameUnit(i, ValueKind::kUnknown);
  }

  // A possibly qualified name (a.b.c, t.*), with its argument list when it
  // is a function call. `call_kind`, when known, is the kind of the call's
  // value.
  std::size_t NameUnit(std::size_t i, ValueKind call_kind) {
    std::string text = items_[i].text;
    std::string last = items_[i].text;
    const bool qualified_start = i + 1 < end_ && items_[i + 1].text == ".";
    ++i;
    while (i + 1 < end_ && items_[i].kind == Kind::kOp && items_[i].text == "." &&
           (items_[i + 1].kind == Kind::kWord || items_[i + 1].kind == Kind::kQuoted ||
            items_[i + 1].text == "*")) {
      text += "." + items_[i + 1].text;
      last = items_[i + 1].text;
      i += 2;
    }
    const std::size_t next = SkipSpaceItems(items_, i, end_);
    if (next < end_ && items_[next].kind == Kind::kOpen) {
      ValueKind kind = call_kind;
      if (kind == ValueKind::kUnknown && !qualified_start) kind = FunctionKind(Lower(text));
      for (; i < next; ++i) text += items_[i].text;
      text += WriteGroup(items_[next]).text;
      Push(UnitType::kOperand, std::move(text), kind);
      return next + 1;
    }
    if (last.size() >= 2 && last.front() == '`' && last.back() == '`') {
      last = last.substr(1, last.size() - 2);
    }
    Push(UnitType::kOperand, std::move(text), ColumnKind(Lower(last)));
    return i;
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

  // Index of the last top-level "as" of a cast's group, or its size.
  static std::size_t LastAs(const std::vector<Item>& ch) {
    std::size_t as = ch.size();
    for (std::size_t k = 0; k < ch.size(); ++k) {
      if (IsWord(ch[k], "as")) as = k;
    }
    return as;
  }

  static ValueKind CastTargetKind(const Item& group) {
    const std::vector<Item>& ch = group.children;
    const std::size_t k = SkipSpaceItems(ch, LastAs(ch) + 1, ch.size());
    return k < ch.size() && ch[k].kind == Kind::kWord ? CastTypeKind(Lower(ch[k].text))
                                                      : ValueKind::kUnknown;
  }

  // The replacement for cast(<expr> as varbinary|varchar[(n)]), or nothing
  // when the group is some other cast, which then passes through as a call.
  std::optional<Written> CastCall(const Item& group) const {
    const std::vector<Item>& ch = group.children;
    if (!group.closed) return std::nullopt;
    const std::size_t as = LastAs(ch);
    if (as == ch.size()) return std::nullopt;
    std::size_t k = SkipSpaceItems(ch, as + 1, ch.size());
    if (k == ch.size() || !(IsWord(ch[k], "varbinary") || IsWord(ch[k], "varchar"))) {
      return std::nullopt;
    }
    const bool varbinary = IsWord(ch[k], "varbinary");
    CastLength length;
    k = SkipSpaceItems(ch, k + 1, ch.size());
    if (k < ch.size() && ch[k].kind == Kind::kOpen) {
      const std::vector<Item>& size = ch[k].children;
      const std::size_t m = SkipSpaceItems(size, 0, size.size());
      if (!ch[k].closed || m == size.size()) return std::nullopt;
      if (IsWord(size[m], "max")) {
        length.unlimited = true;
      } else if (size[m].kind != Kind::kNumber ||
                 std::from_chars(size[m].text.data(), size[m].text.data() + size[m].text.size(),
                                 length.bytes)
                         .ptr != size[m].text.data() + size[m].text.size() ||
                 length.bytes == 0) {
        return std::nullopt;
      }
      if (SkipSpaceItems(size, m + 1, size.size()) != size.size()) return std::nullopt;
      k = SkipSpaceItems(ch, k + 1, ch.size());
    }
    if (k != ch.size()) return std::nullopt;
    const std::size_t first = SkipSpaceItems(ch, 0, as);
    std::size_t last = as;
    while (last > first && ch[last - 1].kind == Kind::kSpace) --last;
    if (first == last) return std::nullopt;
    return varbinary ? VarbinaryCast(ch, first, last, length)
                     : VarcharCast(WriteRange(ch, first, last).text, length);
  }

  Written VarcharCast(const std::string& expression, CastLength length) const {
    std::string latin1 = "CONVERT(" + expression + " USING latin1)";
    if (!length.unlimited) latin1 = "LEFT(" + latin1 + "," + std::to_string(length.bytes) + ")";
    return {"(CONVERT(" + latin1 + " USING " + text_type_.charset + ") COLLATE " +
                text_type_.collation + ")",
            ValueKind::kText};
  }

  Written VarbinaryCast(const std::vector<Item>& ch, std::size_t first, std::size_t last,
                        CastLength length) const {
    const std::size_t limit = length.unlimited ? std::string::npos : length.bytes;
    if (last - first == 1 && ch[first].kind == Kind::kString) {
      const std::string& literal = ch[first].text;
      if (literal.back() == '\'' && literal.size() >= 2) {
        const bool national = literal.front() != '\'';
        const std::string content = Unquote(std::string_view(literal).substr(national), '\'');
        std::string bytes;
        if (national) {
          for (SQLWCHAR unit : ToWide(content)) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
          }
        } else {
          bytes = text::Utf8ToCp1252(content);
        }
        return {Hex(std::string_view(bytes).substr(0, limit)), ValueKind::kText};
      }
    }
    if (std::optional<long long> value = IntegerLiteral(ch, first, last)) {
      const std::string bytes = BigEndian(*value);
      const std::size_t take = std::min(limit, bytes.size());
      const std::string_view kept = std::string_view(bytes).substr(bytes.size() - take);
      if (position_.in_select_list()) return {Hex(kept), ValueKind::kText};
      if (take == bytes.size()) {
        return {*value < 0 ? "(" + std::to_string(*value) + ")" : std::to_string(*value),
                ValueKind::kNumber};
      }
      unsigned long long cut = 0;
      for (char b : kept) cut = (cut << 8) | static_cast<unsigned char>(b);
      return {std::to_string(cut), ValueKind::kNumber};
    }
    const Written expression = WriteRange(ch, first, last);
    if (expression.kind == ValueKind::kNumber) {
      const std::size_t take = std::min<std::size_t>(limit, 4);
      if (position_.in_select_list()) {
        return {"UNHEX(RIGHT(LPAD(HEX(" + expression.text + "),16,'0')," +
                    std::to_string(2 * take) + "))",
                ValueKind::kText};
      }
      if (take == 4) return {"(" + expression.text + ")", ValueKind::kNumber};
      return {"((" + expression.text + ")&" + std::to_string((1ULL << (8 * take)) - 1) + ")",
              ValueKind::kNumber};
    }
    std::string bytes = "CAST(CONVERT(" + expression.text + " USING latin1) AS BINARY)";
    if (!length.unlimited) bytes = "LEFT(" + bytes + "," + std::to_string(length.bytes) + ")";
    return {bytes, ValueKind::kText};
  }

  // The value of an integer literal with an optional sign, when [first,
  // last) is exactly that.
  static std::optional<long long> IntegerLiteral(const std::vector<Item>& ch, std::size_t first,
                                                 std::size_t last) {
    bool negative = false;
    std::size_t k = first;
    if (ch[k].kind == Kind::kOp && (ch[k].text == "-" || ch[k].text == "+")) {
      negative = ch[k].text == "-";
      k = SkipSpaceItems(ch, k + 1, last);
    }
    if (k + 1 != last || ch[k].kind != Kind::kNumber) return std::nullopt;
    const std::string& digits = ch[k].text;
    unsigned long long magnitude = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (ec != std::errc() || ptr != digits.data() + digits.size() ||
        magnitude > static_cast<unsigned long long>(INT64_MAX)) {
      return std::nullopt;
    }
    const auto value = static_cast<long long>(magnitude);
    return negative ? -value : value;
  }

  // -------------------------------------------------------------------------
  // Additive chains.
  // -------------------------------------------------------------------------

  struct Parsed {
    std::size_t end;  // one past the last unit
    std::string text;
    ValueKind kind;
  };

  static bool IsArith(const Unit& u, std::string_view ops) {
    return u.type == UnitType::kArith && ops.find(u.text[0]) != std::string_view::npos;
  }

  std::size_t SkipSpaceUnits(std::size_t i) const {
    while (i < units_.size() && units_[i].type == UnitType::kSpace) ++i;
    return i;
  }

  std::string Join(std::size_t begin, std::size_t end) const {
    std::string out;
    for (std::size_t k = begin; k < end; ++k) out += units_[k].text;
    return out;
  }

  // Unary operators, then an operand.
  std::optional<Parsed> ParseFactor(std::size_t i) const {
    const std::size_t start = i;
    bool signed_operand = false;
    while (i < units_.size() && IsArith(units_[i], "+-~")) {
      signed_operand = true;
      i = SkipSpaceUnits(i + 1);
    }
    if (i >= units_.size() || units_[i].type != UnitType::kOperand) return std::nullopt;
    return Parsed{i + 1, Join(start, i + 1), signed_operand ? ValueKind::kNumber : units_[i].kind};
  }

  // Factors joined by '*', '/' and '%'.
  std::optional<Parsed> ParseTerm(std::size_t i) const {
    std::optional<Parsed> term = ParseFactor(i);
    if (!term) return std::nullopt;
    for (;;) {
      const std::size_t op = SkipSpaceUnits(term->end);
      if (op >= units_.size() || !IsArith(units_[op], "*/%")) return term;
      std::optional<Parsed> next = ParseFactor(SkipSpaceUnits(op + 1));
      if (!next) return term;
      *term = Parsed{next->end, Join(i, next->end), ValueKind::kNumber};
    }
  }

  // Terms joined by '+', '-', '&', '|' and '^', left to right; a '+'
  // between two text values becomes concatenation.
  std::optional<Parsed> ParseChain(std::size_t i) const {
    std::optional<Parsed> term = ParseTerm(i);
    if (!term) return std::nullopt;
    std::string text = term->text;
    ValueKind kind = term->kind;
    std::vector<std::string> concat;
    const auto settle = [&] {
      if (concat.empty()) return;
      text = "CONCAT(";
      for (std::size_t k = 0; k < concat.size(); ++k) text += (k ? "," : "") + concat[k];
      text += ")";
      concat.clear();
    };
    std::size_t end = term->end;
    for (;;) {
      const std::size_t op = SkipSpaceUnits(end);
      if (op >= units_.size() || !IsArith(units_[op], "+-&|^")) break;
      const std::size_t start = SkipSpaceUnits(op + 1);
      std::optional<Parsed> next = ParseTerm(start);
      if (!next) break;
      const bool plus = units_[op].text == "+";
      if (plus && kind == ValueKind::kText && next->kind == ValueKind::kText) {
        if (concat.empty()) concat.push_back(text);
        concat.push_back(next->text);
      } else {
        settle();
        text += Join(end, start) + next->text;
        kind = plus && (kind == ValueKind::kUnknown || next->kind == ValueKind::kUnknown)
                   ? ValueKind::kUnknown
                   : ValueKind::kNumber;
      }
      end = next->end;
    }
    settle();
    return Parsed{end, text, kind};
  }

  void RewriteChains() {
    std::vector<Unit> out;
    for (std::size_t i = 0; i < units_.size();) {
      const Unit& u = units_[i];
      bool can_start = u.type == UnitType::kOperand;
      if (IsArith(u, "+-~")) {
        // A sign is unary unless an operand stands before it.
        auto prev = std::find_if(out.rbegin(), out.rend(),
                                 [](const Unit& p) { return p.type != UnitType::kSpace; });
        can_start = prev == out.rend() || prev->type != UnitType::kOperand;
      }
      std::optional<Parsed> chain = can_start ? ParseChain(i) : std::nullopt;
      if (!chain) {
        out.push_back(u);
        ++i;
        continue;
      }
      out.push_back({UnitType::kOperand, chain->text, chain->kind});
      i = chain->end;
    }
    units_ = std::move(out);
  }

  // SQL Server's varchar LIKE ignores the value's trailing blanks; MariaDB's
  // does not.
  void RewriteLike() {
    for (std::size_t i = 0; i < units_.size(); ++i) {
      if (units_[i].type != UnitType::kOther || Lower(units_[i].text) != "like") continue;
      std::size_t k = i;
      const auto previous = [&](std::size_t from) {
        while (from > 0 && units_[from - 1].type == UnitType::kSpace) --from;
        return from;
      };
      k = previous(k);
      if (k > 0 && units_[k - 1].type == UnitType::kOther && Lower(units_[k - 1].text) == "not") {
        k = previous(k - 1);
      }
      if (k > 0 && units_[k - 1].type == UnitType::kOperand) {
        units_[k - 1].text = "RTRIM(" + units_[k - 1].text + ")";
      }
    }
  }

  const std::vector<Item>& items_;
  std::size_t begin_;
  std::size_t end_;
  bool top_;
  // A string literal; one holding NUL characters becomes a CONCAT with the
  // NUL character, in the database's character set and collation, in their
  // places.
  std::string Literal(const std::string& text) const {
    const std::vector<std::string> pieces = tsql::LiteralPiecesAroundNul(text);
    if (pieces.empty()) return text;
    std::string out = "CONCAT(" + pieces.front();
    for (std::size_t k = 1; k < pieces.size(); ++k) {
      out += ",_" + text_type_.charset + " X'00' COLLATE " + text_type_.collation + "," + pieces[k];
    }
    return out + ")";
  }

  const MariaDbTextType& text_type_;
  std::vector<Unit> units_;
  tsql::StatementPosition position_;  // outermost level only
};

}  // namespace

std::string TranslateForMariaDb(std::string_view sql, const MariaDbTextType& text_type) {
  const std::vector<Item> tree = tsql::BuildTree<Item>(Tokenize(sql));
  return LevelWriter(tree, 0, tree.size(), true, text_type).Write().text;
}

}  // namespace migprof::odbc
