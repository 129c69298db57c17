#include <gtest/gtest.h>

#include "funclib/library_fixture.h"

namespace migprof::testing {
namespace {

// Profile 10 has own VRC V1/R1/C1 and development VRC DV/DR/DC; its function
// "calc" exists in both, alice holding the development copy.
class FuncLibExpire : public LibraryTest {
 protected:
  void AddProfile(const char* scme) {
    Insert("qzmap100", "mprf, vers, rele, cust, scme", "10, 'V1', 'R1', 'C1', " + Lit(scme));
    Insert("qzmap105", "mprf, vers, rele, cust, dver, drel, dcus",
           "10, 'V1', 'R1', 'C1', 'DV', 'DR', 'DC'");
    Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat, curn",
           "10, 'V1', 'R1', 'C1', 'calc', 'N', 'bob'");
    Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat, curn",
           "10, 'DV', 'DR', 'DC', 'calc', 'C', 'alice'");
  }
  Boolean Expire(const char* user, Boolean flag, const char* fnam = "calc") {
    return object_.Func_Expire(10, "V1", "R1", "C1", fnam, user, flag);
  }
};

TEST_F(FuncLibExpire, UnderRevisionControlTheHolderChangesTheDevelopmentVrc) {
  AddProfile("Y");
  ado::StatementLog log;
  ASSERT_EQ(Expire("alice", kTrue), kTrue);  // the caller's own VRC is ignored
  EXPECT_EQ(log.texts(),
            (Texts{" Select scme from qzmap100 where mprf = 10",
                   "Select vers,rele,cust,scme from qzmap100 where mprf = 10",
                   "Select dver,drel,dcus from qzmap105 where mprf = 10 AND vers='V1' AND "
                   "rele='R1' AND cust='C1'",
                   "Select * from qzlib100  where mprf = 10 AND  vers = 'DV' AND  rele = 'DR' "
                   "AND  cust = 'DC' AND  fnam = 'calc'",
                   "Update qzlib100 set stat = 'X' where mprf = 10 AND  vers = 'DV' AND  rele = "
                   "'DR' AND  cust = 'DC' AND  fnam = 'calc'"}));
  EXPECT_EQ(Statuses(10), (Table{{"V1", "N"}, {"DV", "X"}}));

  ASSERT_EQ(Expire("alice", kFalse), kTrue);  // reinstated: checked out again
  EXPECT_EQ(Statuses(10), (Table{{"V1", "N"}, {"DV", "C"}}));
  ASSERT_EQ(Expire("alice", Boolean(1)), kTrue);  // any nonzero flag expires
  EXPECT_EQ(Statuses(10), (Table{{"V1", "N"}, {"DV", "X"}}));
  EXPECT_EQ(object_.ErrDescription(), "");

  // Only the holder of the check-out may change it.
  struct Case {
    const char* curn;
    const char* user;
    bool allowed;
  } cases[] = {{"alice", "Alice", false}, {"alice", "", false}, {nullptr, "bob", true}};
  for (const Case& c : cases) {
    db_.Exec("update qzlib100 set stat = 'C', curn = " + Lit(c.curn) + " where vers = 'DV'");
    EXPECT_EQ(Expire(c.user, kTrue), Boolean::From(c.allowed)) << c.user;
    EXPECT_EQ(Statuses(10)[1][1], c.allowed ? "X" : "C");
  }
  EXPECT_EQ(object_.ErrDescription(),
            "Function checked out by another user.So Can't change expire status!");
}

TEST_F(FuncLibExpire, OtherFlagsUseTheGivenVrcForAnyone) {
  for (const char* scme : {"N", "y", "Y ", static_cast<const char*>(nullptr)}) {
    db_.Exec("delete qzmap100 where mprf = 10");
    db_.Exec("delete qzlib100 where mprf = 10");
    AddProfile(scme);
    ASSERT_EQ(Expire("carol", kTrue), kTrue) << Lit(scme);
    EXPECT_EQ(Statuses(10), (Table{{"V1", "X"}, {"DV", "C"}}));
    ASSERT_EQ(Expire("carol", kFalse), kTrue);
    EXPECT_EQ(Statuses(10), (Table{{"V1", "M"}, {"DV", "C"}}));
  }
}

TEST_F(FuncLibExpire, RefusalsAndRaisedFailures) {
  EXPECT_EQ(Expire("alice", kTrue), kFalse);
  EXPECT_EQ(object_.ErrDescription(), "Migration Profile does not exist.Operation cancelled !");
  AddProfile("N");
  EXPECT_EQ(Expire("alice", kTrue, "other"), kFalse);
  EXPECT_EQ(object_.ErrDescription(), "Profile Does Not Exist");
  db_.Exec("update qzmap100 set scme = 'Y'");
  EXPECT_EQ(Expire("alice", kTrue, "other"), kFalse);
  EXPECT_EQ(object_.ErrDescription(), "No Checkout information present");
  // The development VRC is found by the profile's trimmed VRC.
  db_.Exec("update qzmap105 set vers = '  V1'");
  EXPECT_EQ(Expire("alice", kTrue), kFalse);
  EXPECT_EQ(object_.ErrDescription(), "Developement VRC does not exist !");
  db_.Exec("update qzmap100 set vers = '  V1 '");
  db_.Exec("update qzmap105 set vers = 'V1', dver = NULL, dcus = NULL");
  EXPECT_EQ(Statuses(10), (Table{{"V1", "N"}, {"DV", "C"}}));
  EXPECT_EQ(object_.ErrorNumber(), 0);

  // A null development customer cannot be taken as text.
  EXPECT_EQ(RaisedBy([&] { Expire("alice", kTrue); }).number(), errc::kTypeMismatch);
  // A null development version is empty text.
  db_.Exec("update qzmap105 set dcus = 'DC'");
  db_.Exec("update qzlib100 set vers = '' where vers = 'DV'");
  EXPECT_EQ(Expire("alice", kTrue), kTrue);
  EXPECT_EQ(Statuses(10), (Table{{"V1", "N"}, {"", "X"}}));
  EXPECT_EQ(object_.ErrDescription(), "Developement VRC does not exist !");
}

}  // namespace
}  // namespace migprof::testing
