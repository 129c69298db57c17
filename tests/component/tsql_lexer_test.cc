// The statement reader both dialect translations start from.
#include "component/sql/tsql_lexer.h"

#include <gtest/gtest.h>

#include <string>

namespace migprof::tsql {
namespace {

TEST(TsqlLexer, TokensGiveTheTextBackAndSplitGluedNumbers) {
  const std::string text =
      "select N'a;b', [x y], \"q\"\"r\", `s` from t -- c;\nwhere n = 10and m<>2.5e3/*;*/ or ?";
  std::string joined;
  for (const Token& token : Tokenize(text)) joined += token.text;
  EXPECT_EQ(joined,
            "select N'a;b', [x y], \"q\"\"r\", `s` from t -- c;\nwhere n = 10 and "
            "m<>2.5e3/*;*/ or ?");
  const auto tokens = Tokenize("'open");  // unterminated: the rest of the text
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].kind, Kind::kString);
}

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
