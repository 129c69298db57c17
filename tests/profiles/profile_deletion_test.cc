// DeleteMap100: the statement list, the parent refusal, partial deletion.
#include <gtest/gtest.h>

#include "profiles/profile_messages.h"
#include "profiles/profile_support.h"

namespace migprof::testing {
namespace {

using Texts = std::vector<std::string>;

const char* const kMprfTables[] = {
    "qzmap101", "qzmap105", "qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140",
    "qzmap145", "qzmap160", "qzmap165", "qzmap170", "qzmap175", "qzusr110", "qzlib100", "qzlib105"};

class ProfileDelete : public ProfileTest {
 protected:
  void FillUnder(int mprf) {
    for (const char* table : kMprfTables) {
      db_.Exec(std::string("insert into ") + table + " (mprf) values (" + std::to_string(mprf) +
               ")");
    }
  }
  long Rows(int mprf) {
    long count = 0;
    for (const char* table : kMprfTables) {
      count += std::stol(db_.Value(std::string("select count(*) from ") + table +
                                   " where mprf = " + std::to_string(mprf)));
    }
    return count + std::stol(db_.Value("select count(*) from qzmap100 where mprf = " +
                                       std::to_string(mprf)));
  }
};

TEST_F(ProfileDelete, ParentRefusedThenChildGoesInOrder) {
  ASSERT_TRUE(Create(1, "A1", "__").IsTrue());
  ASSERT_TRUE(Create(2, "B1", "A1_R_C").IsTrue());
  FillUnder(1);
  FillUnder(2);
  EXPECT_FALSE(object_.DeleteMap100(1).IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 2);
  EXPECT_EQ(object_.ErrDescription(), profiles::kIsParentProfileText);
  EXPECT_EQ(Rows(1), 19);  // its own rows, its level row and owner link included
  db_.Exec("insert into qzusr100 (usrn, defa) values ('u1', 2)");
  db_.Exec("insert into qzusr100 (usrn, defa) values ('u2', 1)");
  ado::StatementLog log;
  ASSERT_TRUE(object_.DeleteMap100(2).IsTrue());
  Texts expected{
      "select vers,rele,cust from qzmap100 where mprf = 2",
      "select mprf,deph,verf,relf,cusf from qzmap100 where verf = 'B1' and relf='R' and cusf= "
      "'C'"};
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160", "qzmap110", "qzmap125",
                            "qzmap135", "qzmap145", "qzmap165", "qzmap170", "qzmap175"}) {
    expected.push_back(std::string("delete from ") + table + " where mprf=2");
  }
  expected.push_back("delete from qzusr110 where mprf=cast(2 as varbinary)");
  for (const char* table : {"qzmap101", "qzmap100", "qzmap105", "qzlib100", "qzlib105"}) {
    expected.push_back(std::string("delete from ") + table + " where mprf=2");
  }
  expected.push_back(
      "update qzusr100 set defa = cast(0 as int) where defa =  cast( 2 as varbinary)");
  EXPECT_EQ(log.texts(), expected);
  EXPECT_EQ(Rows(2), 0);
  EXPECT_EQ(Rows(1), 19);
  EXPECT_EQ(object_.ErrorNumber(), 2);  // the refusal outlives the success
  EXPECT_EQ(db_.Rows("select usrn, defa from qzusr100 order by usrn"),
            (std::vector<Texts>{{"u1", "0"}, {"u2", "1"}}));
}

TEST_F(ProfileDelete, UnknownNumberLooksForStandardProfiles) {
  EXPECT_TRUE(object_.DeleteMap100(9).IsTrue());
  ASSERT_TRUE(Create(1, "A1", "__").IsTrue());
  EXPECT_FALSE(object_.DeleteMap100(9).IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), 2);
}

TEST_F(ProfileDelete, FailureHalfwayLeavesTheRest) {
  ASSERT_TRUE(Create(1, "A1", "__").IsTrue());
  FillUnder(1);
  db_.Exec("drop table qzmap145");
  EXPECT_FALSE(object_.DeleteMap100(1).IsTrue());
  EXPECT_EQ(object_.ErrorNumber(), errc::kErrorsInCommand);
  EXPECT_EQ(db_.Count("qzmap120"), 0);
  EXPECT_EQ(db_.Count("qzmap135"), 0);
  EXPECT_EQ(db_.Count("qzmap165"), 1);
  EXPECT_EQ(db_.Count("qzmap100"), 1);
}

}  // namespace
}  // namespace migprof::testing
