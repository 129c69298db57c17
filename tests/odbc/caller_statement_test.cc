// A MariaDB session reads each caller's text through a table kept per text
// with its literals taken out. Whatever that table already holds, the
// translation and what the text may leave behind must be the text's own:
// each case runs after texts of the same shape with other literals.
#include "component/odbc/caller_statement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace migprof::odbc {
namespace {

TEST(OdbcCallerText, EqualsReadingTheTextItself) {
  const MariaDbTextType other_type{"latin1", "latin1_swedish_ci"};
  // Each row: texts of one shape, read one after the other.
  const std::vector<std::vector<std::string>> kShapes = {
      {"select * from qzmap140 where mprf = 1 and fdnm = 'A'",
       "select * from qzmap140 where mprf = 1 and fdnm = 'it''s'",
       "select * from qzmap140 where mprf = 1 and fdnm = ''"},
      // A literal the dialect rewrites into its bytes.
      {"select cast('ab' as varbinary) from t where c = 'x'",
       "select cast('cd' as varbinary(1)) from t where c = 'y'"},
      // Concatenation and LIKE around literals; one literal twice.
      {"select 'a' + fdnm + 'b' from t where fdnm like 'a%'",
       "select 'c' + fdnm + 'c' from t where fdnm like 'c%'"},
      // The column named after a literal in the select list.
      {"select 'one' from t", "select 'two' from t"},
      // Literals that are not taken out: national, with NUL, unterminated.
      {"select N'a' + 'b' from t where c = 'd'", "select N'e' + 'f' from t where c = 'g'"},
      {std::string("select * from t where c = 'a\0b'", 31),
       std::string("select * from t where c = 'c\0d'", 31)},
      {"select * from t where c = 'open''", "select * from t where c = 'shut''"},
      // The marker's own character in the text, glued numbers, comments.
      {"select '\x01"
       "0\x01' from t where c = 'a'",
       "select '\x01"
       "0\x01' from t where c = 'b'"},
      {"select * from t where a = 10and b = 'x' --'y'\n",
       "select * from t where a = 10and b = 'z'"},
      // What may be left behind does not depend on literals.
      {"'select' from t", "set @v = 'a'", "set @v = 'b'", "update t set c = '@'"},
  };
  for (const auto& shape : kShapes) {
    for (const std::string& sql : shape) {
      SCOPED_TRACE(sql);
      const MariaDbCallerText text(sql);
      EXPECT_EQ(text.Translate({}), TranslateForMariaDb(sql));
      EXPECT_EQ(text.Translate(other_type), TranslateForMariaDb(sql, other_type));
      const CallerStatement expected = ReadCallerStatement(sql);
      EXPECT_EQ(text.Caller().leaves_no_session_state, expected.leaves_no_session_state);
      EXPECT_EQ(text.Caller().may_change_tables, expected.may_change_tables);
    }
  }
}

}  // namespace
}  // namespace migprof::odbc
