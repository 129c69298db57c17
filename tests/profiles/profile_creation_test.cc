// InsertInMap100: checks, refusal codes, rows written and partial states.
#include <gtest/gtest.h>

#include "profiles/profile_messages.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

class ProfileCreate : public ProfileTest {
 protected:
  void ExpectRefused(Boolean result, double code, const std::string& text) {
    EXPECT_FALSE(result.IsTrue());
    EXPECT_EQ(object_.ErrorNumber(), code);
    EXPECT_EQ(object_.ErrDescription(), text);
  }
};

TEST_F(ProfileCreate, StandardDerivedAndGrandDerivedLevels) {
  ASSERT_TRUE(Create(1, "A1", "__", "S", "T", "Y").IsTrue());
  ASSERT_TRUE(Create(2, "B1", "A1_R_C").IsTrue());
  ASSERT_TRUE(Create(3, "C1", "B1_R_C_ignored").IsTrue());
  ASSERT_TRUE(Create(4, "D1", "NO_R_C", "A", "B").IsTrue());  // a parent that does not exist
  EXPECT_EQ(db_.Rows("select deph, verf, relf, cusf, scme from qzmap100 order by mprf"),
            (std::vector<std::vector<std::string>>{{"1", "", "", "", "Y"},
                                                   {"2", "A1", "R", "C", "N"},
                                                   {"3", "B1", "R", "C", "N"},
                                                   {"0", "NO", "R", "C", "N"}}));
  EXPECT_EQ(Levels(1), (std::vector<std::string>{"1 A1 1"}));
  EXPECT_EQ(Levels(2), (std::vector<std::string>{"1 B1 2", "2 A1 1"}));
  EXPECT_EQ(Levels(3), (std::vector<std::string>{"1 C1 3", "2 B1 2", "3 A1 1"}));
  EXPECT_TRUE(Levels(4).empty());
  // Only "Y" writes the development VRC; left out, it is three empty texts.
  EXPECT_EQ(db_.Rows("select mprf, dver, drel, dcus from qzmap105"),
            (std::vector<std::vector<std::string>>{{"1", "", "", ""}}));
  EXPECT_EQ(db_.Count("qzusr110"), 4);
}

TEST_F(ProfileCreate, DerivedStatementTexts) {
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  ado::StatementLog log;
  ASSERT_TRUE(object_
                  .InsertInMap100(2, "d", "S", "T", "V2", "R", "C", "V1_R_C", "Y", "l", "bob", "DV",
                                  "DR", "DC")
                  .IsTrue());
  std::vector<std::string> texts = log.texts();
  ASSERT_EQ(texts.size(), 14u);
  const std::string insert_head =
      "insert into qzmap100(mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,apln) "
      "values(2,'S','T','V2','R','C','V1','R','C','d','Y',2,cast('";
  const std::string insert_tail = "' as varbinary),'l')";
  ASSERT_EQ(texts[8].rfind(insert_head, 0), 0u) << texts[8];
  ASSERT_TRUE(texts[8].ends_with(insert_tail)) << texts[8];
  texts[8] = "insert";  // the cipher varies; ProfileValidateUser deciphers the stored one
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "select extn from qzddi100 where appl = (select sapp from qzmap100 where vers = "
                "'V1' and rele = 'R' and cust = 'C')",
                "select extn from qzddi100 where appl = 'S'",
                "select extn from qzddi100 where appl = (select tapp from qzmap100 where vers = "
                "'V1' and rele = 'R' and cust = 'C')",
                "select extn from qzddi100 where appl = 'T'",
                "select sapp,tapp from qzmap100 where vers = 'V1' and rele = 'R' and cust = 'C'",
                "select mprf from qzmap100 where mprf =2",
                "select mprf from qzmap100 where vers = 'V2' and rele = 'R' and cust = 'C'",
                "select deph from qzmap100 where  vers ='V1' and rele ='R' and cust ='C '",
                "insert", "select * from qzmap101 where mprf = 2and levl = 1",
                "select * from qzmap100 where vers ='V1' and rele ='R' and cust ='C '",
                "select * from qzmap101 where mprf = 2and levl = 2",
                "insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) "
                "values(2,'V2','R','C','DV','DR','DC')",
                "insert into qzusr110(mprf,usrn) values (cast(2 as int),cast('bob' as "
                "varbinary))"}));
}

TEST_F(ProfileCreate, VersionRules) {
  ASSERT_TRUE(Create(1, "P1", "__").IsTrue());
  struct Case {
    const char* vers;
    const char* parent;
    const char* sapp;
    int code;  // 0: created
  } cases[] = {
      // One of each outcome; the version texts themselves are ProfileText's.
      {"12U", "P1_R_C", "S", 0}, {"1234", "P1_R_C", "S", 102}, {"u1", "P1_R_C", "S9", 103},
      {"X1", "P1_R_C", "S9", 0}, {"xU", "__", "S8", 106},      {"X2", "__", "S8", 0},
  };
  Integer mprf = 10;
  for (const Case& c : cases) {
    Boolean result = Create(++mprf, c.vers, c.parent, c.sapp, "T");
    EXPECT_EQ(result.IsTrue(), c.code == 0) << c.vers << " " << object_.ErrDescription();
    if (c.code) {
      EXPECT_EQ(object_.ErrorNumber(), c.code) << c.vers;
    }
  }
  EXPECT_EQ(object_.ErrDescription(), profiles::kUInStandardVersionText);
}

TEST_F(ProfileCreate, RefusalsAndTheirOrder) {
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  ExpectRefused(Create(2, "V2", "__"), 109,
                "Profile <B> 1[V1_R_C]  </B> already exists with same Source and Target "
                "Application.<LI>Profile should be derived from above profile to have Same "
                "Source and Target Application.");
  ExpectRefused(Create(1, "V1", "__", "S2", "T2"), 104, profiles::kNumberExistsText);
  ExpectRefused(Create(2, "V1", "__", "S2", "T2"), 105, profiles::kVrcExistsText);
  ado::StatementLog log;
  ExpectRefused(Create(2, "xU", "__", "S2", "T2", "N", std::string(128, 'o')), 108,
                profiles::kInvalidUserText);
  EXPECT_TRUE(log.texts().empty());
  EXPECT_TRUE(Create(2, "V2", "__", "S2", "T2", "N", std::string(127, 'o')).IsTrue());
}

TEST_F(ProfileCreate, ApplicationKinds) {
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  Kind("S", "1");
  Kind("T", "2");
  Kind("S2", "1");
  Kind("SX", "3");
  Kind("TX", "9");
  Kind("SN", "NULL");
  ExpectRefused(Create(2, "V2", "V1_R_C", "SX", "T"), 101, profiles::kSourceKindsDiffer);
  ExpectRefused(Create(2, "V2", "V1_R_C", "S2", "TX"), 101, profiles::kTargetKindsDiffer);
  EXPECT_TRUE(Create(2, "V2", "V1_R_C", "S2", "T").IsTrue());
  EXPECT_TRUE(Create(3, "V3", "V1_R_C", "SN", "T").IsTrue());  // a null kind never differs
  // A parent VRC that names no profile has no kind: any kind differs.
  ExpectRefused(Create(4, "V4", "NO_R_C", "S", "T"), 101, profiles::kSourceKindsDiffer);
}

// Both failures of the level rows take the new profile and its levels away
// again: an ancestor that cannot be looked up, a level row that exists.
TEST_F(ProfileCreate, LevelFailuresGive107) {
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  db_.Exec("update qzmap100 set verf = NULL where mprf = 1");
  EXPECT_FALSE(Create(2, "V2", "V1_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 107);
  EXPECT_EQ(object_.ErrDescription(), profiles::kLevelLookupFailedText);
  EXPECT_EQ(db_.Count("qzmap100"), 1);
  EXPECT_EQ(Levels(2).size(), 0u);

  db_.Exec("insert into qzmap101 (mprf, levl) values (5, 1)");
  db_.Exec("insert into qzmap101 (mprf, levl) values (5, 7)");
  EXPECT_FALSE(Create(5, "V5", "__", "S5", "T5").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 107);
  EXPECT_EQ(object_.ErrDescription(), profiles::kLevelExistsText);
  EXPECT_EQ(db_.Count("qzmap100"), 1);
  EXPECT_EQ(Levels(5).size(), 0u);
  EXPECT_EQ(db_.Count("qzusr110"), 1);
}

TEST_F(ProfileCreate, FailuresLeaveWhatWasWritten) {
  // Two pieces: a run-time failure before anything is written.
  EXPECT_FALSE(Create(1, "V1", "V0_R").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kSubscriptOutOfRange);
  EXPECT_EQ(db_.Count("qzmap100"), 0);

  // The depth lookup records its failure (a null depth is no number) and
  // the creation goes on with 0.
  ASSERT_TRUE(Create(1, "V1", "__").IsTrue());
  db_.Exec("update qzmap100 set deph = NULL where mprf = 1");
  EXPECT_TRUE(Create(2, "V2", "V1_R_C").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kTypeMismatch);
  EXPECT_EQ(Depth(2), "0");
  EXPECT_TRUE(Levels(2).empty());

  // The owner link fails last: the profile and its levels stay.
  db_.Exec("drop table qzusr110");
  EXPECT_FALSE(Create(3, "V3", "__", "S3", "T3").IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kErrorsInCommand);
  EXPECT_EQ(Levels(3), (std::vector<std::string>{"1 V3 3"}));
}

}  // namespace
}  // namespace migprof::testing
