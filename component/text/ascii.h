// Letter case and blanks of ASCII text, as the "C" locale has them: the
// names of columns, members, keys and connection-string items compare this
// way; other bytes (a UTF-8 text's letters) are left as they are.
#ifndef MIGPROF_COMPONENT_TEXT_ASCII_H_
#define MIGPROF_COMPONENT_TEXT_ASCII_H_

#include <algorithm>
#include <string>
#include <string_view>

namespace migprof::text {

inline char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldCase(c);
  return out;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

// text without any of blanks at either end.
inline std::string Trimmed(std::string_view text, std::string_view blanks = " ") {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

}  // namespace migprof::text

#endif  // MIGPROF_COMPONENT_TEXT_ASCII_H_
