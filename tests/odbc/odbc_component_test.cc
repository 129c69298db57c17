// The component's members on a real server: a transaction undone by a
// failing statement, and a connection the server kills in the middle of a
// member. (Objects on several threads: Concurrency, which runs here too.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "odbc/server_test.h"

namespace migprof {
namespace {

using testing::OdbcServerTest;

class OdbcComponent : public OdbcServerTest {
 protected:
  // Library function f of profile 5 in V/R/C, with two entries.
  void AddFunctionWithEntries() const {
    db_.Exec(
        "insert into qzlib100 (mprf, vers, rele, cust, fnam, stat) values (5, 'V', 'R', 'C', "
        "'f', 'N')");
    for (int i = 0; i < 2; ++i) {
      db_.Exec(
          "insert into qzlib105 (mprf, vers, rele, cust, fnam) values (5, 'V', 'R', 'C', 'f')");
    }
  }
};

// Runs its cleanup at the end of a test, whatever happened.
struct AtEnd {
  std::function<void()> cleanup;
  ~AtEnd() { cleanup(); }
};

TEST_F(OdbcComponent, FuncDeleteRollsBackWhenItsSecondDeleteFails) {
  MIGPROF_REQUIRE_MARIADB();
  AddFunctionWithEntries();
  const AtEnd drop_trigger{[&] {
    try {
      db_.Exec("drop trigger if exists migprof_test_refuse");
    } catch (const ComError&) {
    }
  }};
  db_.Exec(
      "create trigger migprof_test_refuse before delete on qzlib100 for each row signal sqlstate "
      "'45000' set message_text = 'refused by the test'");

  TOVRHandleMigProf object;
  db_.Configure(object);
  EXPECT_EQ(object.Func_Delete(5, "V", "R", "C", "f", ""), kFalse);
  EXPECT_EQ(object.ErrorNumber(), errc::kErrorsInCommand);
  EXPECT_NE(object.ErrDescription().find("refused by the test"), std::string::npos)
      << object.ErrDescription();
  // The entries deleted first are back.
  EXPECT_EQ(db_.Count("qzlib105"), 2);
  EXPECT_EQ(db_.Count("qzlib100"), 1);

  db_.Exec("drop trigger migprof_test_refuse");
  EXPECT_EQ(object.Func_Delete(5, "V", "R", "C", "f", ""), kTrue);
  EXPECT_EQ(db_.Count("qzlib105"), 0);
  EXPECT_EQ(db_.Count("qzlib100"), 0);
}

TEST_F(OdbcComponent, ConnectionKilledInsideFuncDeleteCommitsNothing) {
  MIGPROF_REQUIRE_MARIADB();
  AddFunctionWithEntries();
  // Another session holds the function's row, so the member's second delete
  // waits, after its first one ran inside the transaction.
  auto holder = Connect();
  holder->BeginTrans();
  holder->Execute("update qzlib100 set comt = 'held' where mprf = 5");

  TOVRHandleMigProf object;
  db_.Configure(object);
  Boolean result = kTrue;
  std::thread member([&] { result = object.Func_Delete(5, "V", "R", "C", "f", ""); });
  const long id = WaitForStatement("Delete from qzlib100");
  if (id != 0) Kill(id);
  member.join();
  holder->RollbackTrans();
  ASSERT_NE(id, 0) << "the member's delete never showed";

  EXPECT_EQ(result, kFalse);
  EXPECT_EQ(object.ErrorNumber(), errc::kProviderFailure) << object.ErrDescription();
  EXPECT_FALSE(object.ErrDescription().empty());
  EXPECT_EQ(db_.Count("qzlib105"), 2);
  EXPECT_EQ(db_.Count("qzlib100"), 1);
}

}  // namespace
}  // namespace migprof
