#include <gtest/gtest.h>

#include "maprules/rule_fixture.h"
#include "migprof/dispatch.h"

namespace migprof::testing {
namespace {

using MapRuleDispatch = MapRuleTest;

TEST_F(MapRuleDispatch, MembersSitAtTheirPositionsAndReachTheObject) {
  struct Case {
    const char* name;
    int position;
    std::size_t params;
    dispatch::ResultType result;
  } cases[] = {
      {"CopyToCurrentVRC", 4, 12, dispatch::ResultType::kBoolean},
      {"DeleteMapRules", 11, 9, dispatch::ResultType::kNone},
      {"DeleteData", 12, 5, dispatch::ResultType::kNone},
      {"ExpireMapRules", 13, 10, dispatch::ResultType::kNone},
  };
  for (const Case& c : cases) {
    const dispatch::Member* member = dispatch::FindMember(c.name);
    ASSERT_NE(member, nullptr) << c.name;
    EXPECT_EQ(member->position, c.position);
    EXPECT_EQ(member->params.size(), c.params);
    EXPECT_EQ(member->result, c.result);
  }

  AddProfiles();
  AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "1");
  const dispatch::Member* copy = dispatch::FindMember("copytocurrentvrc");
  std::vector<Variant> raw = {
      Variant("1"), Variant(Integer{2}), "UV", "UR", "UC", "xy", "uvw", "1", "Me", Variant::Null(),
      "zzuvw9",     Variant(Integer{1})};
  std::vector<Variant> args;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    args.push_back(dispatch::CoerceArgument(raw[i], copy->params[i].type));
  }
  // A flag of 1 is not True: the main table is copied, the list ignored.
  EXPECT_EQ(copy->invoke(object_, args).value, Variant(kTrue));
  EXPECT_EQ(RulesOf("qzmap120", "tcpac, lusr", 2), (Table{{"xy", "me"}}));

  const dispatch::Member* expire = dispatch::FindMember("ExpireMapRules");
  args = {Variant(Integer{2}), "UV", "UR", "UC", "xy", "uvw", "1", "", Variant(Integer{0}),
          Variant(Integer{-1})};
  expire->invoke(object_, args);
  EXPECT_EQ(RulesOf("qzmap120", "stat", 2), (Table{{"X"}}));
}

}  // namespace
}  // namespace migprof::testing
