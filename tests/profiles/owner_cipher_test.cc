// The owner cipher as a stored format, and the text rules of the profile
// members.
#include "profiles/owner_cipher.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "profiles/profile_text.h"

namespace migprof::profiles {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Worked out by hand from the algorithm (salt choice bit k-1 adds 1 to salt
// character k). A change here means stored owners no longer decipher.
TEST(ProfileCipher, FixedVectors) {
  struct Case {
    std::string clear;
    std::uint32_t choice;
    std::string hex;
  } cases[] = {
      {"", 0, "0102030405060708090a"},
      {"alice", 0, "0102030405060708090a4a9dd4d08c"},
      {"alice", 1023, "02030405060708090a0b3f51ab3d41"},
      {"Administrator", 0x2AA, "0103030505070709090b52f3fa56c1c79fe99558c54faa"},
      {"J\xe9r\xf4me", 0x155, "02020404060608080a0aa7f178c27642"},
      {std::string(20, 'x'), 5, "0202040405060708090a756a63d2f18dcb49945b642bcedf4fcf6db8c4c2"},
  };
  for (const Case& c : cases) {
    std::optional<std::string> cipher = EncipherWithSalt(c.clear, SaltFromChoice(c.choice));
    ASSERT_TRUE(cipher) << c.clear;
    EXPECT_EQ(Hex(*cipher), c.hex) << c.clear;
    EXPECT_EQ(Decipher(*cipher), c.clear);
  }
}

TEST(ProfileCipher, RoundTripsEveryLengthWithWellFormedVaryingSalt) {
  std::string clear;
  std::set<std::string> salts;
  for (std::size_t length = 0; length <= kMaxClearLength; ++length) {
    std::optional<std::string> first = Encipher(clear);
    std::optional<std::string> second = Encipher(clear);
    ASSERT_TRUE(first && second) << length;
    ASSERT_EQ(first->size(), kSaltLength + length);
    for (std::size_t k = 1; k <= kSaltLength; ++k) {
      int code = static_cast<unsigned char>((*first)[k - 1]);
      ASSERT_TRUE(code == static_cast<int>(k) || code == static_cast<int>(k) + 1) << k;
    }
    EXPECT_EQ(Decipher(*first), clear);
    EXPECT_EQ(Decipher(*second), clear);
    if (length < 40) salts.insert(first->substr(0, kSaltLength));
    clear += static_cast<char>(' ' + (length * 37) % 220);
  }
  EXPECT_GT(salts.size(), 20u);
}

TEST(ProfileCipher, StreamOverflowAndShortTexts) {
  // Salt 0 overflows its b index at the 48th character, whatever the data.
  EXPECT_TRUE(EncipherWithSalt(std::string(47, 'a'), SaltFromChoice(0)));
  EXPECT_FALSE(EncipherWithSalt(std::string(48, 'a'), SaltFromChoice(0)));
  EXPECT_FALSE(EncipherWithSalt(std::string(48, 'z'), SaltFromChoice(0)));
  // The a index overflows at the 128th character under every salt.
  EXPECT_FALSE(Encipher(std::string(kMaxClearLength + 1, 'a')));
  EXPECT_FALSE(Decipher(std::string(kSaltLength + kMaxClearLength + 1, 'a')));
  // Texts no longer than a salt decipher to nothing.
  EXPECT_EQ(Decipher(""), "");
  EXPECT_EQ(Decipher("\x01\x02\x03"), "");
  EXPECT_EQ(Decipher(SaltFromChoice(77)), "");
}

TEST(ProfileCipher, StorableCiphers) {
  const std::string salt = SaltFromChoice(0);
  struct Case {
    std::string data;
    bool storable;
  } cases[] = {
      {"abc", true},    {std::string("a\0c", 3), false},
      {"a'c", false},   {"a\n\rc", false},
      {"a\r\nc", true}, {"abc\n", true},
      {"\n", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsStorableCipher(salt + c.data), c.storable) << Hex(c.data);
  // The salt is not examined, not even its last character before the data.
  EXPECT_TRUE(IsStorableCipher(std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a") + "\r"));
}

TEST(ProfileCipher, EncipherHonoursAcceptAndEnds) {
  for (int i = 0; i < 20; ++i) {
    std::optional<std::string> cipher = Encipher(std::string(100, 'q'), &IsStorableCipher);
    ASSERT_TRUE(cipher);
    EXPECT_TRUE(IsStorableCipher(*cipher));
  }
  EXPECT_FALSE(Encipher("abc", [](std::string_view) { return false; }));
}

TEST(ProfileText, VersionRules) {
  struct Case {
    const char* version;
    bool holds_u;
    bool passes_position;
  } cases[] = {
      {"", false, true},     {"U", true, true},      {"12", false, true},
      {"12U", true, true},   {"12u", true, true},    {"1U2", true, false},
      {"123", false, false}, {"123U", true, true},   {"1234", false, false},
      {"U234", true, false}, {"12345", false, true}, {"\xc3\x89\xc3\x89U", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HoldsU(c.version), c.holds_u) << c.version;
    EXPECT_EQ(PassesUPositionRule(c.version), c.passes_position) << c.version;
  }
}

TEST(ProfileText, NumbersThatMayGoUnquoted) {
  for (const char* text : {"5", " 5", "5 ", "  -12  ", "+3", "007", "10.0", ".5", "5.", "1e3",
                           "2.5E-1", "-1.e+2", "1e308", "12345678901234567890123456789012345678",
                           "0000012345678901234567890123456789012345678"}) {
    EXPECT_TRUE(IsNumericLiteral(text)) << text;
  }
  for (const char* text :
       {"", " ", "-", ".", "5 5", "5;", "1 or 1=1", "0x10", "\t5", "5)", "1e", "e3", "1e3.5",
        "1.2.3", "$5", "- 5", "1e309", "123456789012345678901234567890123456789", "1,5"}) {
    EXPECT_FALSE(IsNumericLiteral(text)) << text;
  }
}

}  // namespace
}  // namespace migprof::profiles
