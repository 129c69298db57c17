#include "component/sql/tsql_lexer.h"

#include <algorithm>
#include <iterator>

#include "component/text/ascii.h"

namespace migprof::tsql {
namespace {

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

// Index one past a quoted run that opens at `open` and closes with `close`,
// a doubled `close` standing for itself; the text's end when it never closes.
std::size_t EndOfQuoted(std::string_view s, std::size_t open, char close) {
  for (std::size_t i = open + 1;;) {
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

}  // namespace

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' ||
         u >= 0x80;
}

std::string Lower(std::string_view s) { return text::Lower(s); }

std::string NameOf(const Token& token) {
  std::string_view text = token.text;
  if (token.kind == Kind::kQuoted && text.size() >= 2) text = text.substr(1, text.size() - 2);
  return Lower(text);
}

bool IsComment(const Token& token) {
  return token.kind == Kind::kSpace && !token.text.empty() && !IsBlank(token.text[0]);
}

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

std::vector<std::string> LiteralPiecesAroundNul(std::string_view literal) {
  if (literal.find('\0') == std::string_view::npos) return {};
  const std::size_t open = literal.find('\'');
  const std::size_t close =
      literal.size() > open + 1 && literal.back() == '\'' ? literal.size() - 1 : literal.size();
  std::vector<std::string> pieces(1, "'");
  for (std::size_t i = open + 1; i < close; ++i) {
    if (literal[i] == '\0') {
      pieces.back() += '\'';
      pieces.emplace_back("'");
    } else {
      pieces.back() += literal[i];
    }
  }
  pieces.back() += '\'';
  return pieces;
}

std::vector<Token> Tokenize(std::string_view s) {
  static constexpr std::string_view kTwoCharOps[] = {"<>", "!=", "<=", ">=", "!<",
                                                     "!>", "||", "==", "<<", ">>"};
  std::vector<Token> out;
  const std::size_t n = s.size();
  out.reserve(n / 4 + 4);  // about one token in four characters: few regrowths
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
    } else if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
      i = EndOfQuoted(s, c == '\'' ? i : i + 1, '\'');
      kind = Kind::kString;
    } else if (c == '"' || c == '`' || c == '[') {
      i = EndOfQuoted(s, i, c == '[' ? ']' : c);
      kind = Kind::kQuoted;
    } else if (IsDigit(c) || (c == '.' && IsDigit(next) &&
                              (out.empty() || (out.back().kind != Kind::kWord &&
                                               out.back().kind != Kind::kQuoted)))) {
      i = EndOfNumber(s, i);
      out.push_back({Kind::kNumber, s.substr(start, i - start)});
      if (i < n && IsWordStart(s[i])) out.push_back({Kind::kSpace, " "});
      continue;
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(s[i])) ++i;
      kind = Kind::kWord;
    } else if (c == '?' || (c == ':' && IsWordStart(next))) {
      ++i;
      while (i < n && IsWordChar(s[i])) ++i;
      kind = Kind::kParam;
    } else if (c == '(' || c == ')') {
      ++i;
      kind = c == '(' ? Kind::kOpen : Kind::kClose;
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

bool HasSeveralStatements(std::string_view sql) {
  bool ended = false;
  for (const Token& token : Tokenize(sql)) {
    const bool semicolon = token.kind == Kind::kOp && token.text == ";";
    if (ended && !semicolon && token.kind != Kind::kSpace) return true;
    ended = ended || semicolon;
  }
  return false;
}

}  // namespace migprof::tsql
