// ValidateDerivation: the kind rule between two existing profiles.
#include <gtest/gtest.h>

#include "profiles/profile_messages.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

class ProfileValidateDerivation : public ProfileTest {
 protected:
  void Profile(int mprf, const std::string& sapp, const std::string& tapp) {
    db_.Exec("insert into qzmap100 (mprf, vers, rele, cust, sapp, tapp) values (" +
             std::to_string(mprf) + ", 'V', 'R', 'C', '" + sapp + "', '" + tapp + "')");
  }
  int KindQueries(const ado::StatementLog& log) {
    int count = 0;
    for (const auto& text : log.texts()) count += text.find("qzddi100") != std::string::npos;
    return count;
  }
};

TEST_F(ProfileValidateDerivation, KindRuleOnSourceThenTarget) {
  Kind("S1", "1");
  Kind("S2", "1");
  Kind("S3", "2");
  Kind("T1", "0");
  Kind("T2", "5");
  Kind("M", "7");  // an application with two kinds
  Kind("M", "8");
  struct Case {
    const char* current_sapp;
    const char* current_tapp;
    const char* parent_sapp;
    const char* parent_tapp;
    bool valid;
    const char* message;
    int kind_queries;
  } cases[] = {
      {"S1", "T1", "S1", "T1", true, nullptr, 0},
      {"S1", "T1", "S2", "T1", true, nullptr, 1},      // one kind between them
      {"S1", "T1", "NoKind", "T1", true, nullptr, 1},  // one side without a kind
      {"S1", "T1", "S3", "T2", false, profiles::kSourceKindsDiffer, 1},
      {"S1", "T1", "S1", "T2", false, profiles::kTargetKindsDiffer, 1},
      {"S1", "T1", "M", "T1", true, nullptr, 1},   // three kinds pass
      {"s1", "T1", "S1", "T1", true, nullptr, 1},  // compared case-sensitively
  };
  for (const Case& c : cases) {
    db_.Exec("delete from qzmap100 where mprf > 0");
    Profile(1, c.current_sapp, c.current_tapp);
    Profile(2, c.parent_sapp, c.parent_tapp);
    TOVRHandleMigProf object;
    object.DatabaseName(db_.dsn());
    object.DatabaseUser(db_.uid());
    object.DatabasePassword(db_.pwd());
    Integer mprf = 1, pprf = 2;
    ado::StatementLog log;
    EXPECT_EQ(object.ValidateDerivation(mprf, pprf).IsTrue(), c.valid) << c.parent_sapp;
    EXPECT_EQ(object.ErrorNumber(), c.valid ? 0 : 101);
    EXPECT_EQ(object.ErrDescription(), c.message ? c.message : "");
    EXPECT_EQ(KindQueries(log), c.kind_queries) << c.parent_sapp << c.parent_tapp;
    EXPECT_EQ(mprf, 1);
    EXPECT_EQ(pprf, 2);
  }
}

}  // namespace
}  // namespace migprof::testing
