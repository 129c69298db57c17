// Text helpers of the mapping-rule members, with the Visual Basic runtime's
// meaning of Mid, Trim and LCase on UTF-8 text.
#ifndef MIGPROF_MAPRULES_TEXT_VALUES_H_
#define MIGPROF_MAPRULES_TEXT_VALUES_H_

#include <cstddef>
#include <string_view>

#include "migprof/automation.h"

namespace migprof::maprules {

// The characters of text from the 1-based character position start on, at
// most count of them (all the rest when count is npos). Positions count
// characters, not bytes; past the end the result is empty.
String MidText(std::string_view text, std::size_t start, std::size_t count = String::npos);

// text without its leading and trailing blanks (U+0020 only; tabs stay).
String TrimBlanks(std::string_view text);

// text with every letter in lower case (Unicode simple case mapping);
// everything that is not a letter, and bytes that are not valid UTF-8, are
// kept as they are.
String LowerCase(std::string_view text);

// A column value trimmed of its blanks: text for any value but Null, which
// stays Null.
Variant TrimmedValue(const Variant& value);

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_TEXT_VALUES_H_
