#include "maprules/table_selection.h"

#include <gtest/gtest.h>

#include "maprules/field_element.h"
#include "maprules/select_statement.h"
#include "maprules/text_values.h"
#include "migprof/com_error.h"
#include "testing/test_database.h"

namespace migprof::maprules {
namespace {

using Texts = std::vector<String>;

TEST(MapRuleSelection, TableCodesSplitByCharacterPosition) {
  struct Case {
    const char* entry;
    TableCode code;
  } cases[] = {
      {"xyuvw123", {"xy", "uvw", "123"}},
      {" xyuvw1", {" x", "yuv", "w1"}},
      {"xyuv", {"xy", "uv", ""}},
      {"x", {"x", "", ""}},
      {"", {"", "", ""}},
      {"äöüßé99", {"äö", "üßé", "99"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitTableCode(c.entry), c.code) << c.entry;
  }
}

TEST(MapRuleSelection, ListsSplitAtEveryComma) {
  EXPECT_EQ(SplitTableList(""), Texts{});
  EXPECT_EQ(SplitTableList("a"), Texts{"a"});
  EXPECT_EQ(SplitTableList("a,,b"), (Texts{"a", "", "b"}));
  EXPECT_EQ(SplitTableList("a, b,"), (Texts{"a", " b", ""}));
  EXPECT_EQ(SplitTableList(","), (Texts{"", ""}));
}

TEST(MapRuleSelection, FiltersOfBothModes) {
  // The filters of one and of two tables are pinned in the members'
  // statements; these are the edges. Only True (-1) selects the list, and a
  // quote cannot end a literal early.
  TableSelection single = BuildTableSelection(Boolean(1), "o'", "m", "1", "abcde9");
  EXPECT_FALSE(single.multi_table);
  EXPECT_EQ(single.tables, (std::vector<TableCode>{{"o'", "m", "1"}}));
  EXPECT_EQ(single.table_filter, " tcpac='o''' and tcmod='m' and tflno='1'");
  EXPECT_EQ(single.relation_filter, "");
  TableSelection multi = BuildTableSelection(kTrue, "mm", "mmm", "1", "xyuvw123,");
  EXPECT_TRUE(multi.multi_table);
  EXPECT_EQ(multi.tables.size(), 2u);
  EXPECT_EQ(multi.table_filter,
            " ((tcpac='xy' and tcmod='uvw' and tflno='123') or (tcpac='' and tcmod='' and "
            "tflno=''))");
  EXPECT_EQ(multi.relation_filter,
            " ((bpac='xy' and bmod='uvw' and bflno='123') or (bpac='' and bmod='' and "
            "bflno=''))");
  TableSelection empty = BuildTableSelection(kTrue, "xy", "uvw", "1", "");
  EXPECT_TRUE(empty.tables.empty());
  EXPECT_EQ(empty.table_filter, ")");
  EXPECT_EQ(empty.relation_filter, ")");
}

// Trimmed and lower-cased columns and the character positions of table
// codes are seen in the copy and in SplitTableCode; these are the edges.
TEST(MapRuleText, TrimAndLower) {
  EXPECT_EQ(TrimBlanks("\ta\t "), "\ta\t");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(LowerCase("J.Smith ÄÖÜ ÉŒ Σ"), "j.smith äöü éœ σ");
  EXPECT_EQ(LowerCase("A\xff"
                      "B"),
            "a\xff"
            "b");  // invalid UTF-8 kept
}

TEST(MapRuleFieldElements, ArrayFieldsExpandFromOne) {
  auto names = [](Integer depth) {
    Texts out;
    for (FieldElements elements(depth); elements.Next();) out.push_back(elements.Name("qty"));
    return out;
  };
  // Depths 0 and 3 are seen in the copy's statements.
  EXPECT_EQ(names(1), Texts{"qty(1)"});
  EXPECT_EQ(names(-2), Texts{});
  // The 16-bit index overflows after the last element of the deepest field.
  FieldElements deepest(32767);
  int seen = 0;
  EXPECT_EQ(migprof::testing::RaisedBy([&] {
              while (deepest.Next()) ++seen;
            }).number(),
            errc::kOverflow);
  EXPECT_EQ(seen, 32767);
}

TEST(MapRuleSelectCheck, AcceptsOneSelectOnly) {
  struct Case {
    const char* sql;
    bool accepted;
  } cases[] = {
      {"select * from qzmap120 where mprf = 1 and vers='a' and tcpac='x'", true},
      {"  SELECT a FROM t;  ", true},
      {"select * from t where x = 'delete; drop table t' and y = \"set\" and [into] = 1", true},
      {"select * from t where a in (select b from u) union all select c from v", true},
      {"select * from t -- delete t\n", true},
      {"select * from t /* nested /* drop */ x */ where a = 1", true},
      {"select * from t where c = 'it''s'", true},
      {"delete from qzmap120", false},
      {"delete qzmap120 where mprf = 1", false},
      {"select * from t; delete from t", false},
      {"select * from t delete from t", false},
      {"select * from t; select * from u", false},
      {"select * from t select * from u", false},
      {"select * into u from t", false},
      {"select * from t; exec sp_who", false},
      {"select * from t where a = 1 waitfor delay '0:0:5'", false},
      {"select * from t -- x\n update t set a = 1", false},
      {"select * from t where a = 'open", false},
      {"select * from t /* open", false},
      {"with c as (select 1) select * from c", false},
      {"(select 1)", false},
      {"", false},
      {";", false},
      {"-- select", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSingleSelectStatement(c.sql), c.accepted) << c.sql;
  }
}

}  // namespace
}  // namespace migprof::maprules
