// Conversions between UTF-8 (the text encoding of the embedded database and of
// the component's API) and Windows-1252, the code page of SQL Server's varchar
// columns under a CP1 collation. Also the case folding those collations use.
#ifndef MIGPROF_COMPONENT_TEXT_CP1252_H_
#define MIGPROF_COMPONENT_TEXT_CP1252_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace migprof::text {

// Converts UTF-8 text to Windows-1252 bytes, one byte per character.
// A character that code page 1252 cannot hold becomes '?', as Windows'
// conversion without best fit does. The five bytes cp1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) are the images of the C1 controls U+0081,
// U+008D, U+008F, U+0090 and U+009D, so every byte value has a preimage.
// Each maximal ill-formed UTF-8 subsequence becomes a single '?'.
std::string Utf8ToCp1252(std::string_view utf8);

// Converts Windows-1252 bytes to UTF-8. Total: every one of the 256 byte
// values has an image, and Utf8ToCp1252(Cp1252ToUtf8(b)) == b for every b.
std::string Cp1252ToUtf8(std::string_view bytes);

// Decodes the UTF-8 character starting at *pos and returns its cp1252 byte
// ('?' when unmappable or ill-formed); advances *pos past what it consumed
// (at least one byte). REQUIRES: *pos < utf8.size().
unsigned char NextCp1252Byte(std::string_view utf8, std::size_t* pos);

// SQL Server's case folding for a case-insensitive collation on code page
// 1252: a-z, the lower-case letters 0xE0-0xFE except the division sign 0xF7,
// and the four letters outside that block (š, œ, ž, ÿ) map to their capitals.
// Accents are kept: 'é' folds to 'É', never to 'E'. Other bytes map to
// themselves.
unsigned char UpperCp1252(unsigned char c);

}  // namespace migprof::text

#endif  // MIGPROF_COMPONENT_TEXT_CP1252_H_
