// SQL Server's answers to the component's statements, through the whole
// data-access stack and the real schema: on the embedded database, and on a
// server when MIGPROF_TEST_DSN names one.
#include <gtest/gtest.h>

#include <cstdio>

#include "component/text/cp1252.h"
#include "migprof/com_error.h"
#include "testing/direct_call.h"
#include "testing/test_database.h"

namespace migprof {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class SqlServerSemantics : public ::testing::Test {
 protected:
  testing::TestDatabase db_;
};

TEST_F(SqlServerSemantics, SelectStarReturnsColumnsInTableOrder) {
  db_.Exec("insert into qzmap101 (pprf,mprf,levl) values (3,1,2)");
  auto rs = db_.Connect()->Execute("select * from qzmap101");
  std::vector<std::string> names;
  for (long i = 0; i < rs->Fields().Count(); ++i) {
    names.push_back(rs->Fields().Item(static_cast<Integer>(i)).Name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"mprf", "levl", "vers", "rele", "cust", "pprf"}));
}

TEST_F(SqlServerSemantics, TextComparisonIgnoresCaseAndTrailingBlanksOnly) {
  db_.Exec("insert into qzmap100 (mprf,vers,rele,cust,sapp) values (1,'V1','R1','C1','AppA')");
  db_.Exec("insert into qzmap100 (mprf,vers,rele,cust,sapp) values (2,'v1  ','r1','c1 ','APPA ')");
  db_.Exec("insert into qzmap100 (mprf,vers,rele,cust,sapp) values (3,'V1','R1','C\xC3\xA9','b')");
  db_.Exec("insert into qzddi100 (appl,extn) values ('appa','7')");
  const struct {
    const char* where;
    Rows mprf;
  } kCases[] = {
      {"vers ='V1' and rele ='R1' and cust ='C1 '", {{"1"}, {"2"}}},
      {"cust = 'Ce'", {}},  // accents count
      {"sapp <> 'appa'", {{"3"}}},
      {"sapp in ('appa', 'x')", {{"1"}, {"2"}}},
      // A literal compares with a column by the column's rules.
      {"'C1 ' = cust", {{"1"}, {"2"}}},
      {"'\xC3\xA0' = vers", {}},
      // LIKE ignores the value's trailing blanks, not the pattern's.
      {"sapp like 'appa'", {{"1"}, {"2"}}},
      {"cust like 'c1 '", {}},
      {"sapp = (select sapp from qzmap100 where vers = 'V1' and rele = 'r1' and cust = 'c1' and "
       "mprf = 2)",
       {{"1"}, {"2"}}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(
        db_.Rows(std::string("select mprf from qzmap100 where ") + c.where + " order by mprf"),
        c.mprf)
        << c.where;
  }
  EXPECT_EQ(db_.Rows("select distinct vers from qzmap100").size(), 1u);
  EXPECT_EQ(db_.Rows("select extn from qzddi100 where appl in (select sapp from qzmap100 where "
                     "mprf = 2)"),
            (Rows{{"7"}}));
  // Backslashes, doubled quotes and what looks like code are ordinary
  // characters.
  const std::string literal = "'C:\\new\\table\\ it''s\\ a+b 10and cast(x as varchar) -- no'";
  db_.Exec("insert into qzlib100 (mprf, fdef) values (1, " + literal + ")");
  EXPECT_EQ(db_.Value("select fdef from qzlib100"),
            "C:\\new\\table\\ it's\\ a+b 10and cast(x as varchar) -- no");
  EXPECT_EQ(db_.Count("qzlib100 where fdef = " + literal), 1);
}

TEST_F(SqlServerSemantics, ComparedSubqueryMustGiveAtMostOneValue) {
  db_.Exec("insert into qzmap100 (mprf, vers, sapp) values (1, 'V', 'A')");
  db_.Exec("insert into qzddi100 (appl, extn) values ('A', '7')");
  const std::string query =
      "select extn from qzddi100 where appl = (select sapp from qzmap100 where vers = 'V')";
  EXPECT_EQ(db_.Rows(query), (Rows{{"7"}}));
  db_.Exec("delete qzmap100");
  EXPECT_EQ(db_.Rows(query), Rows{});  // no value: a null, equal to nothing

  db_.Exec("insert into qzmap100 (mprf, vers, sapp) values (1, 'V', 'A')");
  db_.Exec("insert into qzmap100 (mprf, vers, sapp) values (2, 'v ', 'A')");
  const ComError error = testing::RaisedBy([&] { db_.Rows(query); });
  EXPECT_EQ(error.number(), errc::kErrorsInCommand);
  if (db_.embedded()) {
    EXPECT_EQ(error.description(),
              "Subquery returned more than 1 value. This is not permitted when the subquery "
              "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.");
  }
  // A subquery giving a set, or one aggregate, is not affected.
  EXPECT_EQ(db_.Rows("select extn from qzddi100 where appl in (select sapp from qzmap100)"),
            (Rows{{"7"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzmap100 where mprf = (select max(mprf) from qzmap100)"),
            (Rows{{"2"}}));
}

TEST_F(SqlServerSemantics, ParenthesesNestedTooDeeplyAreRefusedBeforeTheyRun) {
  // 300,000 levels once overflowed the stack of the translation.
  for (int levels : {1001, 300000}) {
    const std::string text = "select " + std::string(levels, '(') + "1" + std::string(levels, ')');
    const ComError error = testing::RaisedBy([&] { db_.Rows(text); });
    EXPECT_EQ(error.number(), errc::kErrorsInCommand);
    EXPECT_EQ(error.description(), errtext::kNestedTooDeeply);
  }
}

TEST_F(SqlServerSemantics, UnsizedCastsCutTo30Characters) {
  // An e acute is two bytes in UTF-8 and one (0xE9) in the database.
  std::string forty, hex;
  for (int i = 0; i < 40; ++i) forty += "\xC3\xA9";
  for (int i = 0; i < 30; ++i) hex += "e9";
  db_.Exec("insert into qzmap100 (mprf,ownr,dsca) values (1,cast('" + forty + "' as varbinary),'" +
           forty + "')");
  EXPECT_EQ(db_.Value("select cast(ownr as varchar) from qzmap100"), forty.substr(0, 60));
  EXPECT_EQ(db_.Value("select cast(dsca as varchar) from qzmap100"), forty.substr(0, 60));
  EXPECT_EQ(db_.Value("select cast(dsca as varchar(3)) from qzmap100"), forty.substr(0, 6));
  EXPECT_EQ(db_.Value("select ownr from qzmap100"), hex);
  // The cast's text compares by the database's rules: case and trailing
  // blanks ignored, accents not.
  db_.Exec("update qzmap100 set ownr = cast('Caf\xC3\xA9' as varbinary)");
  EXPECT_EQ(db_.Count("qzmap100 where cast(ownr as varchar) = 'CAF\xC3\x89  '"), 1);
  EXPECT_EQ(db_.Count("qzmap100 where cast(ownr as varchar) = 'Cafe'"), 0);
}

TEST_F(SqlServerSemantics, EveryByteRoundTripsThroughVarbinary) {
  // Bytes 1..255 go in as Windows-1252 text literals, 30 at a time.
  for (int start = 1; start < 256; start += 30) {
    std::string bytes;
    for (int b = start; b < start + 30 && b < 256; ++b) {
      if (b != '\'') bytes += static_cast<char>(b);
    }
    std::string text = text::Cp1252ToUtf8(bytes);
    db_.Exec("delete from qzusr110");
    db_.Exec("insert into qzusr110(mprf,usrn) values (cast(1 as int),cast('" + text +
             "' as varbinary))");
    auto rs = db_.Connect()->Execute("select cast(usrn as varchar), usrn from qzusr110");
    EXPECT_EQ(rs->Fields().Item(Integer{0}).Value().ToString(), text) << start;
    Binary stored = rs->Fields().Item(Integer{1}).Value().AsBinary();
    EXPECT_EQ(std::string(stored.begin(), stored.end()), bytes) << start;
  }
  // Varbinary values match as bytes: case counts; a column cast to
  // varbinary gives the same bytes as the literal.
  db_.Exec("delete from qzusr110");
  db_.Exec(
      "insert into qzusr110(mprf,usrn) values (1,cast('Zo\xC3\xAB \xE2\x82\xAC' as varbinary))");
  db_.Exec("insert into qzusr100 (usrn, defa) values ('Zo\xC3\xAB \xE2\x82\xAC', 1)");
  EXPECT_EQ(db_.Value("select usrn from qzusr110"), "5a6feb2080");
  EXPECT_EQ(db_.Count("qzusr110 where usrn = cast('zo\xC3\xAB \xE2\x82\xAC' as varbinary)"), 0);
  EXPECT_EQ(db_.Count("qzusr110 t, qzusr100 u where t.usrn = cast(u.usrn as varbinary)"), 1);
  // Byte 0 cannot be written in a statement's text; given as a parameter, it
  // and the bytes around it read back unchanged.
  auto rs = ado::Recordset::Create();
  rs->Open("select * from qzusr110", db_.Connect(), 2, 3, -1);
  rs->AddNew();
  rs->Fields()["mprf"].Value(Integer{2});
  rs->Fields()["usrn"].Value(Binary{'a', 0, 0xE9, 0xFF, 'b'});
  rs->Update();
  EXPECT_EQ(db_.Value("select usrn from qzusr110 where mprf = 2"), "6100e9ff62");
  EXPECT_EQ(db_.Value("select cast(usrn as varchar) from qzusr110 where mprf = 2"),
            std::string("a\0\xC3\xA9\xC3\xBF"
                        "b",
                        7));
}

TEST_F(SqlServerSemantics, IntegerCastToVarbinaryEqualsTheInteger) {
  // A whole number as the component writes it is pinned by the traces; here
  // a negative one.
  db_.Exec("insert into qzusr110(mprf,usrn) values (cast(13 as int),cast('u' as varbinary))");
  db_.Exec("insert into qzusr110(mprf,usrn) values (cast(-12 as int),cast('u' as varbinary))");
  db_.Exec("delete from qzusr110 where mprf=cast(-12 as varbinary)");
  EXPECT_EQ(db_.Rows("select mprf from qzusr110"), (Rows{{"13"}}));
  // Fewer bytes than the number has keep its low ones (0xE240); a subquery's
  // column is compared, not shown.
  db_.Exec("insert into qzusr110(mprf,usrn) values (57920,cast('u' as varbinary))");
  EXPECT_EQ(db_.Rows("select mprf from qzusr110 where mprf = cast(123456 as varbinary(2))"),
            (Rows{{"57920"}}));
  EXPECT_EQ(db_.Rows("select mprf from qzusr110 where mprf in (select cast(13 as varbinary))"),
            (Rows{{"13"}}));
  EXPECT_EQ(db_.Value("select cast(123456 as varbinary(2))"), "e240");
  // Shown as a result, the cast is SQL Server's four big-endian bytes.
  EXPECT_EQ(db_.Value("select cast(-2 as varbinary)"), "fffffffe");
  EXPECT_EQ(db_.Value("select cast(mprf as varbinary) from qzusr110 where mprf = 13"), "0000000d");
}

TEST_F(SqlServerSemantics, PlusConcatenatesTextAndAddsNumbers) {
  db_.Exec("insert into qzddi220 (appl,cpac,cdom) values ('A','xy','DOM')");
  db_.Exec("insert into qzddi150 (appl,cdom,dept) values ('A','XYdom ',1)");
  EXPECT_EQ(db_.Value("select count(*) from qzddi150 where exists (select null from qzddi220 t220 "
                      "where (t220.cpac+t220.cdom)=qzddi150.cdom)"),
            "1");
  EXPECT_EQ(db_.Value("select dept+2 from qzddi150"), "3");
  EXPECT_EQ(db_.Value("select appl + '-' + cpac + cdom from qzddi220"), "A-xyDOM");
  EXPECT_EQ(db_.Value("select appl + null from qzddi220"), "NULL");
}

TEST_F(SqlServerSemantics, DeleteWithoutFromAndNumbersGluedToKeywords) {
  for (int levl = 1; levl <= 3; ++levl) {
    db_.Exec("insert into qzmap101 (mprf,levl) values (10," + std::to_string(levl) + ")");
  }
  EXPECT_EQ(db_.Rows("select * from qzmap101 where mprf = 10and levl = 1").size(), 1u);
  EXPECT_EQ(db_.Rows("select levl from qzmap101 where mprf =10and levl=2and levl = 2"),
            (Rows{{"2"}}));
  db_.Exec("delete qzmap101 where mprf = 10 and levl=2");
  db_.Exec("DELETE [qzmap101] WHERE levl = 3");
  EXPECT_EQ(db_.Rows("select levl from qzmap101"), (Rows{{"1"}}));
}

// Under SQL_Latin1_General_CP1_CI_AS two characters of code page 1252 are
// equal exactly when they fold to the same capital (text::UpperCp1252): the
// accented letters, superscripts, ordinals, the no-break space and the soft
// hyphen are all characters of their own.
TEST_F(SqlServerSemantics, EveryCharacterOfTheCodePageComparesAsSqlServerDoes) {
  std::string values;
  for (int b = 1; b < 256; ++b) {
    std::string character = text::Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    if (b == '\'') character = "''";
    char number[8];
    std::snprintf(number, sizeof number, "%03d", b);
    values += std::string(values.empty() ? "" : ", ") + "('" + character + "', '" + number + "')";
  }
  db_.Exec("insert into qzddi220 (appl, cpac) values " + values);
  Rows expected;
  for (int a = 1; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) {
      if (text::UpperCp1252(static_cast<unsigned char>(a)) ==
          text::UpperCp1252(static_cast<unsigned char>(b))) {
        char pair[2][8];
        std::snprintf(pair[0], sizeof pair[0], "%03d", a);
        std::snprintf(pair[1], sizeof pair[1], "%03d", b);
        expected.push_back({pair[0], pair[1]});
      }
    }
  }
  EXPECT_EQ(db_.Rows("select x.cpac, y.cpac from qzddi220 x, qzddi220 y where x.appl = y.appl "
                     "and x.cpac < y.cpac order by x.cpac, y.cpac"),
            expected);
  // A blank at the end does not count, a no-break space does: S caron and
  // y diaeresis find both letter cases, A with a no-break space nothing.
  EXPECT_EQ(db_.Count("qzddi220 where appl = '\xC5\xA0' or appl = '\xC3\xBF ' or appl = "
                      "'A\xC2\xA0'"),
            4);
}

// What SQL Server takes into a column of each type and what it refuses, with
// its messages (the embedded database gives them as they are; a server
// after its driver's prefixes). 8152 is the truncation message of every
// version (2628 only when a newer server is asked for it).
TEST_F(SqlServerSemantics, ColumnsTakeWhatTheirSqlServerTypeTakes) {
  const std::string x255(255, 'x');
  const std::string truncated = "String or binary data would be truncated.";
  const struct {
    std::string sql;
    std::string error;   // SQL Server's message; "" when the statement runs
    std::string query;   // what it stored, read back
    std::string stored;  // (one value)
  } kCases[] = {
      // varchar(255): blanks beyond the width go silently, anything else fails.
      {"insert into qzmap100 (mprf, dsca) values (1, '" + x255 + "x')", truncated, "", ""},
      {"insert into qzmap100 (mprf, dsca) values (1, '" + x255 + "   ')", "",
       "select dsca from qzmap100 where mprf = 1", x255},
      {"update qzmap100 set dsca = '" + x255 + x255 + "' where mprf = 1", truncated, "", ""},
      {"update qzmap100 set dsca = 2.50, apln = 7 where mprf = 1", "",
       "select dsca + apln from qzmap100 where mprf = 1", "2.507"},
      // A character code page 1252 lacks is stored as '?'.
      {"insert into qzmap100 (mprf, vers) values (2, 'a\xC5\x81\xC3\xA9')", "",
       "select vers from qzmap100 where mprf = 2", "a?\xC3\xA9"},
      // int: a whole number with blanks around, blanks alone 0, a fraction cut.
      {"insert into qzddi150 (appl, dept) values ('a', ' -7 ')", "",
       "select dept from qzddi150 where appl = 'a'", "-7"},
      {"insert into qzddi150 (appl, dept) values ('b', '')", "",
       "select dept from qzddi150 where appl = 'b'", "0"},
      {"insert into qzddi150 (appl, dept) values ('c', 2.7)", "",
       "select dept from qzddi150 where appl = 'c'", "2"},
      {"insert into qzddi150 (appl, dept) values ('d', '2x')",
       "Conversion failed when converting the varchar value '2x' to data type int.", "", ""},
      {"update qzddi150 set dept = '2.0' where appl = 'a'",
       "Conversion failed when converting the varchar value '2.0' to data type int.", "", ""},
      {"insert into qzddi150 (appl, dept) values ('d', '1e3')",
       "Conversion failed when converting the varchar value '1e3' to data type int.", "", ""},
      {"insert into qzddi150 (appl, dept) values ('d', '2147483648')",
       "The conversion of the varchar value '2147483648' overflowed an int column.", "", ""},
      {"insert into qzddi150 (appl, dept) values ('d', 2147483648)",
       "Arithmetic overflow error converting expression to data type int.", "", ""},
      // varbinary(255): only binary values, at most 255 bytes.
      {"insert into qzusr110 (mprf, usrn) values (1, 'alice')",
       "Implicit conversion from data type varchar to varbinary is not allowed. Use the CONVERT "
       "function to run this query.",
       "", ""},
      {"insert into qzusr110 (mprf, usrn) values (1, cast('" + x255 + "x' as varbinary(256)))",
       truncated, "", ""},
      {"insert into qzusr110 (mprf, usrn) values (1, 0x0102FF)", "",
       "select usrn from qzusr110 where mprf = 1", "0102ff"},
      // Without a column list the values fill the columns after rowkey.
      {"insert into qzusr110 values (2, 0x0A)", "", "select usrn from qzusr110 where mprf = 2",
       "0a"},
      {"insert into qzusr100 values ('u', '7x')",
       "Conversion failed when converting the varchar value '7x' to data type int.", "", ""},
      // A statement that fails leaves nothing behind, even after rows it
      // wrote before.
      {"insert into qzddi100 (appl, extn) values ('ok', '1'), ('long', '" + x255 + "x')", truncated,
       "select count(*) from qzddi100", "0"},
  };
  for (const auto& c : kCases) {
    const std::string sql = c.sql;
    if (c.error.empty()) {
      db_.Exec(sql);
    } else {
      const ComError error = testing::RaisedBy([&] { db_.Exec(sql); });
      EXPECT_EQ(error.number(), errc::kErrorsInCommand) << sql;
      EXPECT_EQ(testing::ServerText(error.description()), c.error) << sql;
      if (db_.embedded()) {
        EXPECT_EQ(error.description(), c.error) << sql;
      }
    }
    if (!c.query.empty()) {
      EXPECT_EQ(db_.Value(c.query), c.stored) << sql;
    }
  }
  // Binary literals are binary, and TOP picks the first rows.
  EXPECT_EQ(db_.Value("select 0x0102FF"), "0102ff");
  if (db_.embedded()) {
    EXPECT_EQ(db_.Rows("select top 2 dept from qzddi150 order by dept desc"), (Rows{{"2"}, {"0"}}));
  }
}

}  // namespace
}  // namespace migprof
