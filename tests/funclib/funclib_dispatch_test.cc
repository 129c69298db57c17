#include <gtest/gtest.h>

#include "funclib/library_fixture.h"
#include "migprof/dispatch.h"

namespace migprof::testing {
namespace {

using FuncLibDispatch = LibraryTest;

TEST_F(FuncLibDispatch, CopyIsReachedByNameWithItsArgumentsInOrder) {
  Insert("qzmap100", "mprf, vers, rele, cust", "1, 'SV', 'SR', 'SC'");
  Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat", "1, 'SV', 'SR', 'SC', 'calc', 'N'");
  const dispatch::Member* copy = dispatch::FindMember("func_copytocurrentvrc");
  ASSERT_NE(copy, nullptr);
  // Arguments coerced as a scripting host does: numeric text for numbers.
  std::vector<Variant> args = {"1", "2", "UV", "UR", "UC", "calc", "u"};
  ASSERT_EQ(args.size(), copy->params.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    args[i] = dispatch::CoerceArgument(args[i], copy->params[i].type);
  }
  EXPECT_EQ(copy->invoke(object_, args).value, Variant(kTrue));
  EXPECT_EQ(db_.Rows("select mprf, vers, rele, cust, fnam, stat from qzlib100 where mprf = 2"),
            (Table{{"2", "UV", "UR", "UC", "calc", "N"}}));
}

}  // namespace
}  // namespace migprof::testing
