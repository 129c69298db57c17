// The statements behind a recordset's row changes, per server. On MariaDB
// RecordsetTest shows under MIGPROF_TEST_DSN that they change exactly the
// row read.
#include "component/odbc/row_statements.h"

#include <gtest/gtest.h>

namespace migprof::odbc {
namespace {

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
