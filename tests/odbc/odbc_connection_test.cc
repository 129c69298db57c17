// The data-access layer over an ODBC data source: connecting, values,
// recordset row changes, transactions, timeouts and lost connections.
#include <gtest/gtest.h>

#include <algorithm>

#include "odbc/server_test.h"

namespace migprof {
namespace {

using testing::OdbcServerTest;
using testing::RaisedBy;
using Rows = std::vector<std::vector<std::string>>;

ComError OpenFails(const std::string& connection_string) {
  return RaisedBy([&] { ado::Connection::Create()->Open(connection_string); });
}

TEST(OdbcConnection, UnknownDataSourceIsTheDriverManagersError) {
  for (const char* text : {"DSN=migprof_no_such_dsn;uid=u;pwd=p;", "DSN=;uid=;pwd=;"}) {
    const ComError error = OpenFails(text);
    EXPECT_EQ(error.number(), errc::kProviderFailure) << text;
    EXPECT_EQ(error.description(), errtext::kDataSourceNotFound) << text;
  }
}

TEST_F(OdbcServerTest, WrongPasswordIsRefusedWithTheDriversError) {
  const ComError error =
      OpenFails("DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() + "x;");
  EXPECT_EQ(error.number(), errc::kProviderFailure);
  const bool drivers_text = error.description().find("Access denied") != std::string::npos ||
                            error.description().find("Login failed") != std::string::npos;
  EXPECT_TRUE(drivers_text) << error.description();
  // The right password still works.
  EXPECT_EQ(Connect()->State(), ado::adStateOpen);
}

TEST_F(OdbcServerTest, ValuesRoundTripWithTheirTypes) {
  const std::string accented = "Zo\xC3\xAB \xE2\x82\xAC \xC3\xA9\xC3\xA8\xC3\xA0 fin";  // Zoë € éèà
  std::string long_text;
  for (int i = 0; i < 500; ++i) long_text += "it's a \\back\\slash line " + std::to_string(i);
  Binary bytes;
  for (int b = 0; b < 255; ++b) bytes.push_back(static_cast<std::uint8_t>(b));
  const DateTime stamp{2024, 2, 29, 23, 59, 58};

  auto insert = ado::Recordset::Create();
  insert->Open("select * from qzlib100", Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
  insert->AddNew();
  insert->Fields()["mprf"].Value(Integer{-32768});
  insert->Fields()["vers"].Value(accented);
  insert->Fields()["fdef"].Value(long_text);
  insert->Fields()["ldat"].Value(stamp);
  insert->Fields()["comt"].Value(String());
  insert->Fields()["stat"].Value(Variant::Null());
  insert->Update();
  auto binary = ado::Recordset::Create();
  binary->Open("select * from qzusr110", Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
  binary->AddNew();
  binary->Fields()["mprf"].Value(Integer{1});
  binary->Fields()["usrn"].Value(bytes);
  binary->Update();

  auto rs = Connect()->Execute("select mprf, vers, fdef, ldat, comt, stat from qzlib100");
  ado::Fields row = rs->Fields();
  EXPECT_EQ(row["mprf"].Value(), Variant(Long{-32768}));
  EXPECT_EQ(row["vers"].Value(), Variant(accented));
  EXPECT_EQ(row["fdef"].Value(), Variant(long_text));
  EXPECT_EQ(row["ldat"].Value(), Variant(stamp));
  EXPECT_EQ(row["comt"].Value(), Variant(String()));
  EXPECT_TRUE(row["stat"].Value().IsNull());
  EXPECT_EQ(Connect()->Execute("select usrn from qzusr110")->Fields()[Integer{0}].Value(),
            Variant(bytes));
  EXPECT_EQ(Connect()->Execute("select count(*) from qzlib100")->Fields()[Integer{0}].Value(),
            Variant(Long{1}));
}

TEST_F(OdbcServerTest, RecordsetChangesExactlyTheRowItRead) {
  // All four rows equal 'ABC' by the server's comparison; each is still a
  // row of its own.
  for (const char* appl : {"abc", "ABC", "abc", "abc "}) {
    db_.Exec(std::string("insert into qzddi100 (appl, extn) values ('") + appl + "', '1')");
  }
  auto rs = ado::Recordset::Create();
  rs->Open("select * from qzddi100 where appl = 'ABC'", Connect(), ado::adOpenDynamic,
           ado::adLockOptimistic);
  ASSERT_EQ(rs->RecordCount(), 4);
  while (rs->Fields()["appl"].Value().ToString() != "ABC") rs->MoveNext();
  rs->Delete(ado::adAffectCurrent);
  rs->MoveFirst();
  while (rs->Fields()["appl"].Value().ToString() != "abc") rs->MoveNext();
  rs->Fields()["extn"].Value("2");
  rs->Update();

  std::vector<std::string> rows;
  for (const auto& row : db_.Rows("select appl, extn from qzddi100")) {
    rows.push_back("[" + row[0] + "]" + row[1]);
  }
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{"[abc ]1", "[abc]1", "[abc]2"}));
}

TEST_F(OdbcServerTest, OpeningChecksTheStatementWithoutRunningIt) {
  auto rs = ado::Recordset::Create();
  rs->Open("insert into qzusr100 (defa) values (7)", Connect(), ado::adOpenDynamic,
           ado::adLockOptimistic);
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  EXPECT_EQ(db_.Count("qzusr100"), 1);  // run once, at Open

  // A query is checked at Open, and its rows are read when first used.
  auto query = ado::Recordset::Create();
  query->Open("select defa from qzusr100", Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
  db_.Exec("insert into qzusr100 (defa) values (8)");
  EXPECT_EQ(query->RecordCount(), 2);

  for (const char* bad : {"select * from qzmissing", "select defa frm qzusr100"}) {
    const ComError error = RaisedBy([&] {
      ado::Recordset::Create()->Open(bad, Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
    });
    EXPECT_EQ(error.number(), errc::kErrorsInCommand) << bad;
    EXPECT_FALSE(error.description().empty());
  }
  const ComError missing = RaisedBy([&] { Connect()->Execute("delete from qzmissing"); });
  EXPECT_EQ(missing.number(), errc::kErrorsInCommand);
  EXPECT_NE(missing.description().find("qzmissing"), std::string::npos) << missing.description();
}

TEST_F(OdbcServerTest, TransactionRolledBackWhenItsSecondStatementFails) {
  auto connection = Connect();
  connection->BeginTrans();
  connection->Execute("insert into qzlib105 (mprf, fnam) values (1, 'f')");
  const ComError error = RaisedBy([&] { connection->Execute("delete from qzlib100 wher x"); });
  EXPECT_EQ(error.number(), errc::kErrorsInCommand);
  connection->RollbackTrans();
  EXPECT_EQ(db_.Count("qzlib105"), 0);

  // After the rollback the connection commits statement by statement again.
  connection->Execute("insert into qzlib105 (mprf, fnam) values (2, 'g')");
  EXPECT_EQ(db_.Count("qzlib105"), 1);

  connection->BeginTrans();
  EXPECT_EQ(RaisedBy([&] { connection->BeginTrans(); }).number(), errc::kErrorsInCommand);
  connection->Execute("insert into qzlib105 (mprf, fnam) values (3, 'h')");
  EXPECT_EQ(db_.Count("qzlib105"), 1);  // not yet visible to others
  connection->CommitTrans();
  EXPECT_EQ(db_.Count("qzlib105"), 2);
  EXPECT_EQ(RaisedBy([&] { connection->CommitTrans(); }).number(), errc::kNoTransaction);
}

TEST_F(OdbcServerTest, ReleasingAConnectionRollsBackItsTransaction) {
  auto connection = Connect();
  connection->BeginTrans();
  connection->Execute("insert into qzusr100 (defa) values (1)");
  connection.reset();
  EXPECT_EQ(db_.Count("qzusr100"), 0);
  // Its locks went with it: another connection changes the table at once.
  Connect(5)->Execute("insert into qzusr100 (defa) values (2)");
  EXPECT_EQ(db_.Count("qzusr100"), 1);
}

TEST_F(OdbcServerTest, CommandTimeoutBoundsALockWait) {
  db_.Exec("insert into qzusr100 (defa) values (0)");
  auto holder = Connect();
  holder->BeginTrans();
  holder->Execute("update qzusr100 set defa = 1 where defa = 0");
  const ComError error =
      RaisedBy([&] { Connect(1)->Execute("update qzusr100 set defa = 2 where defa = 0"); });
  EXPECT_EQ(error.number(), errc::kQueryTimeout) << error.description();
  holder->RollbackTrans();
  EXPECT_EQ(db_.Value("select defa from qzusr100"), "0");
}

TEST_F(OdbcServerTest, ReadersSeeOnlyCommittedRows) {
  // MariaDB reads a snapshot; SQL Server would make the reader wait.
  MIGPROF_REQUIRE_MARIADB();
  auto writer = Connect();
  writer->BeginTrans();
  writer->Execute("insert into qzusr100 (defa) values (1)");
  EXPECT_EQ(db_.Count("qzusr100"), 0);
  writer->CommitTrans();
  EXPECT_EQ(db_.Count("qzusr100"), 1);
}

TEST_F(OdbcServerTest, KilledConnectionRaisesAndCommitsNothing) {
  MIGPROF_REQUIRE_MARIADB();
  auto victim = Connect();
  victim->BeginTrans();
  victim->Execute("insert into qzusr100 (defa) values (1)");
  Kill(ConnectionId(*victim));
  const ComError error =
      RaisedBy([&] { victim->Execute("insert into qzusr100 (defa) values (2)"); });
  EXPECT_EQ(error.number(), errc::kProviderFailure) << error.description();
  EXPECT_EQ(RaisedBy([&] { victim->RollbackTrans(); }).number(), errc::kProviderFailure);
  victim.reset();
  EXPECT_EQ(db_.Count("qzusr100"), 0);
}

}  // namespace
}  // namespace migprof
