// Where used: lineage trees and the profiles whose rules name a table or a
// function, checked against how the demo estate was built.
#include <gtest/gtest.h>

#include <set>

#include "insight_fixture.h"

namespace migprof::testing {
namespace {

using insight::Json;

// The demo profile whose VRC is vrc ("{vers}_{rele}_{cust}"), or null.
const app::DemoProfile* ProfileWithVrc(const std::string& vrc) {
  for (const app::DemoProfile& p : app::DemoProfiles()) {
    if (std::string(p.vers) + "_" + p.rele + "_" + p.cust == vrc) return &p;
  }
  return nullptr;
}

// (child, parent) for every profile in tree, recursively.
void CollectEdges(const Json& tree, long parent, std::set<std::pair<long, long>>& edges) {
  for (const Json& item : tree) {
    edges.emplace(item["mprf"].get<long>(), parent);
    CollectEdges(item["derived"], item["mprf"].get<long>(), edges);
  }
}

std::set<long> Numbers(const Json& list) {
  std::set<long> numbers;
  for (const Json& item : list) numbers.insert(item["mprf"].get<long>());
  return numbers;
}

class WhereUsedTest : public InsightTest {};

TEST_F(WhereUsedTest, LineageFollowsTheDerivationsOfTheEstate) {
  for (const app::DemoProfile& p : app::DemoProfiles()) {
    SCOPED_TRACE(p.mprf);
    Json lineage = wire::LineageJson(insight::Lineage(source(), p.mprf));
    std::vector<long> chain;
    for (const app::DemoProfile* a = ProfileWithVrc(p.parent); a; a = ProfileWithVrc(a->parent)) {
      chain.push_back(a->mprf);
    }
    std::vector<long> ancestors;
    for (const Json& a : lineage["ancestors"]) ancestors.push_back(a["mprf"].get<long>());
    EXPECT_EQ(ancestors, chain);

    // Every profile below p, with its own parent.
    std::set<std::pair<long, long>> expected;
    for (const app::DemoProfile& d : app::DemoProfiles()) {
      for (const app::DemoProfile* a = ProfileWithVrc(d.parent); a; a = ProfileWithVrc(a->parent)) {
        if (a->mprf == p.mprf) expected.emplace(d.mprf, ProfileWithVrc(d.parent)->mprf);
      }
    }
    std::set<std::pair<long, long>> edges;
    CollectEdges(lineage["derived"], p.mprf, edges);
    EXPECT_EQ(edges, expected);
  }
  EXPECT_EQ(RaisedBy([&] { insight::Lineage(source(), 999); }).number(), insight::kInsightRefused);
}

TEST_F(WhereUsedTest, TablesAndFunctionsAreFoundInEveryProfileThatUsesThem) {
  // The estate copies or/cus/100 into 110 and or/sls/400 into 110 and 120;
  // or/itm/001 stays in 100.
  struct Case {
    const char* pac;
    const char* mod;
    const char* flno;
    std::set<long> profiles;
  } cases[] = {
      {"or", "sls", "400", {100, 110, 120}},
      {"or", "cus", "100", {100, 110}},
      {app::kDemoUncopiedTable[0], app::kDemoUncopiedTable[1], app::kDemoUncopiedTable[2], {100}},
      {"zz", "zzz", "999", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pac) + c.mod + c.flno);
    EXPECT_EQ(
        Numbers(wire::TableUsageJson(insight::TableUse(source(), c.pac, c.mod, c.flno))["used_by"]),
        c.profiles);
  }
  // conv_date is the function of or/sls/400 and was copied into 110 only.
  Json conv = wire::FunctionUsageJson(insight::FunctionUse(source(), "conv_date"));
  EXPECT_EQ(Numbers(conv["calls"]), (std::set<long>{100, 110, 120}));
  EXPECT_EQ(Numbers(conv["holds"]), (std::set<long>{100, 110}));
  Json none = wire::FunctionUsageJson(insight::FunctionUse(source(), "no_such_function"));
  EXPECT_TRUE(none["calls"].empty() && none["holds"].empty());
}

// The embedded database and MariaDB both page with "limit ... offset ...".
String LimitOffset(long offset, long count) {
  return " limit " + std::to_string(count) + " offset " + std::to_string(offset);
}

// Concatenates the pages of a paged list, count items long each, checking
// that every page states the same total.
template <typename Item, typename Read>
std::vector<Item> AllPages(long count, long long expected_total, Read read) {
  std::vector<Item> all;
  for (long offset = 0;; offset += count) {
    insight::UsagePage<Item> page = read(offset, count);
    EXPECT_EQ(page.total, expected_total) << "page at " << offset;
    EXPECT_LE(static_cast<long>(page.items.size()), count);
    if (page.items.empty()) break;
    all.insert(all.end(), page.items.begin(), page.items.end());
  }
  return all;
}

std::vector<std::string> Texts(const std::vector<insight::Use>& uses) {
  std::vector<std::string> texts;
  for (const insight::Use& use : uses) {
    std::string text = std::to_string(use.scope.mprf) + " " + use.scope.vers + "_" +
                       use.scope.rele + "_" + use.scope.cust + ":";
    for (const String& table : use.tables) text += " " + table;
    texts.push_back(text);
  }
  return texts;
}

TEST_F(WhereUsedTest, PagesOfAUseListMakeUpTheWholeList) {
  const std::pair<std::string, std::string> tables[] = {
      {"or", "sls"}, {"or", "cus"}, {app::kDemoUncopiedTable[0], app::kDemoUncopiedTable[1]}};
  const char* flnos[] = {"400", "100", app::kDemoUncopiedTable[2]};
  for (int t = 0; t < 3; ++t) {
    const auto& [pac, mod] = tables[t];
    const insight::TableUsage whole = insight::TableUse(source(), pac, mod, flnos[t]);
    for (long count : {1L, 2L, 50L}) {
      SCOPED_TRACE(pac + mod + flnos[t] + " by " + std::to_string(count));
      const std::vector<insight::Use> paged =
          AllPages<insight::Use>(count, whole.used_by.size(), [&](long offset, long n) {
            return insight::TableUsePage(source(), pac, mod, flnos[t], offset, n, LimitOffset);
          });
      EXPECT_EQ(Texts(paged), Texts(whole.used_by));
    }
  }
  const insight::FunctionUsage conv = insight::FunctionUse(source(), "conv_date");
  for (long count : {1L, 2L, 50L}) {
    SCOPED_TRACE(count);
    EXPECT_EQ(Texts(AllPages<insight::Use>(count, conv.calls.size(),
                                           [&](long offset, long n) {
                                             return insight::FunctionCallsPage(
                                                 source(), "conv_date", offset, n, LimitOffset);
                                           })),
              Texts(conv.calls));
    std::vector<insight::FunctionHolder> holders =
        AllPages<insight::FunctionHolder>(count, conv.holds.size(), [&](long offset, long n) {
          return insight::FunctionHoldersPage(source(), "conv_date", offset, n, LimitOffset);
        });
    ASSERT_EQ(holders.size(), conv.holds.size());
    for (std::size_t i = 0; i < holders.size(); ++i) {
      EXPECT_EQ(holders[i].scope, conv.holds[i].scope);
      EXPECT_EQ(holders[i].status, conv.holds[i].status);
    }
  }
  EXPECT_EQ(insight::TableUsePage(source(), "zz", "zzz", "999", 0, 50, LimitOffset).total, 0);
}

TEST_F(WhereUsedTest, ALongUseListIsCountedOnlyAsFarAsItsPageLooksAhead) {
  // One more scope than the count looks ahead from the first page: table
  // rules in kUsesCountedAhead profiles, with two field rules each, and a
  // field rule in one profile more (so that the field rules' table names
  // more rows than the count looks ahead to, but no more scopes).
  const long scopes = insight::kUsesCountedAhead + 1;
  for (long from = 0; from < scopes; from += 200) {
    std::string values, fields;
    for (long mprf = from; mprf < std::min(scopes - 1, from + 200); ++mprf) {
      const std::string scope = std::to_string(5000 + mprf) + ", 'L', 'L', 'L', 'lo', 'ngl', '1'";
      values += std::string(values.empty() ? "" : ", ") + "(" + scope + ")";
      fields += std::string(fields.empty() ? "" : ", ") + "(" + scope + ", 'a'), (" + scope +
                ", 'b')";
    }
    if (!values.empty()) {
      db_.Exec("insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno) values " +
               values);
      db_.Exec("insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm) values " +
               fields);
    }
  }
  db_.Exec("insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm) values (" +
           std::to_string(5000 + scopes - 1) + ", 'L', 'L', 'L', 'lo', 'ngl', '1', 'f')");

  const auto page = [&](long offset) {
    return insight::TableUsePage(source(), "lo", "ngl", "1", offset, 50, LimitOffset);
  };
  insight::UsagePage<insight::Use> first = page(0);
  EXPECT_TRUE(first.more);
  EXPECT_EQ(first.total, insight::kUsesCountedAhead);
  ASSERT_EQ(first.items.size(), 50u);
  EXPECT_EQ(first.items.front().scope.mprf, 5000);
  // From the second page on, the count reaches the end: exact again.
  insight::UsagePage<insight::Use> last = page(scopes - 1);
  EXPECT_FALSE(last.more);
  EXPECT_EQ(last.total, scopes);
  ASSERT_EQ(last.items.size(), 1u);
  EXPECT_EQ(last.items[0].scope.mprf, 5000 + scopes - 1);
  EXPECT_EQ(last.items[0].tables, std::vector<std::string>{"qzmap140"});
  insight::UsagePage<insight::Use> second = page(50);
  EXPECT_FALSE(second.more);
  EXPECT_EQ(second.total, scopes);
  EXPECT_EQ(second.items.front().scope.mprf, 5050);
  EXPECT_EQ(second.items.front().tables, (std::vector<std::string>{"qzmap120", "qzmap140"}));
}

}  // namespace
}  // namespace migprof::testing
