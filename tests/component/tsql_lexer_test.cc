// The statement reader both dialect translations start from. That its
// tokens give the text back, glued numbers split, is shown by the two
// dialects' translation tables.
#include "component/sql/tsql_lexer.h"

#include <gtest/gtest.h>

#include <string>

namespace migprof::tsql {
namespace {

TEST(TsqlLexer, SeveralStatementsOnlyWhenTextFollowsASemicolon) {
  for (const char* one : {"select 1", "select 1;", "select 1 ; ;  -- done\n", "select ';x'",
                          "select [a;b] /* ; */", "delete t where a = 'x;y';"}) {
    EXPECT_FALSE(HasSeveralStatements(one)) << one;
  }
  for (const char* two : {"select 1; delete from t", "select 1;select 2", "select 1; -- c\nx"}) {
    EXPECT_TRUE(HasSeveralStatements(two)) << two;
  }
}

}  // namespace
}  // namespace migprof::tsql
