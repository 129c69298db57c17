// The owner cipher: the stored format of qzmap100.ownr. A salted stream
// cipher over Windows-1252 character codes; the same key stream enciphers and
// deciphers. Everything here works on code-page bytes (one byte per
// character); the class converts from and to its UTF-8 strings.
//
// A cipher text is 10 salt characters followed by one character per clear
// character. Salt character k (k = 1..10) has code k or k + 1. Changing any
// step here breaks every stored owner.
#ifndef MIGPROF_PROFILES_OWNER_CIPHER_H_
#define MIGPROF_PROFILES_OWNER_CIPHER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace migprof::profiles {

// The fixed part of the key; the salt follows it.
inline constexpr std::string_view kCipherKey = "TRAMVELKOSIRD";
inline constexpr std::size_t kSaltLength = 10;
// The stream's index overflows at the 128th character, whatever the salt.
inline constexpr std::size_t kMaxClearLength = 127;
// Salt character k is k + (bit k-1 of the choice), so there are 2^10 salts.
inline constexpr std::uint32_t kSaltCount = 1u << kSaltLength;

// The salt for a choice in [0, kSaltCount): bit k-1 set gives code k + 1 at
// position k, clear gives code k.
std::string SaltFromChoice(std::uint32_t choice);

// Runs the key schedule on full_key (the key text and the salt) and XORs the
// key stream into data. nullopt when the attempt fails: an index reaches
// 256, which happens at the 128th character and, depending on the key, at
// about one character in 256 before that.
std::optional<std::string> ApplyKeyStream(std::string_view full_key, std::string_view data);

// One encipherment of clear under salt: the salt followed by the stream's
// output; nullopt when the attempt fails.
std::optional<std::string> EncipherWithSalt(std::string_view clear, std::string_view salt);

// Enciphers clear under salts drawn at random, each salt tried at most once,
// and returns the first cipher text that accept takes (nullptr accepts any).
// nullopt when no salt gives one; always for clear texts longer than
// kMaxClearLength. The accepted salt is uniform over the salts that give an
// accepted text, as with independent random retries.
std::optional<std::string> Encipher(std::string_view clear,
                                    const std::function<bool(std::string_view)>& accept = nullptr);

// The clear text of cipher: its first 10 characters (all of them, when
// shorter) are the salt and the rest is the data. nullopt when the stream
// fails, which a text that Encipher produced never does.
std::optional<std::string> Decipher(std::string_view cipher);

// Whether cipher can be stored through the creation statement: after the
// salt it holds no code 0, no apostrophe (39) and no code 10 directly
// followed by code 13.
bool IsStorableCipher(std::string_view cipher);

}  // namespace migprof::profiles

#endif  // MIGPROF_PROFILES_OWNER_CIPHER_H_
