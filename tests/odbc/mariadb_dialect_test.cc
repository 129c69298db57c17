// The text rewrites that carry SQL Server statements to MariaDB. What the
// rewritten statements do on a real server is checked by
// tests/component/sql_server_semantics_test.cc under MIGPROF_TEST_DSN; pinned
// here is what such a run would not catch: input the component does not
// send, and what must be left alone.
#include "component/odbc/mariadb_dialect.h"

#include <gtest/gtest.h>

#include <string>

namespace migprof::odbc {
namespace {

TEST(OdbcMariaDbDialect, RewritesOnlyWhatMariaDbReadsOtherwise) {
  const struct {
    const char* tsql;
    const char* expected;  // nullptr: left as it is
  } kCases[] = {
      // Plain statements, literals and names with digits stay.
      {"Select count(*) from qzlib105 where mprf = -3 AND  vers = 'V'", nullptr},
      {"select 'it''s 10and + cast(x as varbinary)' from t", nullptr},
      {"select cast(mprf as int) from qzusr110", nullptr},
      {"select 'unterminated", nullptr},
      {"select t.c2 from t2", nullptr},
      {"select delete_flag from t", nullptr},
      // Glued numbers and a delete without from.
      {"select 1.5or 2e3and 2else", "select 1.5 or 2e3 and 2 else"},
      {"select 1; delete t where a = 1", "select 1; delete from t where a = 1"},
      // Quoted names, SQL Server's operators and comments.
      {"select [order], \"a\"\"b\" from [my table]", "select `order`, `a\"b` from `my table`"},
      {"select [a]]b] from t", "select `a]b` from t"},
      {"select * from t where a !< 3 and b !> 4", "select * from t where a >= 3 and b <= 4"},
      {"select 1 --comment\nfrom t", "select 1  \nfrom t"},
      {"select /*! 1, */ 2 from t", "select   2 from t"},
      // Casts to varbinary as SQL Server would compare or show them: text by
      // its Windows-1252 bytes, N'' text by its UTF-16 ones.
      {"select * from t where mprf = cast(-1 as varbinary(1))", "select * from t where mprf = 255"},
      {"select cast(3000000000 as varbinary)", "select X'00000000B2D05E00'"},
      {"select cast(N'\xC3\xA9' as varbinary)", "select X'E900'"},
      {"select cast('it''s' as varbinary(3))", "select X'697427'"},
      {"select cast('' as varbinary)", "select X''"},
      {"select cast('\xCE\xA9' as varbinary(max))", "select X'3F'"},
      {"select cast(vers + rele as varbinary(max)) from t",
       "select CAST(CONVERT(CONCAT(vers,rele) USING latin1) AS BINARY) from t"},
      {"select 1 from t where defa = cast(mprf as varbinary(2))",
       "select 1 from t where defa = ((mprf)&65535)"},
      {"select 1 from t where defa = cast(mprf as varbinary)",
       "select 1 from t where defa = (mprf)"},
      {"select CAST ( ownr AS VARCHAR ( MAX ) ) from t",
       "select (CONVERT(CONVERT(ownr USING latin1) USING latin1) COLLATE "
       "latin1_cp1_ci_as) from t"},
      // A text written alone into an int or varbinary column, a fraction into
      // an int column, get SQL Server's conversion.
      {"insert into qzddi150 (appl, dept) values ('A', '2.0'); update qzmap101 set levl = 2.7, "
       "pprf = 3, vers = 'x' where mprf = 1; insert into qzusr110 values (1, 'x')",
       "insert into qzddi150 (appl, dept) values ('A', mssql_int_of_text('2.0')); update qzmap101 "
       "set levl = TRUNCATE(2.7,0), pprf = 3, vers = 'x' where mprf = 1; insert into qzusr110 "
       "values (1, mssql_varbinary_of_text('x'))"},
      // '+' concatenates only text operands.
      {"select rtrim(vers) + [rele] from t", "select CONCAT(rtrim(vers),`rele`) from t"},
      {"select cast(mprf as varchar) + 'x' from t",
       "select CONCAT((CONVERT(LEFT(CONVERT(mprf USING latin1),30) USING latin1) COLLATE "
       "latin1_cp1_ci_as),'x') from t"},
      {"select vers + rele - 1 from t", "select CONCAT(vers,rele) - 1 from t"},
      {"select 'a' + 'b' * 2 from t", nullptr},
      {"select levl+deph from t", nullptr},
      {"select vers + 1 from t", nullptr},
      {"select -vers + rele from t", nullptr},
      {"select vers + f(x) from t", nullptr},
      {"select vers + (select max(x) from t) from t", nullptr},
      {"select case when a = 1 then b end + c from t", nullptr},
      // LIKE ignores the value's trailing blanks.
      {"select * from t where vers not like 'V%'",
       "select * from t where RTRIM(vers) not like 'V%'"},
      {"select * from t where vers+rele like 'V%'",
       "select * from t where RTRIM(CONCAT(vers,rele)) like 'V%'"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(TranslateForMariaDb(c.tsql), c.expected != nullptr ? c.expected : c.tsql) << c.tsql;
  }
}

TEST(OdbcMariaDbDialect, CastsToVarcharInTheDatabasesTextType) {
  EXPECT_EQ(TranslateForMariaDb("select cast(ownr as varchar) from t",
                                MariaDbTextType{"latin1", "latin1_general_ci"}),
            "select (CONVERT(LEFT(CONVERT(ownr USING latin1),30) USING latin1) COLLATE "
            "latin1_general_ci) from t");
}

}  // namespace
}  // namespace migprof::odbc
