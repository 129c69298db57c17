// UpdateMap100: clauses, re-derivation with the level rebuild, revision
// control through the configuration-management component.
#include <gtest/gtest.h>

#include "profiles/profile_messages.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

using Texts = std::vector<std::string>;

class ProfileUpdate : public ProfileTest {
 protected:
  // A1 <- B1 <- C1 on applications S/T; W1 <- X1 on S2/T2.
  void Chains() {
    ASSERT_TRUE(Create(1, "A1", "__").IsTrue());
    ASSERT_TRUE(Create(2, "B1", "A1_R_C").IsTrue());
    ASSERT_TRUE(Create(3, "C1", "B1_R_C").IsTrue());
    ASSERT_TRUE(Create(4, "W1", "__", "S2", "T2").IsTrue());
    ASSERT_TRUE(Create(5, "X1", "W1_R_C", "S2", "T2").IsTrue());
    config_->calls.clear();
  }
  Boolean Update(Integer mprf, const std::string& scme, const std::string& dvrc,
                 const std::string& dver = "", const std::string& vers = "B1") {
    return object_.UpdateMap100(mprf, "d2", scme, vers, "R", "C", "l2", dvrc, "alice", "path", dver,
                                "DR", "DC");
  }
  const Texts kSettings{"DatabaseName(" + db_.dsn() + ")", "DatabasePassword(" + db_.pwd() + ")",
                        "DatabaseServer()", "DatabaseUser(" + db_.uid() + ")"};
};

TEST_F(ProfileUpdate, NewParentStatementsAndRebuiltLevels) {
  Chains();
  ado::StatementLog log;
  ASSERT_TRUE(Update(2, "N", "X1_R_C").IsTrue());
  EXPECT_EQ(
      log.texts(),
      (Texts{"select * from qzmap100 where mprf=2",
             "select mprf from qzmap101 where pprf = 2",
             "select mprf from qzmap100 where vers='X1' and rele='R' and cust='C'",
             "select vers, rele, cust, sapp,tapp from qzmap100 where mprf=2",
             "select vers, rele, cust, sapp,tapp from qzmap100 where mprf=5",
             "select distinct extn from qzddi100 where appl='S' or appl='S2'",
             "select distinct extn from qzddi100 where appl='T' or appl='T2'",
             "update qzmap101 set  pprf=5, vers='X1',rele='R',cust='C' where mprf=2 and levl=2",
             "select deph from qzmap100 where  vers ='X1' and rele ='R' and cust ='C '",
             "update qzmap100 set dsca ='d2',scme = 'N', apln ='l2', verf='X1', relf='R', "
             "cusf='C', deph= 3 where mprf= 2",
             "select levl from qzmap101 where levl > 1 and pprf =2 and mprf =2",
             "select levl from qzmap101 where levl > 1 and pprf =2 and mprf =3",
             "delete from qzmap101 where mprf = 3 and levl > 2",
             "select * from qzmap101 where levl=2 and mprf = 2",
             "Select vers,rele,cust from qzmap100 where mprf = 5",
             "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( "
             "3,3,'X1','R','C',5)",
             "select * from qzmap101 where levl=2 and mprf = 5",
             "Select vers,rele,cust from qzmap100 where mprf = 4",
             "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( "
             "3,4,'W1','R','C',4)",
             "select * from qzmap101 where levl=2 and mprf = 4",
             "update qzmap100 set deph =4 where mprf= 3"}));
  // The updated profile's own level 2 is re-pointed, not extended.
  EXPECT_EQ(Levels(2), (Texts{"1 B1 2", "2 X1 5"}));
  EXPECT_EQ(Depth(2), "3");
  EXPECT_EQ(Levels(3), (Texts{"1 C1 3", "2 B1 2", "3 X1 5", "4 W1 4"}));
  EXPECT_EQ(Depth(3), "4");
  EXPECT_EQ(config_->calls, kSettings);
}

TEST_F(ProfileUpdate, NoParentAnyMore) {
  Chains();
  ASSERT_TRUE(Update(2, "N", "__").IsTrue());
  EXPECT_EQ(db_.Rows("select verf, relf, cusf, deph from qzmap100 where mprf = 2"),
            (std::vector<Texts>{{"", "", "", "1"}}));
  EXPECT_EQ(Levels(2), (Texts{"1 B1 2"}));
  EXPECT_EQ(Levels(3), (Texts{"1 C1 3", "2 B1 2"}));
  EXPECT_EQ(Depth(3), "2");
}

TEST_F(ProfileUpdate, UnchangedDerivationTouchesNoLevel) {
  Chains();
  ado::StatementLog log;
  ASSERT_TRUE(Update(1, "n", "__").IsTrue());
  EXPECT_EQ(log.texts(), (Texts{"select * from qzmap100 where mprf=1",
                                "update qzmap100 set dsca ='d2',scme = 'N', apln ='l2' where "
                                "mprf= 1"}));
  // A standard profile given a parent: no level-2 row to re-point, so the
  // rebuild finds no ancestor above it for its descendants either.
  ASSERT_TRUE(Update(4, "N", "C1_R_C").IsTrue());
  EXPECT_EQ(Levels(4), (Texts{"1 W1 4"}));
  EXPECT_EQ(db_.Value("select verf from qzmap100 where mprf = 4"), "C1");
  EXPECT_EQ(Depth(4), "4");
  EXPECT_EQ(Levels(5), (Texts{"1 X1 5", "2 W1 4"}));
  EXPECT_EQ(Depth(5), "2");
  // A profile made its own parent ends the rebuild at once.
  EXPECT_TRUE(Update(2, "N", "B1_R_C").IsTrue());
  EXPECT_EQ(Levels(2), (Texts{"1 B1 2", "2 B1 2"}));
}

TEST_F(ProfileUpdate, RefusedOrFailedDerivationChangesNothing) {
  Chains();
  Kind("S", "1");
  Kind("S2", "2");
  ado::StatementLog log;
  EXPECT_FALSE(Update(2, "N", "X1_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 101);
  EXPECT_EQ(object_.ErrDescription(), profiles::kSourceKindsDiffer);
  for (const auto& text : log.texts()) EXPECT_EQ(text.rfind("select", 0), 0u) << text;

  EXPECT_FALSE(Update(2, "N", "NONE_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kNoCurrentRecord);
  EXPECT_FALSE(Update(2, "N", "X1_R").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kSubscriptOutOfRange);
  EXPECT_EQ(Levels(2), (Texts{"1 B1 2", "2 A1 1"}));

  // A profile that does not exist: False and nothing recorded.
  EXPECT_FALSE(Update(99, "N", "__").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kSubscriptOutOfRange);
}

TEST_F(ProfileUpdate, RevisionControlSwitch) {
  Chains();
  // "y" against "N" switches on; only "N" exactly switches off.
  ASSERT_TRUE(Update(2, "y", "A1_R_C", "DV").IsTrue());
  EXPECT_EQ(db_.Rows("select mprf, vers, dver, drel, dcus from qzmap105"),
            (std::vector<Texts>{{"2", "B1", "DV", "DR", "DC"}}));
  EXPECT_EQ(db_.Value("select scme from qzmap100 where mprf = 2"), "Y");
  config_->calls.clear();
  ado::StatementLog log;
  ASSERT_TRUE(Update(2, "N", "A1_R_C").IsTrue());
  Texts expected = kSettings;
  expected.push_back("Global_Undo_Check_Out(alice,2,B1,R,C,path)");
  expected.push_back("Delete_Revisions(2,B1,R,C,alice,path)");
  EXPECT_EQ(config_->calls, expected);
  EXPECT_EQ(log.texts()[1], "delete from qzmap105 where mprf =2");
  EXPECT_EQ(db_.Count("qzmap105"), 0);
  EXPECT_EQ(db_.Value("select scme from qzmap100 where mprf = 2"), "N");

  config_->fail_undo = true;
  ASSERT_TRUE(Update(2, "Y", "A1_R_C").IsTrue());
  EXPECT_FALSE(Update(2, "N", "A1_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 1234);
  EXPECT_EQ(object_.ErrDescription(), "undo failed");
  EXPECT_EQ(db_.Count("qzmap105"), 1);
}

TEST_F(ProfileUpdate, DevelopmentVrcGoesThroughCheckOut) {
  Chains();
  ASSERT_TRUE(Update(2, "Y", "A1_R_C", "DV").IsTrue());
  config_->calls.clear();
  ASSERT_TRUE(Update(2, "Y", "A1_R_C", "DV").IsTrue());  // unchanged: no call
  EXPECT_EQ(config_->calls, kSettings);

  config_->calls.clear();
  ASSERT_TRUE(Update(2, "Y", "A1_R_C", "DV2").IsTrue());
  Texts expected = kSettings;
  for (const char* call : {"OpenConnection(open)", "Check_Check_Out(2)", "ErrDescription"}) {
    expected.push_back(call);
  }
  EXPECT_EQ(config_->calls, expected);
  EXPECT_EQ(db_.Value("select dver from qzmap105 where mprf = 2"), "DV2");
  EXPECT_EQ(object_.ErrDescription(), "component text");

  // Refused: the parent change of the same call stays, the rest does not.
  config_->check_answer = Variant(kFalse);
  config_->err_description = "checked out";
  EXPECT_FALSE(Update(2, "Y", "X1_R_C", "DV3").IsTrue());
  EXPECT_EQ(object_.ErrDescription(), "checked out");
  EXPECT_EQ(object_.ErrorNumber(), 0);
  EXPECT_EQ(db_.Value("select dver from qzmap105 where mprf = 2"), "DV2");
  EXPECT_EQ(db_.Value("select verf from qzmap100 where mprf = 2"), "A1");
  EXPECT_EQ(Levels(2), (Texts{"1 B1 2", "2 X1 5"}));
}

TEST_F(ProfileUpdate, ComponentThatCannotBeCreated) {
  Chains();
  ScopedObjectFactory none(kConfigMgtProgId, nullptr);
  EXPECT_FALSE(Update(2, "N", "A1_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kCannotCreateObject);
  EXPECT_EQ(object_.ErrDescription(), errtext::kCannotCreateObject);
}

}  // namespace
}  // namespace migprof::testing
