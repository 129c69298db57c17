// GetUserOwnerProfiles and GetOrvoOrLegacyProfiles.
#include <gtest/gtest.h>

#include "profiles/profile_messages.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

class ProfileQueries : public ProfileTest {
 protected:
  void Profile(int mprf, const std::string& sapp) {
    db_.Exec("insert into qzmap100 (mprf, sapp) values (" + std::to_string(mprf) + ", '" + sapp +
             "')");
  }
  void Owner(int mprf, const std::string& user) {
    db_.Exec("insert into qzusr110 (mprf, usrn) values (" + std::to_string(mprf) + ", cast('" +
             user + "' as varbinary))");
  }
};

TEST_F(ProfileQueries, UserOwnerProfilesHighestFirstOrFailure) {
  for (int mprf : {5, 17, 12, 8}) Profile(mprf, "S");
  for (int mprf : {5, 17, 12, 30}) Owner(mprf, "alice");  // 30 no longer exists
  Owner(8, "Alice");
  EXPECT_EQ(object_.GetUserOwnerProfiles("alice"), "17~12~5");
  EXPECT_EQ(object_.GetUserOwnerProfiles("Alice"), "8");
  EXPECT_EQ(object_.GetUserOwnerProfiles("nobody"), "0");
  EXPECT_EQ(object_.ErrDescription(), "");
  db_.Exec("drop table qzmap100");
  EXPECT_EQ(object_.GetUserOwnerProfiles("alice"), "0");
  EXPECT_EQ(object_.ErrDescription(), profiles::kQueryFailedText);
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(ProfileQueries, OrvoOrLegacyProfiles) {
  Kind("ORVO", "1");
  Kind("LEG", "0");
  Kind("ODD", "NULL");
  for (int mprf : {5, 7, 9}) Profile(mprf, "ORVO");
  Profile(3, "LEG");
  Profile(4, "ODD");
  Profile(6, "NOKIND");
  struct Case {
    const char* list;
    Boolean orvo;
    const char* result;
    bool queries;
  } cases[] = {
      {"5~7~9", kTrue, "9~7~5", true},
      {"5~~7", kTrue, "7~5", true},
      {"5~ 7 ", kTrue, " 7 ~5", true},  // items stay as given
      {"9~9", kTrue, "9~9", true},
      {"3~5~4~6~42", kTrue, "5", true},
      {"3~5~4~6~42", kFalse, "3", true},
      {"3~5", Boolean(1), "3", true},  // only -1 is True
      {"~", kTrue, "0", false},
      {"", kTrue, "0", false},
      {"5~7;delete from qzmap100", kTrue, "0", false},  // IsBlankPaddedInteger decides
  };
  for (const Case& c : cases) {
    ado::StatementLog log;
    EXPECT_EQ(object_.GetOrvoOrLegacyProfiles(c.list, c.orvo), c.result) << c.list;
    EXPECT_EQ(!log.texts().empty(), c.queries) << c.list;
  }
  EXPECT_EQ(db_.Count("qzmap100"), 6);
  EXPECT_EQ(object_.ErrDescription(), "");

  ado::StatementLog log;
  EXPECT_EQ(object_.GetOrvoOrLegacyProfiles("5", kTrue), "5");
  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{"select sapp from qzmap100 where mprf = 5",
                                      "select extn from qzddi100 where appl = 'ORVO'"}));
  // A kind that is no number fails the query: "0", nothing recorded.
  db_.Exec("update qzddi100 set extn = 'one' where appl = 'ORVO'");
  EXPECT_EQ(object_.GetOrvoOrLegacyProfiles("5", kTrue), "0");
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

}  // namespace
}  // namespace migprof::testing
