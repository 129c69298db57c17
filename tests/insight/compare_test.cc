// Compare: rules matched by their key, differences reported column by
// column, and a derived profile's rules marked against its parent.
#include <gtest/gtest.h>

#include "component/sql_text.h"
#include "insight_fixture.h"

namespace migprof::testing {
namespace {

using insight::Json;

class CompareTest : public InsightTest {
 protected:
  // Makes the VRC CMP/R1/ACME of profile 110 an exact copy of its own VRC
  // V10U/R1/ACME: every rule and function, row for row.
  void CopyToCompareVrc() {
    for (const insight::TableInfo& table : insight::AllTables()) {
      if (table.kind != insight::TableKind::kRule && table.kind != insight::TableKind::kFunction) {
        continue;
      }
      db_.Exec("delete from " + table.name + " where vers = 'CMP'");
      std::string list = insight::ColumnList(table);
      std::string select = list;
      select.replace(select.find("vers"), 4, "'CMP'");
      db_.Exec("insert into " + table.name + " (" + list + ") select " + select + " from " +
               table.name + " where mprf = 110 and vers = 'V10U'");
    }
  }
  Json CompareCopy() {
    insight::RuleSet copy{110, std::vector<String>{"CMP", "R1", "ACME"}};
    return wire::ComparisonJson(insight::Compare(source(), copy, insight::RuleSet{110, std::nullopt}));
  }
};

TEST_F(CompareTest, ReportsEachDifferenceWithItsColumns) {
  CopyToCompareVrc();
  Json same = CompareCopy();
  const long rules = same["summary"]["same"];
  EXPECT_GT(rules, 0);
  EXPECT_EQ(same["summary"]["changed"], 0);
  EXPECT_EQ(same["summary"]["only_left"], 0);
  EXPECT_EQ(same["summary"]["only_right"], 0);
  EXPECT_FALSE(same["right_is_parent"]);

  struct Case {
    const char* statement;  // applied to the CMP copy only
    const char* table;
    const char* status;
    const char* column;  // the one changed column, for "changed"
  } cases[] = {
      {"update qzmap140 set mrul = 'other' where vers = 'CMP' and fdnm = 'orno' and tflno = '400'",
       "qzmap140", "changed", "mrul"},
      {"update qzmap120 set prtx = 'p', lusr = 'zed' where vers = 'CMP' and tflno = '400'",
       "qzmap120", "changed", "prtx"},
      {"delete from qzmap160 where vers = 'CMP' and tflno = '400'", "qzmap160", "only_right", ""},
      {"insert into qzlib100 (mprf, vers, rele, cust, fnam, stat) values "
       "(110, 'CMP', 'R1', 'ACME', 'extra', 'N')",
       "qzlib100", "only_left", ""},
      {"update qzmap130 set scpac = 'zz' where vers = 'CMP' and tflno = '100'", "qzmap130", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    db_.Exec(c.statement);
    Json result = CompareCopy();
    Json found = Json::array();
    for (const Json& item : result["tables"].value(c.table, Json::array())) {
      if (item["status"] != "same") found.push_back(item);
    }
    if (std::string(c.status).empty()) {
      // A changed key column is a rule removed and a rule added.
      ASSERT_EQ(found.size(), 2u) << found.dump();
      EXPECT_EQ(found[0]["status"].get<std::string>() + found[1]["status"].get<std::string>(),
                found[0]["status"] == "only_left" ? "only_leftonly_right" : "only_rightonly_left");
    } else {
      ASSERT_EQ(found.size(), 1u) << found.dump();
      EXPECT_EQ(found[0]["status"], c.status);
      if (*c.column) {
        ASSERT_EQ(found[0]["changes"].size(), 1u) << found[0].dump();
        EXPECT_TRUE(found[0]["changes"].contains(c.column));
      }
    }
    CopyToCompareVrc();  // back to an exact copy for the next case
  }
}

TEST_F(CompareTest, DerivedProfileRulesAreMarkedAgainstTheParent) {
  struct Pair {
    Integer left, right;
    bool parent;
  } pairs[] = {{110, 100, true}, {120, 110, true}, {100, 110, false}, {120, 100, false}};
  for (const Pair& p : pairs) {
    SCOPED_TRACE(std::to_string(p.left) + " against " + std::to_string(p.right));
    Json result = wire::ComparisonJson(
        insight::Compare(source(), {p.left, std::nullopt}, {p.right, std::nullopt}));
    EXPECT_EQ(result["right_is_parent"], p.parent);
    long marked = 0;
    for (const auto& [table, items] : result["tables"].items()) {
      for (const Json& item : items) {
        const std::string status = item["status"];
        if (!p.parent || status == "only_right") {
          EXPECT_FALSE(item.contains("lineage")) << item.dump();
          continue;
        }
        const std::string expected = status == "same"      ? "inherited"
                                     : status == "changed" ? "overridden"
                                                           : "local";
        EXPECT_EQ(item["lineage"], expected) << item.dump();
        ++marked;
      }
    }
    if (p.parent) {
      EXPECT_GT(marked, 0);
    }
  }
}

}  // namespace
}  // namespace migprof::testing
