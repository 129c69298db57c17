// SQL Server's answers from a MariaDB server: each rewrite of the MariaDB
// dialect, and the session's settings, checked against the real server.
#include <gtest/gtest.h>

#include "component/text/cp1252.h"
#include "odbc/server_test.h"

namespace migprof {
namespace {

using testing::OdbcServerTest;
using testing::RaisedBy;
using Rows = std::vector<std::vector<std::string>>;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

class OdbcMariaDbOnServer : public OdbcServerTest {
 protected:
  void SetUp() override {
    OdbcServerTest::SetUp();
    if (IsSkipped()) return;
    MIGPROF_REQUIRE_MARIADB();
  }
};

TEST_F(OdbcMariaDbOnServer, VarbinaryCastsHoldWindows1252BytesCutTo30) {
  db_.Exec(
      "insert into qzusr110(mprf,usrn) values (cast(1 as int),cast('Zo\xC3\xAB \xE2\x82\xAC' as "
      "varbinary))");
  db_.Exec("insert into qzusr110(mprf,usrn) values (cast(2 as int),cast('" + std::string(40, 'x') +
           "' as varbinary))");
  db_.Exec("insert into qzusr110(mprf,usrn) values (cast(3 as int),cast('' as varbinary))");
  EXPECT_EQ(db_.Rows("select mprf, usrn from qzusr110 order by mprf"),
            (Rows{{"1", "5a6feb2080"}, {"2", Repeat("78", 30)}, {"3", ""}}));
  // Read back as text through the same code page; matched as bytes.
  EXPECT_EQ(db_.Rows("select cast(usrn as varchar),cast(mprf as int) from qzusr110 where usrn = "
                     "cast('Zo\xC3\xAB \xE2\x82\xAC' as varbinary) order by mprf DESC"),
            (Rows{{"Zo\xC3\xAB \xE2\x82\xAC", "1"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzusr110 where usrn = cast('zo\xC3\xAB \xE2\x82\xAC' as "
                     "varbinary)"),
            Rows{});
  // A column read through cast(... as varbinary) gives the same bytes.
  db_.Exec("insert into qzusr100 (usrn, defa) values ('Zo\xC3\xAB \xE2\x82\xAC', 1)");
  EXPECT_EQ(db_.Value("select count(*) from qzusr110 t, qzusr100 u where t.usrn = cast(u.usrn "
                      "as varbinary)"),
            "1");
}

TEST_F(OdbcMariaDbOnServer, VarcharCastsCutTo30AndCompareLikeColumns) {
  const std::string forty(40, 'y');
  db_.Exec("insert into qzmap100 (mprf,ownr,dsca) values (1,cast('" + forty + "' as varbinary),'" +
           forty + "')");
  EXPECT_EQ(db_.Value("select cast(ownr as varchar) from qzmap100"), std::string(30, 'y'));
  EXPECT_EQ(db_.Value("select cast(dsca as varchar) from qzmap100"), std::string(30, 'y'));
  EXPECT_EQ(db_.Value("select cast(dsca as varchar(3)) from qzmap100"), "yyy");
  // Every cp1252 character survives varbinary and back, 30 at a time.
  for (int start = 0x80; start < 0x100; start += 30) {
    std::string bytes;
    for (int b = start; b < start + 30 && b < 0x100; ++b) bytes += static_cast<char>(b);
    const std::string utf8 = text::Cp1252ToUtf8(bytes);
    db_.Exec("delete from qzusr110");
    db_.Exec("insert into qzusr110(mprf,usrn) values (cast(1 as int),cast('" + utf8 +
             "' as varbinary))");
    EXPECT_EQ(db_.Value("select cast(usrn as varchar) from qzusr110"), utf8) << start;
  }
  // The cast's text compares by the database's rules: case and trailing
  // blanks ignored, accents not.
  db_.Exec("update qzmap100 set ownr = cast('Caf\xC3\xA9' as varbinary)");
  EXPECT_EQ(
      db_.Value("select count(*) from qzmap100 where cast(ownr as varchar) = 'CAF\xC3\x89  '"),
      "1");
  EXPECT_EQ(db_.Value("select count(*) from qzmap100 where cast(ownr as varchar) = 'Cafe'"), "0");
}

TEST_F(OdbcMariaDbOnServer, IntegersCastToVarbinaryEqualTheInteger) {
  for (const char* mprf : {"12", "13", "-12"}) {
    db_.Exec(std::string("insert into qzusr110(mprf,usrn) values (cast(") + mprf +
             " as int),cast('u' as varbinary))");
  }
  db_.Exec("insert into qzusr100 (defa) values (-12)");
  db_.Exec("delete from qzusr110 where mprf=cast(12 as varbinary)");
  db_.Exec("delete from qzusr110 where mprf=cast(-12 as varbinary)");
  db_.Exec("update qzusr100 set defa = cast(0 as int) where defa =  cast( -12 as varbinary)");
  EXPECT_EQ(db_.Rows("select mprf from qzusr110"), (Rows{{"13"}}));
  EXPECT_EQ(db_.Value("select defa from qzusr100"), "0");
  // Shown as a result, the cast is SQL Server's four big-endian bytes.
  EXPECT_EQ(db_.Value("select cast(-2 as varbinary)"), "fffffffe");
  EXPECT_EQ(db_.Value("select cast(mprf as varbinary) from qzusr110"), "0000000d");
}

TEST_F(OdbcMariaDbOnServer, PlusConcatenatesTextAndAddsNumbers) {
  db_.Exec("insert into qzddi220 (appl,cpac,cdom) values ('A','xy','DOM')");
  db_.Exec("insert into qzddi150 (appl,cdom,dept) values ('A','XYdom ',1)");
  EXPECT_EQ(
      db_.Value("SELECT count(*) FROM qzddi150 WHERE appl = 'A' AND NOT EXISTS (SELECT NULL "
                "FROM qzddi220 t220 WHERE (appl='A') AND (t220.cpac+t220.cdom)=qzddi150.cdom)"),
      "0");
  EXPECT_EQ(db_.Value("select appl + '-' + cpac + cdom from qzddi220"), "A-xyDOM");
  EXPECT_EQ(db_.Value("select dept+2 from qzddi150"), "3");
  EXPECT_EQ(db_.Value("select appl + null from qzddi220"), "NULL");
}

TEST_F(OdbcMariaDbOnServer, DeleteWithoutFromAndNumbersGluedToKeywords) {
  db_.Exec("insert into qzmap101 (mprf,levl,vers) values (10,1,'V2')");
  db_.Exec("insert into qzmap101 (mprf,levl,vers) values (10,2,'V2')");
  EXPECT_EQ(db_.Rows("select levl from qzmap101 where mprf = 10and levl = 1"), (Rows{{"1"}}));
  EXPECT_EQ(db_.Rows("select levl from qzmap101 where mprf =10and vers ='V2'and levl=2"),
            (Rows{{"2"}}));
  db_.Exec("delete qzmap101 where mprf = 10 and levl=2");
  EXPECT_EQ(db_.Count("qzmap101"), 1);
}

TEST_F(OdbcMariaDbOnServer, TextComparesIgnoringCaseAndTrailingBlanksButNotAccents) {
  db_.Exec("insert into qzmap100 (mprf,vers,cust) values (1,'V1','C1')");
  db_.Exec("insert into qzmap100 (mprf,vers,cust) values (2,'v1  ','c1 ')");
  db_.Exec("insert into qzmap100 (mprf,vers,cust) values (3,'V1','C\xC3\xA9')");
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where vers ='V1' and cust ='C1 ' order by mprf"),
            (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where cust = 'Ce'"), Rows{});
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where cust = 'C\xC3\x89'"), (Rows{{"3"}}));
  // Literals compare by the same rules as columns.
  EXPECT_EQ(db_.Value("select count(*) from qzmap100 where 'abc' = 'ABC  ' and mprf = 1"), "1");
  EXPECT_EQ(db_.Value("select count(*) from qzmap100 where '\xC3\xA0' = 'a'"), "0");
  // LIKE ignores the value's trailing blanks, not the pattern's.
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where vers like 'v1' order by mprf"),
            (Rows{{"1"}, {"2"}, {"3"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where cust like 'c1' order by mprf"),
            (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where cust like 'c1 '"), Rows{});
}

TEST_F(OdbcMariaDbOnServer, BackslashesAndQuotesInLiteralsAreOrdinaryCharacters) {
  db_.Exec("insert into qzlib100 (mprf, fdef) values (1, 'C:\\new\\table\\ it''s\\')");
  EXPECT_EQ(db_.Value("select fdef from qzlib100"), "C:\\new\\table\\ it's\\");
  EXPECT_EQ(db_.Value("select count(*) from qzlib100 where fdef = 'C:\\new\\table\\ it''s\\'"),
            "1");
}

TEST_F(OdbcMariaDbOnServer, ReadersSeeOnlyCommittedRows) {
  auto writer = Connect();
  writer->BeginTrans();
  writer->Execute("insert into qzusr100 (defa) values (1)");
  EXPECT_EQ(db_.Count("qzusr100"), 0);
  writer->CommitTrans();
  EXPECT_EQ(db_.Count("qzusr100"), 1);
}

}  // namespace
}  // namespace migprof
