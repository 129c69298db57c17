// The cp1252 conversions on any bytes: every byte string comes back from
// UTF-8 unchanged, converting UTF-8 never yields more bytes than it read,
// what Cp1252ToUtf8 writes is well-formed UTF-8 (Utf8ToCp1252 finds no
// ill-formed sequence in it), and case folding is idempotent.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "component/text/cp1252.h"
#include "fuzz/check.h"

namespace text = migprof::text;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Input as cp1252 bytes: a round trip through UTF-8.
  const std::string utf8 = text::Cp1252ToUtf8(input);
  FUZZ_CHECK(text::Utf8ToCp1252(utf8) == input);
  std::size_t characters = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++characters) text::NextCp1252Byte(utf8, &pos);
  FUZZ_CHECK(characters == input.size());

  // Input as UTF-8: one byte per character, and its image is stable.
  const std::string bytes = text::Utf8ToCp1252(input);
  FUZZ_CHECK(bytes.size() <= input.size());
  FUZZ_CHECK(text::Utf8ToCp1252(text::Cp1252ToUtf8(bytes)) == bytes);

  for (unsigned char c : input) {
    const unsigned char upper = text::UpperCp1252(c);
    FUZZ_CHECK(text::UpperCp1252(upper) == upper);
  }
  return 0;
}
