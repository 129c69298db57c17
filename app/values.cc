#include "app/values.h"

#include <algorithm>

namespace migprof::app {

std::optional<Vrc> ParseVrc(const String& text) {
  const std::size_t first = text.find('_');
  if (first == String::npos || text == "__") return std::nullopt;
  const std::size_t second = text.find('_', first + 1);
  if (second == String::npos) return std::nullopt;
  return Vrc{text.substr(0, first), text.substr(first + 1, second - first - 1),
             text.substr(second + 1)};
}

std::vector<TableKey> ParseTableList(const String& codes) {
  std::vector<TableKey> out;
  std::size_t start = 0;
  while (start <= codes.size()) {
    std::size_t comma = codes.find(',', start);
    if (comma == String::npos) comma = codes.size();
    if (std::optional<TableKey> key = ParseTableCode(codes.substr(start, comma - start))) {
      out.push_back(*key);
    }
    start = comma + 1;
  }
  return out;
}

std::optional<TableKey> ParseTableCode(const String& text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  const String code = text.substr(begin, end - begin);
  if (code.find_first_of(" \t") != String::npos) {
    std::vector<String> parts;
    for (std::size_t i = 0; i < code.size();) {
      const std::size_t stop = std::min(code.find_first_of(" \t", i), code.size());
      if (stop > i) parts.push_back(code.substr(i, stop - i));
      i = stop + 1;
    }
    if (parts.size() != 3 || parts[0].size() != 2 || parts[1].size() != 3) return std::nullopt;
    return TableKey{parts[0], parts[1], parts[2]};
  }
  if (code.size() < 6) return std::nullopt;
  return TableKey{code.substr(0, 2), code.substr(2, 3), code.substr(5)};
}

}  // namespace migprof::app
