// Random tokens and their stored form: session ids and CSRF tokens come from
// libsodium's generator; only a hash of a session id is ever stored.
#ifndef MIGPROF_APP_SECRETS_H_
#define MIGPROF_APP_SECRETS_H_

#include <string>
#include <string_view>

namespace migprof::app {

// Initialises libsodium once; raises std::runtime_error when it cannot.
void InitSodium();

// 32 random bytes as 64 lower-case hex digits.
std::string NewToken();

// The BLAKE2b hash (32 bytes, hex) of token: what the session table keeps.
std::string HashToken(std::string_view token);

// True when given equals expected, compared in time independent of where
// they differ; an empty expected token never matches.
bool TokensEqual(std::string_view expected, std::string_view given);

// A password hash for storage (crypto_pwhash_str, interactive limits).
std::string HashPassword(std::string_view password);
// True when password matches the stored hash. Hashing and checking are
// bounded to one per core at a time (each takes 64 MiB); callers beyond
// wait.
bool PasswordMatches(const std::string& stored_hash, std::string_view password);
// For a name without an account: spends the time of a check against a
// stored hash, so that the answer does not tell which names exist; false.
bool PasswordMatchesNoAccount(std::string_view password);

}  // namespace migprof::app

#endif  // MIGPROF_APP_SECRETS_H_
