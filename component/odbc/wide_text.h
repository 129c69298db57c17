// The component's UTF-8 text to and from the UTF-16 text (SQLWCHAR) of the
// ODBC wide functions, which leave every conversion to the driver's own
// character set to the driver.
#ifndef MIGPROF_COMPONENT_ODBC_WIDE_TEXT_H_
#define MIGPROF_COMPONENT_ODBC_WIDE_TEXT_H_

#include <sqltypes.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace migprof::odbc {

static_assert(sizeof(SQLWCHAR) == 2, "the driver manager must use UTF-16 for SQLWCHAR");

using WideString = std::basic_string<SQLWCHAR>;

// UTF-8 to UTF-16. Each maximal ill-formed UTF-8 subsequence (and an encoded
// surrogate) becomes U+FFFD; a NUL stays a NUL.
WideString ToWide(std::string_view utf8);

// UTF-16 to UTF-8: the first `units` code units of `text`. An unpaired
// surrogate becomes U+FFFD.
std::string FromWide(const SQLWCHAR* text, std::size_t units);
inline std::string FromWide(const WideString& text) { return FromWide(text.data(), text.size()); }

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_WIDE_TEXT_H_
