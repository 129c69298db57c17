#include "web/tokens.h"

#include <gtest/gtest.h>

#include <set>

namespace migprof::web {
namespace {

TEST(Tokens, AreRandomHexOfFixedLengthWithADistinctHash) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    std::string token = NewToken();
    ASSERT_EQ(token.size(), 64u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(HashToken(token), HashToken(token));
    EXPECT_NE(HashToken(token), token);
    seen.insert(token);
    seen.insert(HashToken(token));
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(Tokens, CsrfComparison) {
  const std::string token = NewToken();
  std::string changed = token;
  changed.back() = changed.back() == 'a' ? 'b' : 'a';
  struct {
    std::string expected, given;
    bool match;
  } cases[] = {
      {token, token, true}, {token, changed, false}, {token, token.substr(1), false},
      {token, "", false},   {"", "", false},  // a session without a token accepts nothing
  };
  for (const auto& c : cases) EXPECT_EQ(TokensEqual(c.expected, c.given), c.match) << c.given;
}

TEST(Passwords, HashVerifiesOnlyTheSamePassword) {
  std::string stored = HashPassword("correct horse");
  EXPECT_NE(stored.find("$argon2"), std::string::npos);
  EXPECT_TRUE(PasswordMatches(stored, "correct horse"));
  EXPECT_FALSE(PasswordMatches(stored, "correct horsE"));
  EXPECT_FALSE(PasswordMatches(stored, ""));
  EXPECT_NE(HashPassword("correct horse"), stored);  // salted
}

}  // namespace
}  // namespace migprof::web
