// The data-access layer over an ODBC data source: connecting, values,
// statements, transactions, timeouts and lost connections. Recordset row
// changes and transaction basics are RecordsetTest's, which also runs under
// MIGPROF_TEST_DSN.
#include <gtest/gtest.h>

#include "odbc/server_test.h"

namespace migprof {
namespace {

using testing::OdbcServerTest;
using testing::RaisedBy;

TEST_F(OdbcServerTest, WrongPasswordIsRefusedWithTheDriversError) {
  const ComError error = RaisedBy([&] {
    ado::Connection::Create()->Open("DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() +
                                    "x;");
  });
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

  // More rows through the same statement, each value longer or shorter
  // than, or of another type than, the one before at its marker.
  const std::vector<std::pair<Variant, Variant>> kMore = {
      {Variant("a"), Variant("x")},
      {Variant(accented), Variant(std::string(70, 'y'))},
      {Variant("b"), Variant(long_text + "z")},
      {Variant::Null(), Variant(std::string(64, 'w'))},
      {Variant(String()), Variant("v")},
      {Variant(std::string(65, 'u')), Variant::Null()},
  };
  for (std::size_t i = 0; i < kMore.size(); ++i) {
    insert->AddNew();
    insert->Fields()["mprf"].Value(Integer{static_cast<short>(i + 1)});
    insert->Fields()["vers"].Value(kMore[i].first);
    insert->Fields()["fdef"].Value(kMore[i].second);
    insert->Update();
  }
  auto more = Connect()->Execute("select vers, fdef from qzlib100 where mprf > 0 order by mprf");
  for (const auto& [vers, fdef] : kMore) {
    ASSERT_FALSE(more->EndOfFile());
    EXPECT_EQ(more->Fields()["vers"].Value(), vers);
    EXPECT_EQ(more->Fields()["fdef"].Value(), fdef);
    more->MoveNext();
  }

  auto rs = Connect()->Execute(
      "select mprf, vers, fdef, ldat, comt, stat from qzlib100 where mprf = -32768");
  ado::Fields row = rs->Fields();
  EXPECT_EQ(row["mprf"].Value(), Variant(Long{-32768}));
  EXPECT_EQ(row["vers"].Value(), Variant(accented));
  EXPECT_EQ(row["fdef"].Value(), Variant(long_text));
  EXPECT_EQ(row["ldat"].Value(), Variant(stamp));
  EXPECT_EQ(row["comt"].Value(), Variant(String()));
  EXPECT_TRUE(row["stat"].Value().IsNull());
  EXPECT_EQ(Connect()->Execute("select count(*) from qzlib100")->Fields()[Integer{0}].Value(),
            Variant(Long{7}));
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

  const ComError error = RaisedBy([&] {
    ado::Recordset::Create()->Open("select defa frm qzusr100", Connect(), ado::adOpenDynamic,
                                   ado::adLockOptimistic);
  });
  EXPECT_EQ(error.number(), errc::kErrorsInCommand);
  const ComError missing = RaisedBy([&] { Connect()->Execute("delete from qzmissing"); });
  EXPECT_EQ(missing.number(), errc::kErrorsInCommand);
  EXPECT_NE(missing.description().find("qzmissing"), std::string::npos) << missing.description();
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
