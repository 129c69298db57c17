#include "app/secrets.h"

#include <sodium.h>

#include <algorithm>
#include <semaphore>
#include <stdexcept>
#include <thread>
#include <vector>

namespace migprof::app {
namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
  std::vector<char> text(size * 2 + 1);
  sodium_bin2hex(text.data(), text.size(), bytes, size);
  return std::string(text.data(), size * 2);
}

// A password hash takes 64 MiB for a tenth of a second: computed for every
// sign-in at once, a burst of them would take gigabytes. At most one per
// core runs at a time; the others wait their turn.
std::counting_semaphore<>& HashSlots() {
  static std::counting_semaphore<> slots(
      static_cast<std::ptrdiff_t>(std::max(2u, std::thread::hardware_concurrency())));
  return slots;
}

class HashSlot {
 public:
  HashSlot() { HashSlots().acquire(); }
  ~HashSlot() { HashSlots().release(); }
  HashSlot(const HashSlot&) = delete;
  HashSlot& operator=(const HashSlot&) = delete;
};

}  // namespace

void InitSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
}

std::string NewToken() {
  InitSodium();
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  return Hex(bytes, sizeof bytes);
}

std::string HashToken(std::string_view token) {
  InitSodium();
  unsigned char digest[32];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(token.data()),
                     token.size(), nullptr, 0);
  return Hex(digest, sizeof digest);
}

bool TokensEqual(std::string_view expected, std::string_view given) {
  if (expected.empty() || expected.size() != given.size()) return false;
  return sodium_memcmp(expected.data(), given.data(), expected.size()) == 0;
}

std::string HashPassword(std::string_view password) {
  InitSodium();
  char stored[crypto_pwhash_STRBYTES];
  HashSlot slot;
  if (crypto_pwhash_str(stored, password.data(), password.size(),
                        crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw std::runtime_error("not enough memory to hash the password");
  }
  return stored;
}

bool PasswordMatches(const std::string& stored_hash, std::string_view password) {
  InitSodium();
  HashSlot slot;
  return crypto_pwhash_str_verify(stored_hash.c_str(), password.data(), password.size()) == 0;
}

bool PasswordMatchesNoAccount(std::string_view password) {
  // A hash made once with the same limits as the stored ones, so that the
  // check takes as long as for an account.
  static const std::string dummy = HashPassword(NewToken());
  PasswordMatches(dummy, password);
  return false;
}

}  // namespace migprof::app
