#include <gtest/gtest.h>

#include "funclib/library_fixture.h"

namespace migprof::testing {
namespace {

// Source profile 1 keeps its functions in its own VRC SV/SR/SC; the user's
// profile 2 works in UV/UR/UC.
class FuncLibCopy : public LibraryTest {
 protected:
  FuncLibCopy() { Insert("qzmap100", "mprf, vers, rele, cust", "1, 'SV', 'SR', 'SC'"); }
  void AddFunction(int mprf, const char* vers, const char* fnam, const char* stat) {
    Insert("qzlib100", "mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, comt, stat",
           std::to_string(mprf) + ", '" + vers + "', '" + (vers[0] == 'S' ? "SR" : "UR") + "', '" +
               (vers[0] == 'S' ? "SC" : "UC") + "', '" + fnam + "', 'd-" + vers +
               "', 'lu', '2003-04-05 06:07:08', 'f', 'c', " + Lit(stat));
  }
  Boolean Copy(const std::string& fnam) {
    return object_.Func_CopyToCurrentVRC(1, 2, "UV", "UR", "UC", fnam, "caller");
  }
};

TEST_F(FuncLibCopy, CopiesFromTheSourcesOwnVrcWithStatusNOrM) {
  const char* stats[] = {"N", "n", "C", "X", nullptr};
  const char* copied[] = {"N", "M", "M", "M", "M"};
  AddFunction(1, "UV", "f0", "N");  // same name in the caller's VRC: not the source
  for (int i = 0; i < 5; ++i) AddFunction(1, "SV", ("f" + std::to_string(i)).c_str(), stats[i]);
  ado::StatementLog log;

  for (int i = 0; i < 5; ++i) EXPECT_EQ(Copy("f" + std::to_string(i)), kTrue);

  EXPECT_EQ(Texts(log.texts().begin(), log.texts().begin() + 4),
            (Texts{"Select * from qzlib100 where mprf = 2 AND  vers = 'UV' AND  rele = 'UR' AND  "
                   "cust = 'UC' AND  fnam = 'f0'",
                   "Select * from qzmap100 where mprf = 1",
                   "Select * from qzlib100 where mprf = 1 AND  vers = 'SV' AND  rele = 'SR' AND  "
                   "cust = 'SC' AND  fnam = 'f0'",
                   "Select * from qzlib100"}));
  Table rows = db_.Rows("select * from qzlib100 where mprf = 2 order by fnam");
  ASSERT_EQ(rows.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(rows[i], (Texts{"2", "UV", "UR", "UC", "f" + std::to_string(i), "d-SV", "lu",
                              "2003-04-05 06:07:08", "f", "c", copied[i], "NULL"}));
  }
}

TEST_F(FuncLibCopy, ExistingFunctionInUsersVrc) {
  const char* kEarlier = "Migration Profile does not exist.Operation cancelled !";
  struct Case {
    std::vector<const char*> existing;
    Boolean result;
    const char* description;
  } cases[] = {
      {{"N"}, kFalse, "Function already exist in users VRC"},
      {{"C"}, kFalse, "Function already exist in users VRC"},
      {{"C", "N"}, kFalse, "Function is in checked out status.Can't copy to current VRC!"},
      {{"N", "C"}, kTrue, kEarlier},
      {{nullptr, "C", "C"}, kTrue, kEarlier},
  };
  AddFunction(1, "SV", "f", "N");
  for (const Case& c : cases) {
    db_.Exec("delete qzlib100 where mprf = 2");
    for (const char* stat : c.existing) AddFunction(2, "UV", "f", stat);
    ASSERT_EQ(object_.Func_Expire(99, "", "", "", "", "", kTrue), kFalse);  // sets kEarlier

    EXPECT_EQ(Copy("f"), c.result);
    EXPECT_EQ(object_.ErrDescription(), c.description);
    EXPECT_EQ(db_.Count("qzlib100"), 1 + static_cast<long>(c.existing.size()));
  }
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(FuncLibCopy, MissingSourceProfileCopiesNothingMissingFunctionRaises) {
  AddFunction(3, "SV", "f", "N");
  EXPECT_EQ(object_.Func_CopyToCurrentVRC(3, 2, "UV", "UR", "UC", "f", ""), kTrue);
  EXPECT_EQ(db_.Count("qzlib100"), 1);

  // Profile 1 has no function "f".
  EXPECT_EQ(RaisedBy([&] { Copy("f"); }).number(), errc::kNoCurrentRecord);
  EXPECT_EQ(db_.Count("qzlib100"), 1);
  EXPECT_EQ(object_.ErrDescription(), "");
}

}  // namespace
}  // namespace migprof::testing
