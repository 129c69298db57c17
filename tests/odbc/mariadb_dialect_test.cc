// The text rewrites that carry SQL Server statements to MariaDB. What the
// rewritten statements do on a real server is checked by
// tests/component/sql_server_semantics_test.cc under MIGPROF_TEST_DSN.
#include "component/odbc/mariadb_dialect.h"

#include <gtest/gtest.h>

#include <string>

namespace migprof::odbc {
namespace {

struct Case {
  const char* tsql;
  const char* expected;
};

void ExpectTranslations(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(TranslateForMariaDb(c->tsql), c->expected) << c->tsql;
  }
}

constexpr const char* kVarcharOfOwnr =
    "(CONVERT(LEFT(CONVERT(ownr USING latin1),30) USING utf8mb4) COLLATE utf8mb4_uca1400_as_ci)";

TEST(OdbcMariaDbDialect, LeavesPlainStatementsAlone) {
  for (const char* sql :
       {"Select count(*) from qzlib105 where mprf = -3 AND  vers = 'V'",
        "delete from qzmap101 where mprf=7", "select mprf from qzmap100 order by mprf DESC",
        "update qzmap100 set deph = 2 where mprf= 1",
        "select 'it''s 10and + cast(x as varbinary)' from t",
        "select cast(mprf as int) from qzusr110", "select 'unterminated"}) {
    EXPECT_EQ(TranslateForMariaDb(sql), sql);
  }
}

TEST(OdbcMariaDbDialect, SeparatesGluedNumbersAndAddsFromToDelete) {
  const Case cases[] = {
      {"select * from qzmap120 where mprf =2and vers ='V2'and rele = 'R'",
       "select * from qzmap120 where mprf =2 and vers ='V2'and rele = 'R'"},
      {"select 1.5or 2e3and 2else", "select 1.5 or 2e3 and 2 else"},
      {"select t.c2 from t2", "select t.c2 from t2"},
      {"delete qzmap170 where mprf = 1 and(bpac = 'p')",
       "delete from qzmap170 where mprf = 1 and(bpac = 'p')"},
      {"DELETE  [qzmap175] WHERE mprf = 1", "DELETE  from `qzmap175` WHERE mprf = 1"},
      {"select 1; delete t where a = 1", "select 1; delete from t where a = 1"},
      {"select delete_flag from t", "select delete_flag from t"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, CastsIntegerLiteralsToVarbinaryAsSqlServerWouldCompareThem) {
  const Case cases[] = {
      // Compared with an int column, the bytes convert back to the number.
      {"delete from qzusr110 where mprf=cast(5 as varbinary)", "delete from qzusr110 where mprf=5"},
      {"update qzusr100 set defa = cast(0 as int) where defa =  cast( -7 as varbinary)",
       "update qzusr100 set defa = cast(0 as int) where defa =  (-7)"},
      // Fewer bytes than the number has: only the last ones remain.
      {"select * from t where mprf = cast(123456 as varbinary(2))",
       "select * from t where mprf = 57920"},
      {"select * from t where mprf = cast(-1 as varbinary(1))", "select * from t where mprf = 255"},
      // In a result column the bytes themselves are seen.
      {"select cast(5 as varbinary)", "select X'00000005'"},
      {"select cast(-1 as varbinary), mprf from t", "select X'FFFFFFFF', mprf from t"},
      {"select cast(123456 as varbinary(2))", "select X'E240'"},
      {"select cast(3000000000 as varbinary)", "select X'00000000B2D05E00'"},
      // A sub-select's column is compared, not shown.
      {"select * from t where mprf in (select cast(5 as varbinary))",
       "select * from t where mprf in (select 5)"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, CastsTextLiteralsToTheirCp1252Bytes) {
  // Cut to 30 bytes, never padded.
  std::string thirty_bytes;
  for (int i = 0; i < 30; ++i) thirty_bytes += "61";
  EXPECT_EQ(TranslateForMariaDb("select cast('" + std::string(40, 'a') + "' as varbinary)"),
            "select X'" + thirty_bytes + "'");
  const Case cases[] = {
      {"insert into qzusr110(mprf,usrn) values (cast(5 as int),cast('Bob' as varbinary))",
       "insert into qzusr110(mprf,usrn) values (cast(5 as int),X'426F62')"},
      {"select 1 from t where usrn = cast('Zo\xC3\xAB \xE2\x82\xAC' as varbinary)",
       "select 1 from t where usrn = X'5A6FEB2080'"},
      {"select cast(N'\xC3\xA9' as varbinary)", "select X'E900'"},
      {"select cast('it''s' as varbinary(3))", "select X'697427'"},
      {"select cast('' as varbinary)", "select X''"},
      {"select cast('\xCE\xA9' as varbinary(max))", "select X'3F'"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, CastsOtherValuesToVarbinaryThroughCp1252) {
  const Case cases[] = {
      {"select 1 from qzusr110 where usrn = cast(u.name as varbinary)",
       "select 1 from qzusr110 where usrn = LEFT(CAST(CONVERT(u.name USING latin1) AS BINARY),30)"},
      {"select cast(vers + rele as varbinary(max)) from t",
       "select CAST(CONVERT(CONCAT(vers,rele) USING latin1) AS BINARY) from t"},
      // A numeric column keeps its number where it is compared, and shows
      // its big-endian bytes in a result column.
      {"select 1 from t where defa = cast(mprf as varbinary(2))",
       "select 1 from t where defa = ((mprf)&65535)"},
      {"select 1 from t where defa = cast(mprf as varbinary)",
       "select 1 from t where defa = (mprf)"},
      {"select cast(mprf as varbinary) from t",
       "select UNHEX(RIGHT(LPAD(HEX(mprf),16,'0'),8)) from t"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, CastsToVarcharThroughCp1252WithTheDatabaseCollation) {
  const Case cases[] = {
      {"select cast(ownr as varchar) from qzmap100 where mprf = 1",
       "select (CONVERT(LEFT(CONVERT(ownr USING latin1),30) USING utf8mb4) COLLATE "
       "utf8mb4_uca1400_as_ci) from qzmap100 where mprf = 1"},
      {"select cast(usrn as varchar(5)) from t",
       "select (CONVERT(LEFT(CONVERT(usrn USING latin1),5) USING utf8mb4) COLLATE "
       "utf8mb4_uca1400_as_ci) from t"},
      {"select CAST ( ownr AS VARCHAR ( MAX ) ) from t",
       "select (CONVERT(CONVERT(ownr USING latin1) USING utf8mb4) COLLATE "
       "utf8mb4_uca1400_as_ci) from t"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
  EXPECT_EQ(TranslateForMariaDb("select cast(ownr as varchar),mprf from qzmap100"),
            std::string("select ") + kVarcharOfOwnr + ",mprf from qzmap100");
  EXPECT_EQ(TranslateForMariaDb("select cast(ownr as varchar) from t",
                                MariaDbTextType{"latin1", "latin1_general_ci"}),
            "select (CONVERT(LEFT(CONVERT(ownr USING latin1),30) USING latin1) COLLATE "
            "latin1_general_ci) from t");
}

TEST(OdbcMariaDbDialect, ConcatenatesOnlyTextOperandsOfPlus) {
  const Case cases[] = {
      {"SELECT NULL FROM qzddi220 t220 WHERE (t220.cpac+t220.cdom)=qzddi150.cdom",
       "SELECT NULL FROM qzddi220 t220 WHERE (CONCAT(t220.cpac,t220.cdom))=qzddi150.cdom"},
      {"select vers + '_' + rele + '_' + cust from t",
       "select CONCAT(vers,'_',rele,'_',cust) from t"},
      {"select rtrim(vers) + [rele] from t", "select CONCAT(rtrim(vers),`rele`) from t"},
      {"select cast(mprf as varchar) + 'x' from t",
       "select CONCAT((CONVERT(LEFT(CONVERT(mprf USING latin1),30) USING utf8mb4) COLLATE "
       "utf8mb4_uca1400_as_ci),'x') from t"},
      {"select vers + rele - 1 from t", "select CONCAT(vers,rele) - 1 from t"},
      {"select 'a' + 'b' * 2 from t", "select 'a' + 'b' * 2 from t"},
      // Numbers, numeric columns, signs and unknown operands keep '+'.
      {"select mprf + 1 from t", "select mprf + 1 from t"},
      {"select levl+deph from t", "select levl+deph from t"},
      {"select vers + 1 from t", "select vers + 1 from t"},
      {"select -vers + rele from t", "select -vers + rele from t"},
      {"select vers + f(x) from t", "select vers + f(x) from t"},
      {"select vers + (select max(x) from t) from t",
       "select vers + (select max(x) from t) from t"},
      {"select a + b from t where x = c + d", "select CONCAT(a,b) from t where x = CONCAT(c,d)"},
      {"select case when a = 1 then b end + c from t",
       "select case when a = 1 then b end + c from t"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, IgnoresTrailingBlanksOfTheValueInLike) {
  const Case cases[] = {
      {"select * from t where vers not like 'V%'",
       "select * from t where RTRIM(vers) not like 'V%'"},
      {"select * from t where vers+rele like 'V%'",
       "select * from t where RTRIM(CONCAT(vers,rele)) like 'V%'"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

TEST(OdbcMariaDbDialect, RewritesQuotingOperatorsAndComments) {
  const Case cases[] = {
      {"select [order], \"a\"\"b\" from [my table]", "select `order`, `a\"b` from `my table`"},
      {"select [a]]b] from t", "select `a]b` from t"},
      {"select * from t where a !< 3 and b !> 4", "select * from t where a >= 3 and b <= 4"},
      {"select 1 --comment\nfrom t", "select 1  \nfrom t"},
      {"select /*! 1, */ 2 from t", "select   2 from t"},
  };
  ExpectTranslations(std::begin(cases), std::end(cases));
}

}  // namespace
}  // namespace migprof::odbc
