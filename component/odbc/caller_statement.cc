#include "component/odbc/caller_statement.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "component/odbc/wide_text.h"
#include "component/sql/tsql_lexer.h"

namespace migprof::odbc {

// The translation of a marked text, cut at its markers: pieces[0],
// literal order[0], pieces[1], ... Not usable when a marker is missing or
// repeated.
struct MariaDbCallerText::Cut {
  bool usable = false;
  std::vector<std::string> pieces;
  std::vector<std::size_t> order;
  // Whether the translation is a SELECT without a '?' or NUL of its own, and
  // per marker whether it is the right operand of a comparison that ends
  // there.
  bool query = false;
  std::vector<bool> compared;
};

namespace {

// A marker stands for literal n: a literal no statement of the component
// writes, as a text holding the marker's character is never marked.
constexpr char kMark = '\x01';

std::string Marker(std::size_t n) {
  return std::string("'") + kMark + std::to_string(n) + kMark + "'";
}

// A closed '...' literal (its quotes, doubled inside, come in pairs) without
// NUL, whose contents the dialect copies as written.
bool IsPlainLiteral(const tsql::Token& token) {
  const std::string_view text = token.text;
  return token.kind == tsql::Kind::kString && text.size() >= 2 && text.front() == '\'' &&
         text.back() == '\'' && std::count(text.begin(), text.end(), '\'') % 2 == 0 &&
         text.find('\0') == std::string_view::npos;
}

bool IsWordChar(char c) { return tsql::IsWordStart(c) || tsql::IsDigit(c) || c == '$'; }

// The word at the start of text (blanks skipped), in lower case.
std::string FirstWord(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && tsql::IsBlank(text[at])) ++at;
  std::size_t end = at;
  while (end < text.size() && IsWordChar(text[end])) ++end;
  return tsql::Lower(text.substr(at, end - at));
}

// The literal between before and after is compared with what precedes it
// (=, <>, !=, <, >, <=, >=) and nothing follows it in the same expression:
// the text ends, a parenthesis closes, or the next condition or clause
// starts. A literal in the select list, in IN (...), LIKE, BETWEEN, CASE,
// under COLLATE or in arithmetic is not.
bool IsComparedLiteral(std::string_view before, std::string_view after) {
  while (!before.empty() && tsql::IsBlank(before.back())) before.remove_suffix(1);
  if (before.empty() || (before.back() != '=' && before.back() != '<' && before.back() != '>')) {
    return false;
  }
  std::size_t at = 0;
  while (at < after.size() && tsql::IsBlank(after[at])) ++at;
  if (at == after.size() || after[at] == ')') return true;
  const std::string word = FirstWord(after.substr(at));
  return word == "and" || word == "or" || word == "order" || word == "group";
}

void NoteComparedLiterals(MariaDbCallerText::Cut& cut) {
  if (!cut.usable) return;
  // A '?' of the text itself (in a name) would be read as a marker, and the
  // driver reads a text it prepares only up to a NUL (in a literal).
  cut.query = FirstWord(cut.pieces.front()) == "select" &&
              std::none_of(cut.pieces.begin(), cut.pieces.end(), [](const std::string& piece) {
                return piece.find_first_of(std::string_view("?\0", 2)) != std::string::npos;
              });
  cut.compared.resize(cut.order.size());
  for (std::size_t k = 0; k < cut.order.size(); ++k) {
    cut.compared[k] = IsComparedLiteral(cut.pieces[k], cut.pieces[k + 1]);
  }
}

// The value of a plain literal: its quotes off, doubled quotes single.
std::string LiteralValue(std::string_view literal) {
  std::string value;
  value.reserve(literal.size());
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    value += literal[i];
    if (literal[i] == '\'') ++i;
  }
  return value;
}

// Valid UTF-8 comes back from UTF-16 as it was; anything else comes back
// with U+FFFD in place of what was not.
bool IsValidUtf8(std::string_view text) { return FromWide(ToWide(text)) == text; }

// A varchar's limit: a longer value would go to the server as a long text.
constexpr std::size_t kMaxValueBytes = 8000;

MariaDbCallerText::Cut CutAtMarkers(const std::string& translated, std::size_t markers) {
  MariaDbCallerText::Cut out;
  if (static_cast<std::size_t>(std::count(translated.begin(), translated.end(), kMark)) !=
      2 * markers) {
    return out;
  }
  std::vector<bool> seen(markers, false);
  std::size_t from = 0;
  for (std::size_t k = 0; k < markers; ++k) {
    const std::size_t open = translated.find(kMark, from);
    const std::size_t close = translated.find(kMark, open + 1);
    if (open == 0 || translated[open - 1] != '\'' || close + 1 >= translated.size() ||
        translated[close + 1] != '\'') {
      return out;
    }
    const std::string digits = translated.substr(open + 1, close - open - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return out;
    const std::size_t n = std::stoul(digits);
    if (n >= markers || seen[n] || Marker(n) != translated.substr(open - 1, close - open + 3)) {
      return out;
    }
    seen[n] = true;
    out.pieces.push_back(translated.substr(from, open - 1 - from));
    out.order.push_back(n);
    from = close + 2;
  }
  out.pieces.push_back(translated.substr(from));
  out.usable = true;
  return out;
}

// What is known per marked text (and, for translations, per text type),
// emptied when it grows past its bound.
class KnownTexts {
 public:
  static KnownTexts& Instance() {
    static KnownTexts* known = new KnownTexts();
    return *known;
  }

  std::optional<CallerStatement> FindCaller(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = callers_.find(key);
    if (found == callers_.end()) return std::nullopt;
    return found->second;
  }

  void StoreCaller(const std::string& key, CallerStatement caller) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callers_.size() >= kMaxEntries) callers_.clear();
    callers_.emplace(key, caller);
  }

  std::shared_ptr<const MariaDbCallerText::Cut> FindTranslation(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = translations_.find(key);
    return found == translations_.end() ? nullptr : found->second;
  }

  void StoreTranslation(const std::string& key, std::shared_ptr<const MariaDbCallerText::Cut> cut) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (translations_.size() >= kMaxEntries) translations_.clear();
    translations_.emplace(key, std::move(cut));
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;
  std::mutex mutex_;
  std::unordered_map<std::string, CallerStatement> callers_;
  std::unordered_map<std::string, std::shared_ptr<const MariaDbCallerText::Cut>> translations_;
};

}  // namespace

CallerStatement ReadCallerStatement(std::string_view sql) {
  CallerStatement statement;
  bool first = true;
  for (const tsql::Token& token : tsql::Tokenize(sql)) {
    if (token.kind == tsql::Kind::kSpace) continue;
    if (token.kind != tsql::Kind::kString && token.kind != tsql::Kind::kQuoted &&
        token.text.find('@') != std::string_view::npos) {
      statement.leaves_no_session_state = false;
    }
    if (!first || token.kind == tsql::Kind::kOpen) continue;  // a parenthesised query
    first = false;
    const std::string word = tsql::Lower(token.text);
    if (word != "select" && word != "insert" && word != "update" && word != "delete" &&
        word != "with") {
      statement.leaves_no_session_state = false;
      statement.may_change_tables = true;
    }
  }
  return statement;
}

MariaDbCallerText::MariaDbCallerText(const std::string& sql)
    : MariaDbCallerText(sql, sql.find(kMark) != std::string::npos ? std::vector<tsql::Token>()
                                                                  : tsql::Tokenize(sql)) {}

MariaDbCallerText::MariaDbCallerText(const std::string& sql, const std::vector<tsql::Token>& tokens)
    : sql_(sql) {
  if (sql.find(kMark) != std::string::npos) {
    key_ = sql;
    return;
  }
  key_.reserve(sql.size());
  std::size_t copied = 0;
  for (const tsql::Token& token : tokens) {
    // Token texts are views into sql, but for a blank the lexer adds.
    const char* begin = token.text.data();
    if (!IsPlainLiteral(token) || begin < sql.data() || begin >= sql.data() + sql.size()) continue;
    const std::size_t at = static_cast<std::size_t>(begin - sql.data());
    key_.append(sql, copied, at - copied);
    key_ += Marker(literals_.size());
    literals_.push_back(token.text);
    copied = at + token.text.size();
  }
  key_.append(sql, copied, std::string::npos);
}

CallerStatement MariaDbCallerText::Caller() const {
  if (caller_) return *caller_;
  caller_ = KnownTexts::Instance().FindCaller(key_);
  if (!caller_) {
    caller_ = ReadCallerStatement(key_);
    KnownTexts::Instance().StoreCaller(key_, *caller_);
  }
  return *caller_;
}

const MariaDbCallerText::Cut& MariaDbCallerText::CutFor(const MariaDbTextType& text_type,
                                                        bool& read_before) const {
  if (!cut_ || cut_type_.charset != text_type.charset ||
      cut_type_.collation != text_type.collation) {
    std::string typed_key = text_type.charset;
    typed_key += '\0';
    typed_key += text_type.collation;
    typed_key += '\0';
    typed_key += key_;
    cut_ = KnownTexts::Instance().FindTranslation(typed_key);
    cut_read_before_ = cut_ != nullptr;
    if (!cut_) {
      auto made = std::make_shared<Cut>(
          CutAtMarkers(TranslateForMariaDb(key_, text_type), literals_.size()));
      NoteComparedLiterals(*made);
      KnownTexts::Instance().StoreTranslation(typed_key, made);
      cut_ = std::move(made);
    }
    cut_type_ = text_type;
  }
  read_before = cut_read_before_;
  return *cut_;
}

std::string MariaDbCallerText::Translate(const MariaDbTextType& text_type) const {
  bool read_before = false;
  const Cut& cut = CutFor(text_type, read_before);
  if (!cut.usable) return TranslateForMariaDb(sql_, text_type);
  std::string out = cut.pieces[0];
  for (std::size_t k = 0; k < cut.order.size(); ++k) {
    out += literals_[cut.order[k]];
    out += cut.pieces[k + 1];
  }
  return out;
}

std::optional<ParameterizedQuery> MariaDbCallerText::Parameterize(
    const MariaDbTextType& text_type) const {
  bool read_before = false;
  const Cut& cut = CutFor(text_type, read_before);
  if (!read_before || !cut.usable || !cut.query) return std::nullopt;
  const CallerStatement caller = Caller();
  if (!caller.leaves_no_session_state || caller.may_change_tables) return std::nullopt;
  ParameterizedQuery out;
  out.sql = cut.pieces[0];
  for (std::size_t k = 0; k < cut.order.size(); ++k) {
    const std::string_view literal = literals_[cut.order[k]];
    if (cut.compared[k]) {
      std::string value = LiteralValue(literal);
      if (value.size() > kMaxValueBytes || !IsValidUtf8(value)) return std::nullopt;
      out.values.push_back(std::move(value));
      // A literal may be glued to the word after it ('x'and); a marker may not.
      const std::string& after = cut.pieces[k + 1];
      out.sql += !after.empty() && IsWordChar(after.front()) ? "? " : "?";
    } else {
      out.sql += literal;
    }
    out.sql += cut.pieces[k + 1];
  }
  if (out.values.empty()) return std::nullopt;
  return out;
}

}  // namespace migprof::odbc
