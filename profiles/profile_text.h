// Text rules of the profile members: splitting as the runtime's Split does,
// the "U" rules of a version, and the check on numbers that a caller passes
// as text and that go into a statement unquoted.
#ifndef MIGPROF_PROFILES_PROFILE_TEXT_H_
#define MIGPROF_PROFILES_PROFILE_TEXT_H_

#include <string_view>
#include <vector>

#include "migprof/automation.h"

namespace migprof::profiles {

// The pieces of text between separators; "" gives no piece at all, and
// every separator adds one ("a__" gives "a", "", "").
std::vector<String> SplitText(std::string_view text, std::string_view separator);

// The piece at index of pieces; raises 9 "Subscript out of range" when there
// are not that many.
const String& Piece(const std::vector<String>& pieces, std::size_t index);

// text without leading and trailing blanks (' ' only).
String TrimBlanks(std::string_view text);

// text with a-z turned into A-Z.
String UpperAscii(std::string_view text);

// Whether the version, upper-cased, contains the letter U.
bool HoldsU(std::string_view version);

// The position rule for a profile derived with its parent's applications:
// false when the version has exactly 3 characters and the 3rd is not U/u, or
// exactly 4 characters and the 4th is not U/u. Characters, not bytes, count.
bool PassesUPositionRule(std::string_view version);

// Whether text is a number as SQL Server reads one in a statement, with
// blanks (' ') around it: optionally signed, digits with an optional
// decimal point (12, 10.0, .5, 5.) and an optional exponent (1e3, 2.5E-1).
// A decimal of more than 38 digits (leading zeros not counted) and a float
// beyond SQL Server's range are not, as SQL Server refuses them. The only
// text that may go into a statement as a number: it goes in unchanged.
bool IsNumericLiteral(std::string_view text);

}  // namespace migprof::profiles

#endif  // MIGPROF_PROFILES_PROFILE_TEXT_H_
