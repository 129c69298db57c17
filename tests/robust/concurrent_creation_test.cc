// Two processes creating the same profile number at the same moment: at most
// one succeeds, and a profile whose creation was answered True exists whole.
#include <gtest/gtest.h>

#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

TEST(ConcurrentCreation, OneProfileNumberRacedByTwoProcesses) {
  TestDatabase db;
  ToolSession first(ToolOptions(db)), second(ToolOptions(db));
  // Both sessions have connected before the race starts.
  for (ToolSession* session : {&first, &second}) {
    session->Send(R"({"call":"ErrorNumber"})");
    ASSERT_FALSE(session->Receive().empty());
  }
  const int rounds = Rounds(40, 300);
  int won = 0;
  for (int round = 1; round <= rounds; ++round) {
    const std::string a = "A" + std::to_string(round), b = "B" + std::to_string(round);
    first.Send(CreateRequest(round, a, "S" + a, "T" + a));
    second.Send(CreateRequest(round, b, "S" + b, "T" + b));
    const bool first_true = AnswerIsTrue(first.Receive());
    const bool second_true = AnswerIsTrue(second.Receive());
    const std::string number = std::to_string(round);
    auto stored = db.Rows("select vers from qzmap100 where mprf = " + number);
    auto levels = db.Rows("select levl, vers from qzmap101 where mprf = " + number);
    SCOPED_TRACE("round " + number);
    ASSERT_FALSE(first_true && second_true);
    ASSERT_LE(stored.size(), 1u);
    if (first_true || second_true) {
      ++won;
      const std::string winner = first_true ? a : b;
      ASSERT_EQ(stored, (std::vector<std::vector<std::string>>{{winner}}));
      ASSERT_EQ(levels, (std::vector<std::vector<std::string>>{{"1", winner}}));
    }
  }
  // The loser's number check or insert fails; the winner always stands.
  EXPECT_EQ(won, rounds);
}

}  // namespace
}  // namespace migprof::testing
