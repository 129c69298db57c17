// A MariaDB session reads each caller's text through a table kept per text
// with its literals taken out. Whatever that table already holds, the
// translation and what the text may leave behind must be the text's own:
// each case runs after texts of the same shape with other literals.
#include "component/odbc/caller_statement.h"

#include <gtest/gtest.h>

#include <optional>
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

// The values put back as literals into the marked query give the text's own
// translation, but for blanks (a marker glued to a word gets one).
std::string WithValuesBack(const ParameterizedQuery& query) {
  std::string out;
  std::size_t next = 0;
  for (char c : query.sql) {
    if (c != '?') {
      out += c;
      continue;
    }
    out += '\'';
    for (char v : query.values.at(next)) out += v == '\'' ? std::string("''") : std::string(1, v);
    out += '\'';
    ++next;
  }
  EXPECT_EQ(next, query.values.size());
  return out;
}

std::string WithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

TEST(OdbcCallerText, ParameterizesOnlyLiteralsComparedInAQueryOfAShapeReadBefore) {
  const struct {
    std::string first;                // read first: never parameterized
    std::string second;               // the same shape read next
    std::vector<std::string> values;  // empty: left as a text
  } kCases[] = {
      {"select * from qzmap140 where mprf =5 and vers ='V' and fdnm = 'A'",
       "select * from qzmap140 where mprf =5 and vers ='W' and fdnm = 'it''s \xC3\xA9'",
       {"W", "it's \xC3\xA9"}},
      {"SELECT a FROM t WHERE (b<>'x') OR c >= 'y'ORDER BY a",
       "SELECT a FROM t WHERE (b<>'p') OR c >= 'q'ORDER BY a",
       {"p", "q"}},
      // Only the compared literal goes as a value.
      {"select 'k', c from t where c like 'a%' and d = 'e'",
       "select 'k', c from t where c like 'b%' and d = 'f'",
       {"f"}},
      // In IN, BETWEEN, CASE, under COLLATE, in arithmetic: left as text.
      {"select * from t where c in ('a', 'b')", "select * from t where c in ('c', 'd')", {}},
      {"select * from t where c between 'a' and 'b'",
       "select * from t where c between 'c' and 'd'",
       {}},
      {"select case when c = 'a' then 1 end from t",
       "select case when c = 'b' then 1 end from t",
       {}},
      {"select * from t where c = 'a' collate x", "select * from t where c = 'b' collate x", {}},
      {"select * from t where c = 'a' + d", "select * from t where c = 'b' + d", {}},
      // Not a query, a query leaving state behind, a '?' of the text, bytes
      // that are not UTF-8.
      {"update t set c = 'a' where d = 'b'", "update t set c = 'c' where d = 'e'", {}},
      {"select @v = c from t where d = 'a'", "select @v = c from t where d = 'b'", {}},
      {"select [a?] from t where d = 'a'", "select [a?] from t where d = 'b'", {}},
      {"select * from t where d = 'a'", "select * from t where d = '\xC3'", {}},
      {std::string("select * from t where e = 'a\0' and d = 'a'", 43),
       std::string("select * from t where e = 'a\0' and d = 'b'", 43),
       {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.second);
    EXPECT_FALSE(MariaDbCallerText(c.first).Parameterize({}));
    const std::optional<ParameterizedQuery> query = MariaDbCallerText(c.second).Parameterize({});
    if (c.values.empty()) {
      EXPECT_FALSE(query);
      continue;
    }
    ASSERT_TRUE(query);
    EXPECT_EQ(query->values, c.values);
    EXPECT_EQ(WithoutBlanks(WithValuesBack(*query)), WithoutBlanks(TranslateForMariaDb(c.second)));
    EXPECT_EQ(query->sql.find("?O"), std::string::npos);
  }
}

}  // namespace
}  // namespace migprof::odbc
