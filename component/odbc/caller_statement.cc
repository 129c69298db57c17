#include "component/odbc/caller_statement.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "component/sql/tsql_lexer.h"

namespace migprof::odbc {
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

// The translation of a marked text, cut at its markers: pieces[0],
// literal order[0], pieces[1], ... Not usable when a marker is missing or
// repeated.
struct MarkedTranslation {
  bool usable = false;
  std::vector<std::string> pieces;
  std::vector<std::size_t> order;
};

MarkedTranslation CutAtMarkers(const std::string& translated, std::size_t markers) {
  MarkedTranslation out;
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
    std::size_t n = 0;
    const std::string digits = translated.substr(open + 1, close - open - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return out;
    n = std::stoul(digits);
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

  std::shared_ptr<const MarkedTranslation> FindTranslation(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = translations_.find(key);
    return found == translations_.end() ? nullptr : found->second;
  }

  void StoreTranslation(const std::string& key, std::shared_ptr<const MarkedTranslation> cut) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (translations_.size() >= kMaxEntries) translations_.clear();
    translations_.emplace(key, std::move(cut));
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;
  std::mutex mutex_;
  std::unordered_map<std::string, CallerStatement> callers_;
  std::unordered_map<std::string, std::shared_ptr<const MarkedTranslation>> translations_;
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

MariaDbCallerText::MariaDbCallerText(const std::string& sql) : sql_(sql) {
  if (sql.find(kMark) != std::string::npos) {
    key_ = sql;
    return;
  }
  key_.reserve(sql.size());
  std::size_t copied = 0;
  for (const tsql::Token& token : tsql::Tokenize(sql)) {
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
  if (std::optional<CallerStatement> known = KnownTexts::Instance().FindCaller(key_)) {
    return *known;
  }
  const CallerStatement caller = ReadCallerStatement(key_);
  KnownTexts::Instance().StoreCaller(key_, caller);
  return caller;
}

std::string MariaDbCallerText::Translate(const MariaDbTextType& text_type) const {
  std::string typed_key = text_type.charset;
  typed_key += '\0';
  typed_key += text_type.collation;
  typed_key += '\0';
  typed_key += key_;
  std::shared_ptr<const MarkedTranslation> cut = KnownTexts::Instance().FindTranslation(typed_key);
  if (!cut) {
    auto made = std::make_shared<MarkedTranslation>(
        CutAtMarkers(TranslateForMariaDb(key_, text_type), literals_.size()));
    KnownTexts::Instance().StoreTranslation(typed_key, made);
    cut = std::move(made);
  }
  if (!cut->usable) return TranslateForMariaDb(sql_, text_type);
  std::string out = cut->pieces[0];
  for (std::size_t k = 0; k < cut->order.size(); ++k) {
    out += literals_[cut->order[k]];
    out += cut->pieces[k + 1];
  }
  return out;
}

}  // namespace migprof::odbc
