// Parsing of request texts with a bound on how deep arrays and objects nest.
// The component's arguments are flat values; a text that nests far deeper is
// refused before it is parsed, so no part of the tool ever walks a value
// deep enough to exhaust the stack.
#ifndef MIGPROF_WIRE_JSON_DEPTH_H_
#define MIGPROF_WIRE_JSON_DEPTH_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace migprof::wire {

// The deepest nesting of arrays and objects a request may hold.
inline constexpr std::size_t kMaxJsonDepth = 32;

// The deepest nesting of arrays and objects in text, counting brackets
// outside strings only. Works on any text, valid JSON or not.
std::size_t JsonNestingDepth(std::string_view text);

// The message for a text that nests deeper than kMaxJsonDepth, or nothing.
std::optional<std::string> NestingTooDeep(std::string_view text);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_JSON_DEPTH_H_
