#include "wire/json_depth.h"

namespace migprof::wire {

std::size_t JsonNestingDepth(std::string_view text) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool in_string = false;
  bool escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        break;
      case '[':
      case '{':
        if (++depth > deepest) deepest = depth;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return deepest;
}

std::optional<std::string> NestingTooDeep(std::string_view text) {
  if (JsonNestingDepth(text) <= kMaxJsonDepth) return std::nullopt;
  return "arrays and objects nest more than " + std::to_string(kMaxJsonDepth) +
         " levels deep; member arguments are plain values";
}

}  // namespace migprof::wire
