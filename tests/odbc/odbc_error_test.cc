// Which catalogue number each ODBC diagnostic becomes.
#include "component/odbc/odbc_error.h"

#include <gtest/gtest.h>

namespace migprof::odbc {
namespace {

TEST(OdbcError, ServerKindFollowsTheDbmsName) {
  EXPECT_EQ(ServerFromDbmsName("MariaDB"), Server::kMariaDb);
  EXPECT_EQ(ServerFromDbmsName("MySQL"), Server::kMariaDb);
  EXPECT_EQ(ServerFromDbmsName("mysql community"), Server::kMariaDb);
  EXPECT_EQ(ServerFromDbmsName("Microsoft SQL Server"), Server::kSqlServer);
  EXPECT_EQ(ServerFromDbmsName(""), Server::kSqlServer);
}

TEST(OdbcError, NumbersFollowTheSqlstateAndTheStage) {
  struct Case {
    const char* sqlstate;
    long native;
    Stage stage;
    Server server;
    std::int32_t number;
  };
  const Case cases[] = {
      // Anything while connecting is the provider's failure.
      {"28000", 1045, Stage::kConnect, Server::kSqlServer, errc::kProviderFailure},
      {"42000", 1064, Stage::kConnect, Server::kMariaDb, errc::kProviderFailure},
      // Driver manager, connection and authorisation classes.
      {"IM003", 0, Stage::kStatement, Server::kSqlServer, errc::kProviderFailure},
      {"08S01", 0, Stage::kStatement, Server::kSqlServer, errc::kProviderFailure},
      // Timeouts.
      {"HYT00", 0, Stage::kStatement, Server::kSqlServer, errc::kQueryTimeout},
      {"HYT01", 0, Stage::kStatement, Server::kMariaDb, errc::kQueryTimeout},
      {"HY000", 1205, Stage::kStatement, Server::kMariaDb, errc::kQueryTimeout},
      {"70100", 1969, Stage::kStatement, Server::kMariaDb, errc::kQueryTimeout},
      // MariaDB's lost connections carry general SQLSTATEs.
      {"70100", 1927, Stage::kStatement, Server::kMariaDb, errc::kProviderFailure},
      {"HY000", 2013, Stage::kStatement, Server::kMariaDb, errc::kProviderFailure},
      // The same native numbers mean other things on SQL Server.
      {"HY000", 2013, Stage::kStatement, Server::kSqlServer, errc::kErrorsInCommand},
      // Undone because another change came first: a deadlock victim (1205 on
      // SQL Server), a Galera certification conflict (MariaDB's 1213).
      {"40001", 1205, Stage::kStatement, Server::kSqlServer, errc::kWriteConflict},
      {"40001", 1213, Stage::kStatement, Server::kMariaDb, errc::kWriteConflict},
      {"HY000", 1213, Stage::kStatement, Server::kMariaDb, errc::kWriteConflict},
      // Constraints.
      {"23000", 1062, Stage::kStatement, Server::kMariaDb, errc::kIntegrityViolation},
      // Rejected statements.
      {"42S02", 208, Stage::kStatement, Server::kSqlServer, errc::kErrorsInCommand},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("[vendor][driver]failure ") + c.sqlstate;
    const ComError error = ErrorFor({c.sqlstate, c.native, text}, c.stage, c.server);
    EXPECT_EQ(error.number(), c.number) << c.sqlstate << " " << c.native;
    const std::string prefix = c.number == errc::kWriteConflict ? errtext::kWriteConflict : "";
    EXPECT_EQ(error.description(), prefix + text) << c.sqlstate;
  }
}

TEST(OdbcError, AFailureWithoutADiagnosticStillSaysWhatHappened) {
  const ComError error = ErrorFor({}, Stage::kStatement, Server::kMariaDb);
  EXPECT_EQ(error.number(), errc::kErrorsInCommand);
  EXPECT_EQ(error.description(),
            "The ODBC driver reported a failure (SQLSTATE none) without a message.");
  EXPECT_EQ(ErrorFor({"HY000", 0, ""}, Stage::kConnect, Server::kSqlServer).description(),
            "The ODBC driver reported a failure (SQLSTATE HY000) without a message.");
}

}  // namespace
}  // namespace migprof::odbc
