#include "profiles/owner_cipher.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

namespace migprof::profiles {
namespace {

using Table = std::array<int, 256>;

unsigned char Code(std::string_view text, std::size_t position_1based) {
  return static_cast<unsigned char>(text[position_1based - 1]);
}

// The stored format's key schedule, with its 1-based key position that
// advances two places per round.
Table KeySchedule(std::string_view full_key) {
  Table s;
  std::iota(s.begin(), s.end(), 0);
  const std::size_t length = full_key.size();
  int i = 1;
  int j = 1;
  std::size_t p = 1;
  for (int round = 0; round < 256; ++round) {
    i = (i + 1) % 256;
    j = (Code(full_key, p) + j + s[i]) % 256;
    std::swap(s[i], s[j]);
    p = ((p + 1) % length) + 1;
  }
  return s;
}

std::mt19937& Generator() {
  thread_local std::mt19937 generator{std::random_device{}()};
  return generator;
}

}  // namespace

std::string SaltFromChoice(std::uint32_t choice) {
  std::string salt(kSaltLength, '\0');
  for (std::size_t k = 1; k <= kSaltLength; ++k) {
    salt[k - 1] = static_cast<char>(k + ((choice >> (k - 1)) & 1u));
  }
  return salt;
}

std::optional<std::string> ApplyKeyStream(std::string_view full_key, std::string_view data) {
  Table s = KeySchedule(full_key);
  int a = 0;
  int b = 0;
  std::string out;
  out.reserve(data.size());
  for (unsigned char c : data) {
    // a and b are 8-bit values in the format; reaching 256 ends the attempt.
    a = ((a + 1) % 256) + 1;
    if (a == 256) return std::nullopt;
    b = ((s[a] + b) % 256) + 1;
    if (b == 256) return std::nullopt;
    std::swap(s[a], s[b]);
    int t = (s[a] + s[b]) % 256;
    out += static_cast<char>(s[t] ^ c);
  }
  return out;
}

std::optional<std::string> EncipherWithSalt(std::string_view clear, std::string_view salt) {
  std::string full_key(kCipherKey);
  full_key += salt;
  std::optional<std::string> data = ApplyKeyStream(full_key, clear);
  if (!data) return std::nullopt;
  return std::string(salt) + *data;
}

std::optional<std::string> Encipher(std::string_view clear,
                                    const std::function<bool(std::string_view)>& accept) {
  if (clear.size() > kMaxClearLength) return std::nullopt;
  // Trying the salts in a random order, each once, accepts the same salts
  // with the same odds as drawing a new random salt for every retry, and
  // ends even for a clear text that no salt can carry.
  std::vector<std::uint32_t> order(kSaltCount);
  std::iota(order.begin(), order.end(), 0u);
  std::shuffle(order.begin(), order.end(), Generator());
  for (std::uint32_t choice : order) {
    std::optional<std::string> cipher = EncipherWithSalt(clear, SaltFromChoice(choice));
    if (cipher && (!accept || accept(*cipher))) return cipher;
  }
  return std::nullopt;
}

std::optional<std::string> Decipher(std::string_view cipher) {
  std::string_view salt = cipher.substr(0, std::min(cipher.size(), kSaltLength));
  std::string_view data = cipher.size() > kSaltLength ? cipher.substr(kSaltLength) : "";
  std::string full_key(kCipherKey);
  full_key += salt;
  return ApplyKeyStream(full_key, data);
}

bool IsStorableCipher(std::string_view cipher) {
  for (std::size_t n = kSaltLength; n < cipher.size(); ++n) {
    unsigned char c = static_cast<unsigned char>(cipher[n]);
    if (c == 0 || c == '\'') return false;
    if (c == 10 && n + 1 < cipher.size() && static_cast<unsigned char>(cipher[n + 1]) == 13) {
      return false;
    }
  }
  return true;
}

}  // namespace migprof::profiles
