#include <gtest/gtest.h>
#include <sqlite3.h>

#include "funclib/library_fixture.h"

namespace migprof::testing {
namespace {

const std::string kCondition =
    "where mprf = 5 AND  vers = 'V1' AND  rele = 'R1' AND  cust = 'C1' AND  fnam = 'calc'";

// Function "calc" of profile 5 in V1/R1/C1 with its entries, next to a
// function of another VRC that must survive.
class FuncLibDelete : public LibraryTest {
 protected:
  void AddFunction(const char* stat, int entries) {
    Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat",
           "5, 'V1', 'R1', 'C1', 'calc', " + Lit(stat));
    Insert("qzlib100", "mprf, vers, rele, cust, fnam", "5, 'V2', 'R1', 'C1', 'calc'");
    Insert("qzlib105", "mprf, vers, rele, cust, fnam", "5, 'V2', 'R1', 'C1', 'calc'");
    for (int i = 0; i < entries; ++i) {
      Insert("qzlib105", "mprf, vers, rele, cust, fnam", "5, 'V1', 'R1', 'C1', 'calc'");
    }
  }
  Boolean Delete() { return object_.Func_Delete(5, "V1", "R1", "C1", "calc", "anyone"); }
  // Runs a statement in SQLite's own dialect on the database file.
  void ExecNative(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_.path().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
};

TEST_F(FuncLibDelete, EntriesGoFirstAndOnlyWhenThereAreAny) {
  for (int entries : {0, 2}) {
    AddFunction("N", entries);
    ado::StatementLog log;
    ASSERT_EQ(Delete(), kTrue);
    Texts expected = {"Select stat from qzlib100 " + kCondition,
                      "Select count(*) from qzlib105 " + kCondition,
                      "Delete from qzlib100 " + kCondition};
    if (entries) expected.insert(expected.begin() + 2, "Delete from qzlib105 " + kCondition);
    EXPECT_EQ(log.texts(), expected);
    EXPECT_EQ(Statuses(5), (Table{{"V2", "NULL"}}));
    EXPECT_EQ(db_.Count("qzlib105"), 1);
    db_.Exec("delete qzlib100 where mprf = 5");
    db_.Exec("delete qzlib105 where mprf = 5");
  }
  EXPECT_EQ(Delete(), kTrue);  // nothing to delete
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(FuncLibDelete, OnlyStatusCapitalCBlocks) {
  for (const char* stat : {"C", "c", "X", static_cast<const char*>(nullptr)}) {
    AddFunction(stat, 1);
    bool blocked = stat && stat[0] == 'C';
    EXPECT_EQ(Delete(), Boolean::From(!blocked)) << Lit(stat);
    EXPECT_EQ(db_.Count("qzlib100"), blocked ? 2 : 1);
    EXPECT_EQ(db_.Count("qzlib105"), blocked ? 2 : 1);
    db_.Exec("delete qzlib100 where mprf = 5");
    db_.Exec("delete qzlib105 where mprf = 5");
  }
  EXPECT_EQ(object_.ErrDescription(), "Checked out function can not be deleted!");
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(FuncLibDelete, FailureBetweenTheDeletesUndoesBoth) {
  // The failure is injected through the embedded database's own API; the
  // server suite has its own case (OdbcServer).
  if (!db_.embedded()) GTEST_SKIP() << "embedded database only";
  AddFunction("N", 2);
  ExecNative(
      "CREATE TRIGGER keep_functions BEFORE DELETE ON qzlib100 "
      "BEGIN SELECT RAISE(ABORT, 'function rows are locked'); END");

  EXPECT_EQ(Delete(), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), errc::kIntegrityViolation);
  EXPECT_EQ(object_.ErrDescription(), "function rows are locked");
  EXPECT_EQ(db_.Count("qzlib100"), 2);
  EXPECT_EQ(db_.Count("qzlib105"), 3);
  // Rolled back, not left open on the session connection: another
  // connection can write at once.
  auto writer = db_.Connect();
  writer->CommandTimeout(1);
  writer->Execute("delete qzlib105 where vers = 'V2'");

  ExecNative("DROP TRIGGER keep_functions");
  EXPECT_EQ(Delete(), kTrue);
  EXPECT_EQ(db_.Count("qzlib105"), 0);
}

TEST_F(FuncLibDelete, DataSourceFailureIsRecorded) {
  object_.DatabaseName("");
  EXPECT_EQ(Delete(), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), errc::kProviderFailure);
  EXPECT_EQ(object_.ErrDescription(), errtext::kDataSourceNotFound);
}

}  // namespace
}  // namespace migprof::testing
