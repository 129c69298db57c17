// Func_Delete's transaction under a failure between its two deletes. The
// traces in tests/golden pin the member's statements and answers; the
// failure is injected through the embedded database's own API (the server
// suite has its own case, OdbcServer).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "testing/test_database.h"

namespace migprof::testing {
namespace {

class FuncLibDelete : public ComponentTest {
 protected:
  // Runs a statement in SQLite's own dialect on the database file.
  void ExecNative(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_.path().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  Boolean Delete() { return object_.Func_Delete(5, "V1", "R1", "C1", "calc", "anyone"); }
};

TEST_F(FuncLibDelete, FailureBetweenTheDeletesUndoesBoth) {
  if (!db_.embedded()) GTEST_SKIP() << "embedded database only";
  const std::string function =
      "(mprf, vers, rele, cust, fnam) values (5, 'V1', 'R1', 'C1', 'calc')";
  db_.Exec("insert into qzlib100 " + function);
  for (int i = 0; i < 2; ++i) db_.Exec("insert into qzlib105 " + function);
  ExecNative(
      "CREATE TRIGGER keep_functions BEFORE DELETE ON qzlib100 "
      "BEGIN SELECT RAISE(ABORT, 'function rows are locked'); END");

  EXPECT_EQ(Delete(), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), errc::kIntegrityViolation);
  EXPECT_EQ(object_.ErrDescription(), "function rows are locked");
  EXPECT_EQ(db_.Count("qzlib100"), 1);
  EXPECT_EQ(db_.Count("qzlib105"), 2);
  // Rolled back, not left open on the session connection: another
  // connection can write at once.
  auto writer = db_.Connect();
  writer->CommandTimeout(1);
  writer->Execute("delete qzlib105 where mprf = 6");

  ExecNative("DROP TRIGGER keep_functions");
  EXPECT_EQ(Delete(), kTrue);
  EXPECT_EQ(db_.Count("qzlib100") + db_.Count("qzlib105"), 0);
}

}  // namespace
}  // namespace migprof::testing
