// The string literals of a statement text as the lexer reads them, for the
// property both dialect translations keep: a literal comes through unaltered.
#ifndef MIGPROF_FUZZ_LITERALS_H_
#define MIGPROF_FUZZ_LITERALS_H_

#include <string>
#include <string_view>
#include <vector>

#include "component/sql/tsql_lexer.h"

namespace migprof::fuzz {

// The complete literals ('...', closed, without NUL) of sql, the N prefix
// dropped.
inline std::vector<std::string> PlainLiterals(std::string_view sql) {
  std::vector<std::string> literals;
  for (const tsql::Token& token : tsql::Tokenize(sql)) {
    if (token.kind != tsql::Kind::kString) continue;
    std::string_view text = token.text;
    if (text.front() == 'N' || text.front() == 'n') text.remove_prefix(1);
    const bool closed = text.size() >= 2 && text.back() == '\'';
    if (closed && text.find('\0') == std::string_view::npos) literals.emplace_back(text);
  }
  return literals;
}

}  // namespace migprof::fuzz

#endif  // MIGPROF_FUZZ_LITERALS_H_
