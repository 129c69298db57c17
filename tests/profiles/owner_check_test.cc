// ValidateUser and the owner cipher text that creation stores.
#include <gtest/gtest.h>

#include "component/text/cp1252.h"
#include "profiles/owner_cipher.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

class ProfileValidateUser : public ProfileTest {};

TEST_F(ProfileValidateUser, ComparesTheDecipheredOwnerExactly) {
  const std::string long_owner = "abcdefghijklmnopqrstuvwxyz";
  ASSERT_TRUE(Create(1, "V1", "__", "S", "T", "N", "alice").IsTrue());
  ASSERT_TRUE(Create(2, "V2", "__", "S2", "T2", "N", "a\xe5\x90\x8d").IsTrue());
  ASSERT_TRUE(Create(3, "V3", "__", "S3", "T3", "N", long_owner).IsTrue());
  EXPECT_TRUE(object_.ValidateUser("alice", "1").IsTrue());
  EXPECT_TRUE(object_.ValidateUser("alice", " 1 ").IsTrue());
  EXPECT_FALSE(object_.ValidateUser("Alice", "1").IsTrue());
  EXPECT_FALSE(object_.ValidateUser("alice ", "1").IsTrue());
  // No profile: the owner is "".
  EXPECT_TRUE(object_.ValidateUser("", "99").IsTrue());
  EXPECT_FALSE(object_.ValidateUser("alice", "99").IsTrue());
  // Characters outside the code page were stored as question marks.
  EXPECT_FALSE(object_.ValidateUser("a\xe5\x90\x8d", "2").IsTrue());
  EXPECT_TRUE(object_.ValidateUser("a?", "2").IsTrue());
  // The unsized cast cuts long owners.
  EXPECT_FALSE(object_.ValidateUser(long_owner, "3").IsTrue());
  EXPECT_TRUE(object_.ValidateUser(long_owner.substr(0, 20), "3").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(ProfileValidateUser, StoredCipherHasTheFormatAndDeciphers) {
  ASSERT_TRUE(Create(1, "V1", "__", "S", "T", "N", "J\xc3\xa9r\xc3\xb4me").IsTrue());
  std::string hex = db_.Value("select ownr from qzmap100 where mprf = 1");
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  ASSERT_EQ(bytes.size(), 10u + 6u);
  EXPECT_EQ(profiles::Decipher(bytes), "J\xe9r\xf4me");  // Windows-1252 codes
  EXPECT_EQ(bytes.find('\''), std::string::npos);
  EXPECT_EQ(db_.Value("select cast(usrn as varchar) from qzusr110 where mprf = 1"),
            "J\xc3\xa9r\xc3\xb4me");
}

TEST_F(ProfileValidateUser, RefusesANumberTextBeforeAnyQuery) {
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  for (const char* text : {"1 or 1=1", "", "1;delete from qzmap100", "x"}) {
    ado::StatementLog log;
    EXPECT_FALSE(object_.ValidateUser("", text).IsTrue()) << text;
    EXPECT_EQ(object_.ErrorNumber(), errc::kErrorsInCommand);
    EXPECT_TRUE(log.texts().empty());
  }
  EXPECT_EQ(db_.Count("qzmap100"), 1);
}

TEST_F(ProfileValidateUser, RecordsFailures) {
  db_.Exec("insert into qzmap100 (mprf) values (7)");
  EXPECT_FALSE(object_.ValidateUser("", "7").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kTypeMismatch);  // ownr is NULL
  object_.DatabaseName("sqlite:/nonexistent/dir/x.db");
  EXPECT_FALSE(object_.ValidateUser("", "7").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kProviderFailure);
}

}  // namespace
}  // namespace migprof::testing
