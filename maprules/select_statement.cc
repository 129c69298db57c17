#include "maprules/select_statement.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace migprof::maprules {
namespace {

// Words that begin or make up a statement other than a query. SQL Server
// runs several statements of one text without any ";" between them, so
// finding the ";" alone is not enough: a second statement shows by its
// first word.
constexpr std::string_view kForbiddenWords[] = {
    "alter",          "attach",     "backup",     "begin",       "break",
    "bulk",           "checkpoint", "close",      "commit",      "continue",
    "create",         "dbcc",       "deallocate", "declare",     "delete",
    "deny",           "detach",     "drop",       "exec",        "execute",
    "fetch",          "go",         "goto",       "grant",       "if",
    "insert",         "into",       "kill",       "merge",       "open",
    "opendatasource", "openquery",  "openrowset", "openxml",     "pragma",
    "print",          "raiserror",  "readtext",   "reconfigure", "restore",
    "return",         "revoke",     "rollback",   "save",        "set",
    "shutdown",       "truncate",   "update",     "waitfor"};

// Words after which SELECT continues the same statement.
constexpr std::string_view kSetOperators[] = {"union", "all", "except", "intersect"};

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#';
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         c == '$';
}

bool Contains(const auto& words, const std::string& word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// Skips a quoted run that starts at sql[pos] and ends with close, where a
// doubled close stands for itself. Returns the position after it, or npos
// when it is not terminated.
std::size_t SkipQuoted(std::string_view sql, std::size_t pos, char close) {
  for (std::size_t i = pos + 1; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
    if (i + 1 < sql.size() && sql[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

// Skips a block comment starting at sql[pos] ("/*"), nested ones included.
std::size_t SkipBlockComment(std::string_view sql, std::size_t pos) {
  int depth = 0;
  for (std::size_t i = pos; i + 1 < sql.size(); ++i) {
    if (sql[i] == '/' && sql[i + 1] == '*') {
      ++depth;
      ++i;
    } else if (sql[i] == '*' && sql[i + 1] == '/') {
      ++i;
      if (--depth == 0) return i + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace

bool IsSingleSelectStatement(std::string_view sql) {
  bool first = true;
  bool ended = false;    // a ";" was seen
  std::string previous;  // the previous token, lower-cased words or one character
  std::size_t pos = 0;
  while (pos < sql.size()) {
    char c = sql[pos];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++pos;
      continue;
    }
    if (c == '-' && pos + 1 < sql.size() && sql[pos + 1] == '-') {
      std::size_t end = sql.find('\n', pos);
      pos = end == std::string_view::npos ? sql.size() : end + 1;
      continue;
    }
    if (c == '/' && pos + 1 < sql.size() && sql[pos + 1] == '*') {
      pos = SkipBlockComment(sql, pos);
      if (pos == std::string_view::npos) return false;
      continue;
    }
    if (c == ';') {
      if (first) return false;
      ended = true;
      ++pos;
      continue;
    }
    if (ended) return false;  // a further statement follows the ";"
    std::string token;
    if (c == '\'' || c == '"' || c == '[') {
      pos = SkipQuoted(sql, pos, c == '[' ? ']' : c);
      if (pos == std::string_view::npos) return false;
      token = "'";
    } else if (IsWordStart(c)) {
      std::size_t end = pos;
      while (end < sql.size() && IsWordChar(sql[end])) ++end;
      for (std::size_t i = pos; i < end; ++i) {
        token += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
      }
      pos = end;
      if (first && token != "select") return false;
      if (Contains(kForbiddenWords, token)) return false;
      if (!first && token == "select" && previous != "(" && !Contains(kSetOperators, previous)) {
        return false;
      }
    } else {
      if (first) return false;
      token = std::string(1, c);
      ++pos;
    }
    first = false;
    previous = std::move(token);
  }
  return !first;
}

}  // namespace migprof::maprules
