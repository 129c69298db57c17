// The SQL Server dialect on SQLite: statements as the component sends them,
// translated and run against an in-memory database with the dialect
// registered, must give SQL Server's answers. The statement reader both
// dialect translations start from.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "component/sql/column_types.h"
#include "component/sql/tsql_lexer.h"
#include "component/sqlite/dialect.h"
#include "component/text/cp1252.h"
#include "migprof/schema.h"

namespace migprof::sqlite_dialect {
namespace {

using text::Cp1252ToUtf8;
using text::UpperCp1252;
using text::Utf8ToCp1252;

class DialectDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    Register(db_);
    Sql("create table t (a TEXT COLLATE SQLSERVER, b TEXT COLLATE SQLSERVER, n INTEGER, v BLOB)");
  }
  void TearDown() override { sqlite3_close(db_); }

  // Translates and runs one statement, binding `params` in order as text, and
  // gives its single value as "<storage class>:<bytes>", "" when it yields no
  // row. An error goes to *error if given, else it fails the test.
  std::string Sql(std::string_view tsql, const std::vector<std::string>& params = {},
                  std::string* error = nullptr) {
    static const char* const kClass[] = {"", "int:", "real:", "text:", "blob:", "null:"};
    const std::string sql = Translate(tsql);
    std::string value;
    int rows = 0;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    for (int k = 0; rc == SQLITE_OK && k < static_cast<int>(params.size()); ++k) {
      rc = sqlite3_bind_text(stmt, k + 1, params[k].data(), static_cast<int>(params[k].size()),
                             SQLITE_TRANSIENT);
    }
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW && ++rows == 1) {
      rc = SQLITE_OK;
      const int type = sqlite3_column_type(stmt, 0);
      const void* p = type == SQLITE_BLOB ? sqlite3_column_blob(stmt, 0)
                                          : static_cast<const void*>(sqlite3_column_text(stmt, 0));
      value = kClass[type] + (p == nullptr ? std::string()
                                           : std::string(static_cast<const char*>(p),
                                                         sqlite3_column_bytes(stmt, 0)));
    }
    if (rc != SQLITE_DONE) {
      if (error != nullptr) {
        *error = rows > 1 ? "more than one row" : sqlite3_errmsg(db_);
      } else {
        ADD_FAILURE() << (rows > 1 ? "more than one row" : sqlite3_errmsg(db_))
                      << "\n  in: " << sql;
      }
    }
    sqlite3_finalize(stmt);
    return value;
  }

  sqlite3* db_ = nullptr;
};

TEST(Cp1252, MapsCharactersAndReplacesWhatItCannotHold) {
  const struct {
    std::string utf8;
    std::string cp1252;
  } kCases[] = {
      {"\u20AC\u0160\u0178", "\x80\x8A\x9F"},  // euro sign, S caron, Y diaeresis
      {"\u00E9t\u00E9", "\xE9t\xE9"},          // Latin-1 block maps to itself
      {"\u0081\u008D\u009D", "\x81\x8D\x9D"},  // the undefined bytes as C1 controls
      {"\u0080\u0100\u4E2D", "???"},           // other C1, outside cp1252, CJK
      {"\xF0\x9F\x98\x80x", "?x"},             // one astral character is one '?'
      {"\xC3", "?"},                           // truncated
      {"\xE2\x82\x41", "?A"},                  // truncated, then ASCII
      {"\xC0\xAF", "??"},                      // overlong
      {"\xED\xA0\x80", "???"},                 // surrogate
      {"a\xFF\x62", "a?b"},                    // never a lead byte
  };
  for (const auto& c : kCases) EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
}

TEST(Cp1252, UpperFoldsCaseButNotAccents) {
  const struct {
    unsigned char in;
    unsigned char out;
  } kCases[] = {{'a', 'A'},   {'z', 'Z'},   {'Q', 'Q'},   {'5', '5'},   {0xE9, 0xC9}, {0xFE, 0xDE},
                {0xF7, 0xF7}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0xDF, 0xDF}, {0xB5, 0xB5}, {0xC9, 0xC9}};
  for (const auto& c : kCases) EXPECT_EQ(UpperCp1252(c.in), c.out) << int{c.in};
  for (int c = 0; c < 256; ++c) {
    const unsigned char up = UpperCp1252(static_cast<unsigned char>(c));
    EXPECT_EQ(UpperCp1252(up), up) << c;    // folding twice changes nothing
    EXPECT_EQ(up >= 0x80, c >= 0x80) << c;  // an accented letter never becomes ASCII
  }
}

// What the rewrites do shows in SqlServerSemantics; pinned here is only what
// a result cannot show: where a compared subquery is checked for a single
// value, and what is left alone.
TEST(DialectTranslate, RewritesOnlyWhatNeedsIt) {
  const struct {
    const char* in;
    const char* out;
  } kCases[] = {
      {"select a from t where (select b from t where n = 1) <> a and n in (select n from t)",
       "select a from t where (select mssql_single_value(b) COLLATE SQLSERVER from t where n = 1) "
       "<> a and n in (select n from t)"},
      // Single aggregates and subqueries the check cannot wrap stay.
      {"select a from t where n = (select max(n) from t) or n = (select n x from t) or n = (select "
       "n, a from t) or n = (select top 1 n from t) or n = (select n from t group by n) or n = (1)",
       "select a from t where n = (select max(n) from t) or n = (select n x from t) or n = (select "
       "n, a from t) or n = (select n from t limit 1) or n = (select n from t group by n) or n = "
       "(1)"},
      // Values written into profile tables go through their column's
      // function; a decimal written into a varchar column is its text. An
      // insert without a column list names the columns other than rowkey.
      {"insert into qzddi150 (appl, dept) values ('A', 2.50); insert into qzusr100 values ('u', "
       "1), ('v', 2, 3); insert into t (a) values (1)",
       "insert into qzddi150 (appl, dept) values (mssql_varchar_column('A',255), "
       "mssql_int_column(2.50)); insert into qzusr100 (usrn,defa) values "
       "(mssql_varchar_column('u',255), mssql_int_column(1)), ('v', 2, 3); insert into t (a) "
       "values (1)"},
      {"insert qzusr110 select mprf, ownr from qzmap100; insert qzusr110 default values",
       "insert qzusr110 (mprf,usrn) select mssql_int_column(mprf), "
       "mssql_varbinary_column(ownr,255) from qzmap100; insert qzusr110 default values"},
      {"update qzmap100 set dsca = 2.50, deph = deph - 1, ownr = x where mprf = 1",
       "update qzmap100 set dsca = mssql_varchar_column('2.50',255), deph = mssql_int_column(deph "
       "- 1), ownr = mssql_varbinary_column(x,255) where mprf = 1"},
      {"insert into qzmap101 (mprf, levl, vers) select mprf, levl - 1 as l, vers v from qzmap101",
       "insert into qzmap101 (mprf, levl, vers) select mssql_int_column(mprf), "
       "mssql_int_column(levl - 1) as l, vers v from qzmap101"},
      // TOP becomes LIMIT at the end of its own select; not with PERCENT,
      // WITH TIES or a set operator.
      {"select top (2) a from t where n in (select top 1 n from t order by n) order by a;select "
       "distinct TOP 3 a from t -- c",
       "select a from t where n in (select n from t order by n limit 1) order by a limit "
       "(2);select "
       "distinct a from t limit 3 -- c"},
      {"select top 5 percent a from t; select top 1 a from t union select b from t",
       "select top 5 percent a from t; select top 1 a from t union select b from t"},
      // Literals, names with digits, numbers with exponents and casts SQLite
      // does alike stay; 0x... is a binary value, a plain literal's text
      // goes through code page 1252, a national literal's does not.
      {"select 'a+b', 'cast(x as varchar)', '10and', N'it''s' from qzmap100 t220",
       "select 'a+b', 'cast(x as varchar)', '10and', 'it''s' from qzmap100 t220"},
      {"select 1e5, 2.5E-3, 0x1F, 0x102, cast(n as int), 'a\u0141\u00e9', N'\u0141' from t order "
       "by "
       "a desc",
       "select 1e5, 2.5E-3, X'1F', X'0102', cast(n as int), 'a?\u00e9', '\u0141' from t order by a "
       "desc"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Translate(c.in), c.out) << c.in;
}

// The types the embedded database keeps come from the SQL Server script: it
// must name every column of the embedded schema, in the same order (an
// INSERT without a column list writes the values in that order).
TEST(ColumnTypes, TheSqlServerScriptDeclaresEveryEmbeddedColumnInOrder) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  Register(db);
  ASSERT_EQ(sqlite3_exec(db, schema::EmbeddedSchemaSql(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* tables = nullptr;
  sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table'", -1, &tables,
                     nullptr);
  int count = 0;
  while (sqlite3_step(tables) == SQLITE_ROW) {
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(tables, 0));
    std::vector<std::string> embedded;
    sqlite3_stmt* info = nullptr;
    sqlite3_prepare_v2(db, ("select name from pragma_table_info('" + table + "')").c_str(), -1,
                       &info, nullptr);
    while (sqlite3_step(info) == SQLITE_ROW) {
      embedded.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
    }
    sqlite3_finalize(info);
    const std::vector<tsql::Column>* declared = tsql::ProfileTableColumns(table);
    ASSERT_NE(declared, nullptr) << table;
    std::vector<std::string> names;
    for (const tsql::Column& column : *declared) names.push_back(column.name);
    EXPECT_EQ(names, embedded) << table;
    ++count;
  }
  sqlite3_finalize(tables);
  sqlite3_close(db);
  EXPECT_GT(count, 20);
  using Kind = tsql::ColumnType::Kind;
  const struct {
    const char* table;
    const char* column;
    Kind kind;
    std::size_t length;
  } kTypes[] = {{"qzmap100", "DSCA", Kind::kVarchar, 255},
                {"qzmap130", "qury", Kind::kVarchar, 4000},
                {"qzlib100", "fdef", Kind::kVarchar, tsql::ColumnType::kMax},
                {"QZUSR110", "usrn", Kind::kVarbinary, 255},
                {"qzmap101", "levl", Kind::kInt, 0},
                {"qzmap120", "ldat", Kind::kOther, 0}};
  for (const auto& t : kTypes) {
    const tsql::ColumnType* type = tsql::ProfileColumnType(t.table, t.column);
    ASSERT_NE(type, nullptr) << t.column;
    EXPECT_EQ(type->kind, t.kind) << t.column;
    EXPECT_EQ(type->length, t.length) << t.column;
  }
  // Constraints among the columns are no columns; an unsized varchar is 1.
  const std::vector<tsql::TableColumns> read = tsql::ReadCreateTables(
      "CREATE TABLE dbo.[T] (id int IDENTITY(1,1) NOT NULL, [v] varchar, b varbinary(max), "
      "CONSTRAINT pk PRIMARY KEY (id), PRIMARY KEY (v, b)); CREATE INDEX i ON t (id)");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].table, "t");
  ASSERT_EQ(read[0].columns.size(), 3u);
  EXPECT_TRUE(read[0].columns[0].identity);
  EXPECT_FALSE(read[0].columns[1].identity);
  EXPECT_EQ(read[0].columns[1].name, "v");
  EXPECT_EQ(read[0].columns[1].type.length, 1u);
  EXPECT_EQ(read[0].columns[2].type.length, tsql::ColumnType::kMax);
}

TEST_F(DialectDbTest, CollationIsAConsistentTotalOrder) {
  const std::vector<std::string> values = {
      "abc",    "ABC",   "abc  ", "abd",    "\u00E0bc",  "\u00C0BC",  "ab",       "a b",
      "",       " ",     "\tabc", "abc\t",  "z",         "\u017E",    "\u017D",   "\u00FF",
      "\u0178", "a\xFF", "a?",    "\u4E2D", "abc\u00E0", "abc\u00C0", "abc\u00E1"};
  const std::size_t n = values.size();
  std::vector<std::vector<int>> cmp(n, std::vector<int>(n));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      cmp[i][j] = std::stoi(Sql("select (?1 > ?2 collate SQLSERVER) - (?1 < ?2 collate SQLSERVER)",
                                {values[i], values[j]})
                                .substr(4));
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      EXPECT_EQ(cmp[i][j], -cmp[j][i]) << values[i] << " vs " << values[j];
      for (std::size_t k = 0; k < n; ++k) {
        if (cmp[i][j] <= 0 && cmp[j][k] <= 0) {
          EXPECT_LE(cmp[i][k], 0) << values[i] << ", " << values[j] << ", " << values[k];
        }
      }
    }
  }
  EXPECT_EQ(cmp[0][1], 0);    // case
  EXPECT_EQ(cmp[0][2], 0);    // trailing blanks
  EXPECT_EQ(cmp[4][5], 0);    // case of accented letters
  EXPECT_NE(cmp[0][4], 0);    // accents
  EXPECT_EQ(cmp[13][14], 0);  // z caron
  EXPECT_EQ(cmp[15][16], 0);  // y diaeresis
  EXPECT_EQ(cmp[8][9], 0);    // empty and blank
  EXPECT_NE(cmp[0][10], 0);   // only ' ' is trimmed, and only at the end
  EXPECT_NE(cmp[0][11], 0);
  EXPECT_EQ(cmp[17][18], 0);  // what cp1252 cannot hold compares as '?'
  EXPECT_EQ(cmp[20][21], 0);  // a shared start, then letters that differ in case
  EXPECT_NE(cmp[20][22], 0);
}

TEST_F(DialectDbTest, CastsGiveTextOrBlobAndNumbersTheirBytes) {
  Sql("insert into t(a) values ('abc')");
  EXPECT_EQ(Sql("select cast(a as varchar) from t"), "text:abc");
  EXPECT_EQ(Sql("select cast(a as varbinary) from t"), "blob:abc");
  EXPECT_EQ(Sql("select cast(n as varchar) from t"), "null:");
  EXPECT_EQ(Sql("select cast('' as varbinary)"), "blob:");
  EXPECT_EQ(Sql("select cast(cast(a as varchar(2)) as varbinary(max)) from t"), "blob:ab");
  // A number too long for the length becomes '*'.
  EXPECT_EQ(Sql("select cast(123456 as varchar(3))"), "text:*");
  // A 0 byte cannot stand in statement text; it comes as a parameter.
  const std::string zero(1, '\0');
  Sql("insert into t(n, v) values (0, cast(? as varbinary))", {Cp1252ToUtf8(zero)});
  EXPECT_EQ(Sql("select v from t where n = 0"), "blob:" + zero);
  EXPECT_EQ(Sql("select cast(v as varchar) from t where n = 0"), "text:" + zero);
}

TEST_F(DialectDbTest, PlusConcatenatesTextAndAddsNumbers) {
  Sql("insert into t(a, b, n, v) values ('ab', 'cd', 1, cast('ef' as varbinary))");
  EXPECT_EQ(Sql("select a + v + 'x' from t"), "text:abefx");
  EXPECT_EQ(Sql("select v + v from t"), "blob:efef");
  EXPECT_EQ(Sql("select CAST(a + 'xyz' AS VarChar(4)) from t"), "text:abxy");
  EXPECT_EQ(Sql("select ' 4 '+n from t"), "int:5");
  EXPECT_EQ(Sql("select 10-2+3*2"), "int:14");
  // Signs and a function's result as operands.
  EXPECT_EQ(Sql("select count(*)+1 from t where n = +1 and -n + 1 = 0"), "int:2");
  std::string error;
  Sql("select a+n from t", {}, &error);
  EXPECT_NE(error.find("Conversion failed"), std::string::npos) << error;
  Sql("select 2147483647+1", {}, &error);
  EXPECT_NE(error.find("Arithmetic overflow"), std::string::npos) << error;
}

TEST_F(DialectDbTest, LikeFollowsSqlServerVarchar) {
  const struct {
    std::string value;
    std::string predicate;
    long long count;
  } kCases[] = {
      {"ABC", "a like 'a%'", 1},
      {"abc", "a like '%b'", 0},
      {"abc", "a like 'a_c'", 1},
      {"\u00C9T\u00C9", "a like '\u00E9t\u00E9'", 1},
      {"ete", "a like '\u00E9t\u00E9'", 0},
      {"abc", "a like '[a-c]B%'", 1},
      {"dbc", "a like '[a-c]bc'", 0},
      {"dbc", "a like '[^a-c]bc'", 1},
      {"50%", "a like '50!%' escape '!'", 1},
      {"500", "a like '50!%' escape '!'", 0},
      {"abc", "a not like 'A%'", 0},
      {"a[b", "a like 'a[b'", 1},
  };
  for (const auto& c : kCases) {
    Sql("delete from t");
    Sql("insert into t(a) values (?)", {c.value});
    EXPECT_EQ(Sql("select count(*) from t where " + c.predicate), "int:" + std::to_string(c.count))
        << c.value << " / " << c.predicate;
  }
}

TEST(TsqlLexer, SeveralStatementsOnlyWhenTextFollowsASemicolon) {
  for (const char* one : {"select 1", "select 1;", "select 1 ; ;  -- done\n", "select ';x'",
                          "select [a;b] /* ; */", "delete t where a = 'x;y';"}) {
    EXPECT_FALSE(tsql::HasSeveralStatements(one)) << one;
  }
  for (const char* two : {"select 1; delete from t", "select 1;select 2", "select 1; -- c\nx"}) {
    EXPECT_TRUE(tsql::HasSeveralStatements(two)) << two;
  }
}

}  // namespace
}  // namespace migprof::sqlite_dialect
