// Coverage against a count made here, element by element with a statement
// of its own, on every profile of the demo estate; and on an estate with
// stale rules, a table without a dictionary entry and a partly mapped array.
#include "insight/coverage.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "component/sql_text.h"
#include "insight_fixture.h"

namespace migprof::testing {
namespace {

struct Expected {
  long long elements = 0, mapped = 0, expired = 0, unmapped = 0, rules = 0, stale = 0;
};

class CoverageTest : public InsightTest {
 protected:
  // Counts one profile and VRC: the dictionary rows expanded by their depth
  // here, each element's rules asked for one by one.
  std::map<std::string, Expected> Count(Integer mprf, const std::string& vrc_where) {
    const std::string tapp = db_.Value("select tapp from qzmap100 where mprf = " + SqlNumber(mprf));
    const std::string rules = " where mprf = " + SqlNumber(mprf) + vrc_where;
    std::map<std::string, Expected> tables;
    std::set<std::string> elements;  // "table/element"
    for (const auto& row : db_.Rows(
             "select cpac, cmod, flno, fdnm, dept from qzddi150 where appl = " + SqlQuoted(tapp))) {
      const std::string table = row[0] + row[1] + row[2];
      const int depth = std::stoi(row[4]);
      const std::string in_table = " and tcpac = " + SqlQuoted(row[0]) +
                                   " and tcmod = " + SqlQuoted(row[1]) +
                                   " and tflno = " + SqlQuoted(row[2]);
      const std::string table_stat =
          db_.Rows("select stat from qzmap120" + rules + in_table).empty()
              ? ""
              : db_.Value("select stat from qzmap120" + rules + in_table);
      for (int i = depth == 0 ? 0 : 1; i <= depth; ++i) {
        const std::string name = i == 0 ? row[3] : row[3] + "(" + std::to_string(i) + ")";
        elements.insert(table + "/" + name);
        Expected& e = tables[table];
        ++e.elements;
        const auto stats = db_.Rows("select stat from qzmap140" + rules + in_table +
                                    " and fdnm = " + SqlQuoted(name));
        bool in_force = false;
        for (const auto& stat : stats) in_force |= stat[0] != "X" && table_stat != "X";
        ++(in_force ? e.mapped : stats.empty() ? e.unmapped : e.expired);
      }
    }
    for (const auto& row : db_.Rows("select tcpac, tcmod, tflno, fdnm from qzmap140" + rules)) {
      const std::string table = row[0] + row[1] + row[2];
      Expected& e = tables[table];
      ++e.rules;
      if (!elements.count(table + "/" + row[3])) ++e.stale;
    }
    return tables;
  }

  void ExpectMatches(const insight::Coverage& coverage,
                     const std::map<std::string, Expected>& count) {
    Expected total;
    std::size_t tables_with_rows = 0;
    for (const insight::TableCoverage& table : coverage.tables) {
      const std::string key = table.tcpac + table.tcmod + table.tflno;
      auto found = count.find(key);
      if (found == count.end()) {
        EXPECT_EQ(table.counts.elements + table.counts.field_rules, 0) << key;
        continue;
      }
      ++tables_with_rows;
      const Expected& e = found->second;
      const insight::CoverageCounts& c = table.counts;
      EXPECT_EQ(c.elements, e.elements) << key;
      EXPECT_EQ(c.mapped, e.mapped) << key;
      EXPECT_EQ(c.expired, e.expired) << key;
      EXPECT_EQ(c.unmapped, e.unmapped) << key;
      EXPECT_EQ(c.field_rules, e.rules) << key;
      EXPECT_EQ(c.stale_rules, e.stale) << key;
      EXPECT_EQ(static_cast<long long>(table.unmapped.size()), e.unmapped) << key;
      total.elements += e.elements;
      total.mapped += e.mapped;
      total.unmapped += e.unmapped;
      total.stale += e.stale;
    }
    EXPECT_EQ(tables_with_rows, count.size());
    EXPECT_EQ(coverage.total.elements, total.elements);
    EXPECT_EQ(coverage.total.mapped, total.mapped);
    EXPECT_EQ(coverage.total.unmapped, total.unmapped);
    EXPECT_EQ(coverage.total.stale_rules, total.stale);
  }

  const insight::TableCoverage& TableOf(const insight::Coverage& coverage, const char* key) {
    for (const insight::TableCoverage& table : coverage.tables) {
      if (table.tcpac + table.tcmod + table.tflno == key) return table;
    }
    throw std::out_of_range(key);
  }
};

TEST_F(CoverageTest, EveryDemoProfileMatchesAnIndependentCount) {
  long long mapped_anywhere = 0;
  for (const app::DemoProfile& p : app::DemoProfiles()) {
    SCOPED_TRACE(p.mprf);
    const insight::Coverage coverage =
        insight::ProfileCoverage(source(), insight::RuleSet{p.mprf, std::nullopt});
    EXPECT_EQ(coverage.target_app, p.tapp);
    ExpectMatches(coverage, Count(p.mprf, insight::AndVrc(p.vers, p.rele, p.cust)));
    mapped_anywhere += coverage.total.mapped;
    // A derived profile's own rules are all copies of its parent's.
    if (std::string(p.parent) != "__") {
      ASSERT_TRUE(coverage.parent.has_value());
      EXPECT_EQ(coverage.total.inherited, coverage.total.field_rules);
    } else {
      EXPECT_FALSE(coverage.parent.has_value());
    }
  }
  EXPECT_GT(mapped_anywhere, 0);
  // Under the development VRC the standard profile holds no rules: nothing mapped.
  const app::DemoProfile& standard = app::DemoProfiles().front();
  const insight::Coverage development = insight::ProfileCoverage(
      source(), insight::RuleSet{standard.mprf,
                                 std::vector<String>{standard.dver, standard.drel, standard.dcus}});
  EXPECT_EQ(development.total.mapped, 0);
  EXPECT_EQ(development.total.unmapped, development.total.elements);
}

TEST_F(CoverageTest, CraftedEstateFindsStaleRulesMissingTablesAndPartArrays) {
  const std::string key = "100,'V10','R1','STD'";
  db_.Exec("delete from qzmap140 where mprf = 100 and tflno = '401' and fdnm = 'disc(2)'");
  for (const char* statement : {
           "insert into qzmap140 (mprf,vers,rele,cust,tcpac,tcmod,tflno,fdnm,dnum,stat) values "
           "(KEY,'or','itm','001','gone',0,'N')",
           "insert into qzmap140 (mprf,vers,rele,cust,tcpac,tcmod,tflno,fdnm,dnum,stat) values "
           "(KEY,'or','itm','001','pric(4)',4,'N')",
           "insert into qzmap120 (mprf,vers,rele,cust,tcpac,tcmod,tflno,stat) values "
           "(KEY,'or','zzz','999','N')",
           "insert into qzmap140 (mprf,vers,rele,cust,tcpac,tcmod,tflno,fdnm,dnum,stat) values "
           "(KEY,'or','zzz','999','a',0,'N')",
           "insert into qzmap130 (mprf,vers,rele,cust,tcpac,tcmod,tflno,scpac,scmod,sflno) values "
           "(KEY,'or','sls','400','qz','tbl','NOPE')",
           "insert into qzmap160 (mprf,vers,rele,cust,tcpac,tcmod,tflno,func) values "
           "(KEY,'or','sls','400','old_price')",
           "update qzmap140 set stat = 'X' where mprf = 100 and tflno = '001' and fdnm = 'item'",
       }) {
    std::string sql = statement;
    if (sql.find("KEY") != std::string::npos) sql.replace(sql.find("KEY"), 3, key);
    db_.Exec(sql);
  }
  const insight::Coverage coverage =
      insight::ProfileCoverage(source(), insight::RuleSet{100, std::nullopt});
  ExpectMatches(coverage, Count(100, " and vers = 'V10' and rele = 'R1' and cust = 'STD'"));

  struct Case {
    const char* table;
    bool in_dictionary;
    std::vector<String> unmapped, expired, stale, missing_sources, missing_functions;
  } cases[] = {
      {"orsls401", true, {"disc(2)"}, {}, {}, {}, {}},
      {"oritm001", true, {"cdat"}, {"item"}, {"gone", "pric(4)"}, {}, {}},
      {"orzzz999", false, {}, {}, {"a"}, {}, {}},
      {"orsls400", true, {}, {}, {}, {"qz tbl NOPE"}, {"old_price"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const insight::TableCoverage& table = TableOf(coverage, c.table);
    EXPECT_EQ(table.in_dictionary, c.in_dictionary);
    EXPECT_EQ(table.unmapped, c.unmapped);
    EXPECT_EQ(table.expired, c.expired);
    EXPECT_EQ(table.stale, c.stale);
    EXPECT_EQ(table.missing_sources, c.missing_sources);
    EXPECT_EQ(table.missing_functions, c.missing_functions);
  }
  // Counting some tables only gives each of them what the whole count gives
  // it; a table nobody has is left out.
  const insight::Coverage some =
      insight::TablesCoverage(source(), insight::RuleSet{100, std::nullopt},
                              {{"or", "sls", "401"},
                               {"or", "itm", "001"},
                               {"or", "zzz", "999"},
                               {"or", "sls", "400"},
                               {"or", "cus", "100"},
                               {"no", "such", "1"}});
  ASSERT_EQ(some.tables.size(), 5u);
  insight::CoverageCounts sum;
  for (const insight::TableCoverage& table : some.tables) {
    const std::string key = table.tcpac + table.tcmod + table.tflno;
    EXPECT_EQ(table, TableOf(coverage, key.c_str())) << key;
    sum.elements += table.counts.elements;
    sum.mapped += table.counts.mapped;
    sum.stale_rules += table.counts.stale_rules;
  }
  EXPECT_EQ(some.total.elements, sum.elements);
  EXPECT_EQ(some.total.mapped, sum.mapped);
  EXPECT_EQ(some.total.stale_rules, sum.stale_rules);
  EXPECT_TRUE(
      insight::TablesCoverage(source(), insight::RuleSet{100, std::nullopt}, {}).tables.empty());

  // The customers' table rule is expired: its mapped elements count apart.
  const insight::TableCoverage& customers = TableOf(coverage, "orcus100");
  EXPECT_EQ(customers.table_rule, std::optional<String>("X"));
  EXPECT_EQ(customers.counts.mapped, 0);
  EXPECT_EQ(customers.counts.expired, customers.counts.elements);

  EXPECT_EQ(insight::FieldElements("disc", 3),
            (std::vector<String>{"disc(1)", "disc(2)", "disc(3)"}));
  EXPECT_EQ(insight::FieldElements("disc", 0), std::vector<String>{"disc"});
  EXPECT_EQ(RaisedBy([&] {
              insight::ProfileCoverage(source(), insight::RuleSet{999, std::nullopt});
            }).number(),
            insight::kInsightRefused);
}

}  // namespace
}  // namespace migprof::testing
