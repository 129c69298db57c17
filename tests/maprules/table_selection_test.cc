#include "maprules/table_selection.h"

#include <gtest/gtest.h>

#include "maprules/field_element.h"
#include "maprules/select_statement.h"
#include "maprules/text_values.h"
#include "migprof/com_error.h"

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
  // Only True (-1) selects the list; 1 keeps the main table.
  for (Boolean flag : {kFalse, Boolean(1)}) {
    TableSelection single = BuildTableSelection(flag, "xy", "uvw", "1", "abcde9");
    EXPECT_FALSE(single.multi_table);
    EXPECT_EQ(single.tables, (std::vector<TableCode>{{"xy", "uvw", "1"}}));
    EXPECT_EQ(single.table_filter, " tcpac='xy' and tcmod='uvw' and tflno='1'");
    EXPECT_EQ(single.relation_filter, "");
  }
  TableSelection multi = BuildTableSelection(kTrue, "mm", "mmm", "1", "xyuvw123,xyuvw124,");
  EXPECT_EQ(multi.tables.size(), 3u);
  EXPECT_EQ(multi.table_filter,
            " ((tcpac='xy' and tcmod='uvw' and tflno='123') or (tcpac='xy' and tcmod='uvw' and "
            "tflno='124') or (tcpac='' and tcmod='' and tflno=''))");
  EXPECT_EQ(multi.relation_filter,
            " ((bpac='xy' and bmod='uvw' and bflno='123') or (bpac='xy' and bmod='uvw' and "
            "bflno='124') or (bpac='' and bmod='' and bflno=''))");
  TableSelection empty = BuildTableSelection(kTrue, "xy", "uvw", "1", "");
  EXPECT_TRUE(empty.tables.empty());
  EXPECT_EQ(empty.table_filter, ")");
  EXPECT_EQ(empty.relation_filter, ")");
  // A quote cannot end a literal early.
  EXPECT_EQ(BuildTableSelection(kFalse, "o'", "m", "1", "").table_filter,
            " tcpac='o''' and tcmod='m' and tflno='1'");
}

TEST(MapRuleText, TrimLowerAndMid) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("\ta\t "), "\ta\t");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(LowerCase("J.Smith ÄÖÜ ÉŒ Σ"), "j.smith äöü éœ σ");
  EXPECT_EQ(LowerCase("A\xff"
                      "B"),
            "a\xff"
            "b");  // invalid UTF-8 kept
  EXPECT_EQ(MidText("aébc", 2, 2), "éb");
  EXPECT_EQ(MidText("ab", 5), "");
  EXPECT_TRUE(TrimmedValue(Variant::Null()).IsNull());
  EXPECT_EQ(TrimmedValue(Variant(" x ")), Variant("x"));
}

TEST(MapRuleFieldElements, ArrayFieldsExpandFromOne) {
  auto names = [](Integer depth) {
    Texts out;
    for (FieldElements elements(depth); elements.Next();) out.push_back(elements.Name("qty"));
    return out;
  };
  EXPECT_EQ(names(0), Texts{"qty"});
  EXPECT_EQ(names(1), Texts{"qty(1)"});
  EXPECT_EQ(names(3), (Texts{"qty(1)", "qty(2)", "qty(3)"}));
  EXPECT_EQ(names(-2), Texts{});
  // The 16-bit index overflows after the last element of the deepest field.
  FieldElements deepest(32767);
  int seen = 0;
  try {
    while (deepest.Next()) ++seen;
    ADD_FAILURE() << "no overflow";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), errc::kOverflow);
  }
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
