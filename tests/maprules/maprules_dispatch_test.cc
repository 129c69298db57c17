#include <gtest/gtest.h>

#include "maprules/rule_fixture.h"
#include "migprof/dispatch.h"

namespace migprof::testing {
namespace {

using MapRuleDispatch = MapRuleTest;

TEST_F(MapRuleDispatch, CopyIsReachedByNameWithItsArgumentsInOrder) {
  AddProfiles();
  AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "1");
  const dispatch::Member* copy = dispatch::FindMember("copytocurrentvrc");
  ASSERT_NE(copy, nullptr);
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
}

}  // namespace
}  // namespace migprof::testing
