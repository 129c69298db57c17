// The owner cipher on any clear text and salt choice: deciphering what was
// enciphered gives the clear text back, a text longer than the stream allows
// is never enciphered, and deciphering any text at all is safe.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "profiles/owner_cipher.h"

namespace profiles = migprof::profiles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)profiles::Decipher(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)profiles::IsStorableCipher(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size < 2) return 0;
  const std::uint32_t choice = (data[0] | (data[1] << 8)) % profiles::kSaltCount;
  const std::string_view clear(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string salt = profiles::SaltFromChoice(choice);
  FUZZ_CHECK(salt.size() == profiles::kSaltLength);

  const std::optional<std::string> cipher = profiles::EncipherWithSalt(clear, salt);
  if (clear.size() > profiles::kMaxClearLength) FUZZ_CHECK(!cipher);
  if (!cipher) return 0;
  FUZZ_CHECK(cipher->size() == profiles::kSaltLength + clear.size());
  FUZZ_CHECK(cipher->compare(0, salt.size(), salt) == 0);
  const std::optional<std::string> back = profiles::Decipher(*cipher);
  FUZZ_CHECK(back && *back == clear);
  return 0;
}
