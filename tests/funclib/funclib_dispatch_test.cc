#include <gtest/gtest.h>

#include "funclib/library_fixture.h"
#include "migprof/dispatch.h"

namespace migprof::testing {
namespace {

using FuncLibDispatch = LibraryTest;

// Calls a member by name with arguments coerced as a scripting host does.
Variant Call(TOVRHandleMigProf& object, const char* name, std::vector<Variant> args) {
  const dispatch::Member* member = dispatch::FindMember(name);
  EXPECT_EQ(member->params.size(), args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    args[i] = dispatch::CoerceArgument(args[i], member->params[i].type);
  }
  return member->invoke(object, args).value;
}

TEST_F(FuncLibDispatch, MembersTakeTheirArgumentsInOrder) {
  EXPECT_EQ(dispatch::FindMember("Func_CopyToCurrentVRC")->position, 14);
  EXPECT_EQ(dispatch::FindMember("Func_Expire")->position, 15);
  EXPECT_EQ(dispatch::FindMember("Func_Delete")->position, 16);
  Insert("qzmap100", "mprf, vers, rele, cust", "1, 'SV', 'SR', 'SC'");
  Insert("qzmap100", "mprf, vers, rele, cust", "2, 'UV', 'UR', 'UC'");
  Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat", "1, 'SV', 'SR', 'SC', 'calc', 'N'");

  EXPECT_EQ(Call(object_, "func_copytocurrentvrc", {"1", "2", "UV", "UR", "UC", "calc", "u"}),
            Variant(kTrue));
  EXPECT_EQ(Statuses(2), (Table{{"UV", "N"}}));
  EXPECT_EQ(Call(object_, "Func_Expire", {"2", "UV", "UR", "UC", "calc", "u", "1"}),
            Variant(kTrue));
  EXPECT_EQ(Statuses(2), (Table{{"UV", "X"}}));
  EXPECT_EQ(Call(object_, "Func_Delete", {"2", "UV", "UR", "UC", "calc", "u"}), Variant(kTrue));
  EXPECT_EQ(Statuses(2), Table{});
}

}  // namespace
}  // namespace migprof::testing
