#include "component/sql/statement_shape.h"

#include <string>
#include <string_view>

#include "component/sql/tsql_lexer.h"

namespace migprof::tsql {
namespace {

// The value of a terminated plain literal without NUL; false otherwise.
bool LiteralValue(std::string_view text, String& value) {
  if (text.size() < 2 || text.front() != '\'') return false;
  value.clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') return false;
    if (c != '\'') {
      value += c;
      continue;
    }
    if (i + 1 == text.size()) return true;
    if (text[i + 1] != '\'') return false;
    value += '\'';
    ++i;
  }
  return false;
}

// Compares without making a lower-case copy: the shape of every statement
// the component runs passes here once per word.
bool IsWordIgnoringCase(const Token& token, std::string_view lower) {
  if (token.kind != Kind::kWord || token.text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = token.text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

StatementShape ShapeOf(const String& sql) {
  if (sql.find('\'') == String::npos) return {sql, {}};
  return ShapeOf(sql, tsql::Tokenize(sql));
}

StatementShape ShapeOf(const String& sql, const std::vector<Token>& tokens) {
  StatementShape shape;
  if (sql.find('\'') == String::npos) {
    shape.text = sql;
    return shape;
  }
  shape.text.reserve(sql.size());
  int depth = 0;
  bool in_values = false;
  String value;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const Token& token = tokens[t];
    switch (token.kind) {
      case Kind::kParam:
        return {sql, {}};
      case Kind::kOpen:
        ++depth;
        break;
      case Kind::kClose:
        --depth;
        break;
      case Kind::kWord:
        if (depth == 0) {
          if (IsWordIgnoringCase(token, "where") || IsWordIgnoringCase(token, "set") ||
              IsWordIgnoringCase(token, "values")) {
            in_values = true;
          } else if (IsWordIgnoringCase(token, "union") || IsWordIgnoringCase(token, "except") ||
                     IsWordIgnoringCase(token, "intersect")) {
            in_values = false;
          }
        }
        break;
      case Kind::kOp:
        if (depth == 0 && token.text == ";") in_values = false;
        break;
      case Kind::kString:
        if (in_values && LiteralValue(token.text, value)) {
          shape.values.push_back(value);
          // Numbered, so that a translation that repeats or moves an operand
          // still binds each value where its literal stood.
          shape.text += '?' + std::to_string(shape.values.size());
          if (t + 1 < tokens.size() && tsql::IsWordStart(tokens[t + 1].text[0])) shape.text += ' ';
          continue;
        }
        break;
      default:
        break;
    }
    shape.text += token.text;
  }
  if (shape.values.empty()) shape.text = sql;
  return shape;
}

}  // namespace migprof::tsql
