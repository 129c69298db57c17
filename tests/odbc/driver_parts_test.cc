// The ODBC backend's parts that need no server: which catalogue number each
// diagnostic becomes, UTF-8 to and from the driver manager's UTF-16, and the
// statements behind a recordset's row changes per server (on MariaDB,
// RecordsetTest shows under MIGPROF_TEST_DSN that they change exactly the
// row read).
#include <gtest/gtest.h>

#include "component/odbc/odbc_error.h"
#include "component/odbc/row_statements.h"
#include "component/odbc/wide_text.h"

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

WideString Units(std::initializer_list<unsigned> units) {
  WideString out;
  for (unsigned u : units) out.push_back(static_cast<SQLWCHAR>(u));
  return out;
}

TEST(OdbcWideText, RoundTripsEveryPlane) {
  const std::string texts[] = {
      "",
      "plain ASCII",
      std::string("nul\0inside", 10),
      "Zo\xC3\xAB \xE2\x82\xAC",            // Zoë €
      "\xE2\x82\xAC\xEF\xBF\xBF",           // €, U+FFFF
      "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",  // U+1F600, U+10FFFF
  };
  for (const std::string& text : texts) EXPECT_EQ(FromWide(ToWide(text)), text);
  EXPECT_EQ(ToWide("Zo\xC3\xAB \xE2\x82\xAC"), Units({'Z', 'o', 0xEB, ' ', 0x20AC}));
  EXPECT_EQ(ToWide("\xF0\x9F\x98\x80"), Units({0xD83D, 0xDE00}));
  // Only the units asked for are read.
  const WideString text = Units({'x', 'y', 'z'});
  EXPECT_EQ(FromWide(text.data(), 2), "xy");
}

TEST(OdbcWideText, IllFormedTextBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    WideString wide;
  };
  const Case cases[] = {
      {"a\x80z", Units({'a', 0xFFFD, 'z'})},                          // stray continuation byte
      {"a\xC3", Units({'a', 0xFFFD})},                                // cut short at the end
      {"\xC3(", Units({0xFFFD, '('})},                                // cut short by a lead byte
      {"\xC0\xAF", Units({0xFFFD, 0xFFFD})},                          // overlong, and its tail
      {"\xE0\x80\xAF", Units({0xFFFD, 0xFFFD, 0xFFFD})},              // overlong three-byte form
      {"\xED\xA0\x80", Units({0xFFFD, 0xFFFD, 0xFFFD})},              // an encoded surrogate
      {"\xF4\x90\x80\x80", Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD})},  // beyond U+10FFFF
      {"\xFF", Units({0xFFFD})},
  };
  for (const Case& c : cases) EXPECT_EQ(ToWide(c.utf8), c.wide) << c.utf8;
  // Unpaired surrogates in UTF-16.
  EXPECT_EQ(FromWide(Units({'a', 0xD800, 'b'})),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(FromWide(Units({0xDC00, 0xD83D})), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

using Values = std::vector<Variant>;
using Names = std::vector<String>;

TEST(OdbcRowStatements, InsertWritesOnlyTheGivenColumnsAndQuotesNames) {
  const RowStatement maria =
      InsertRowStatement(Server::kMariaDb, "qzlib100", {"mprf", "fnam", "comt"},
                         {Variant(Integer{5}), Variant("f"), Variant::Null()});
  EXPECT_EQ(maria.sql, "INSERT INTO `qzlib100` (`mprf`,`fnam`,`comt`) VALUES (?,?,NULL)");
  EXPECT_EQ(maria.parameters, (Values{Variant(Integer{5}), Variant("f")}));

  const RowStatement mssql =
      InsertRowStatement(Server::kSqlServer, "dbo.qzlib100", {"fnam"}, {Variant("f")});
  EXPECT_EQ(mssql.sql, "INSERT INTO [dbo].[qzlib100] ([fnam]) VALUES (?)");

  EXPECT_EQ(InsertRowStatement(Server::kMariaDb, "t", {}, {}).sql, "INSERT INTO `t` () VALUES ()");
  EXPECT_EQ(InsertRowStatement(Server::kSqlServer, "t", {}, {}).sql,
            "INSERT INTO [t] DEFAULT VALUES");
  EXPECT_EQ(InsertRowStatement(Server::kMariaDb, "we`ird", {"a b"}, {Variant("x")}).sql,
            "INSERT INTO `we``ird` (`a b`) VALUES (?)");
  EXPECT_EQ(InsertRowStatement(Server::kSqlServer, "we]ird", {"a b"}, {Variant("x")}).sql,
            "INSERT INTO [we]]ird] ([a b]) VALUES (?)");
}

TEST(OdbcRowStatements, ChangesFindAtMostOneRowByItsOriginalValues) {
  const Names columns = {"mprf", "vers", "ownr", "comt"};
  const Values original = {Variant(Long{7}), Variant("V1 "), Variant(Binary{1, 2}),
                           Variant::Null()};

  const RowStatement update = UpdateRowStatement(Server::kMariaDb, "qzmap100", columns, original,
                                                 {"vers", "comt"}, {Variant("V2"), Variant()});
  EXPECT_EQ(update.sql,
            "UPDATE `qzmap100` SET `vers` = ?,`comt` = NULL WHERE `mprf` = ? AND "
            "CONVERT(`vers` USING utf8mb4) COLLATE utf8mb4_nopad_bin = ? AND `ownr` = UNHEX(?) "
            "AND `comt` IS NULL LIMIT 1");
  // A binary value travels as hex digits (the driver sends values as text).
  EXPECT_EQ(update.parameters,
            (Values{Variant("V2"), Variant(Long{7}), Variant("V1 "), Variant("0102")}));

  EXPECT_EQ(UpdateRowStatement(Server::kSqlServer, "qzmap100", columns, original, {"vers"},
                               {Variant("V2")})
                .sql,
            "UPDATE TOP (1) [qzmap100] SET [vers] = ? WHERE [mprf] = ? AND [vers] = ? AND "
            "[ownr] = ? AND [comt] IS NULL");
  EXPECT_EQ(DeleteRowStatement(Server::kSqlServer, "qzmap100", columns, original).sql,
            "DELETE TOP (1) FROM [qzmap100] WHERE [mprf] = ? AND [vers] = ? AND [ownr] = ? AND "
            "[comt] IS NULL");
}

}  // namespace
}  // namespace migprof::odbc
