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

}  // namespace
}  // namespace migprof::testing
