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
  int both_true = 0, lost = 0, duplicated = 0, no_winner = 0;
  for (int round = 1; round <= rounds; ++round) {
    const std::string a = "A" + std::to_string(round), b = "B" + std::to_string(round);
    first.Send(CreateRequest(round, a, "S" + a, "T" + a));
    second.Send(CreateRequest(round, b, "S" + b, "T" + b));
    const bool first_true = AnswerIsTrue(first.Receive());
    const bool second_true = AnswerIsTrue(second.Receive());
    const std::string number = std::to_string(round);
    auto stored = db.Rows("select vers from qzmap100 where mprf = " + number);
    auto levels = db.Rows("select levl, vers from qzmap101 where mprf = " + number);
    if (stored.size() > 1) ++duplicated;
    if (first_true && second_true) ++both_true;
    if (!first_true && !second_true) ++no_winner;
    if (first_true != second_true) {
      // The acknowledged profile exists whole: its row and its level row.
      const std::string winner = first_true ? a : b;
      if (stored != std::vector<std::vector<std::string>>{{winner}} ||
          levels != std::vector<std::vector<std::string>>{{"1", winner}}) {
        ++lost;
      }
    }
  }
  RecordProperty("rounds", rounds);
  EXPECT_EQ(lost, 0) << "of " << rounds << " rounds";
  EXPECT_EQ(duplicated, 0) << "of " << rounds << " rounds";
  EXPECT_EQ(both_true, 0) << "of " << rounds << " rounds";
  // The loser's number check or insert fails; the winner always stands.
  EXPECT_EQ(no_winner, 0) << "of " << rounds << " rounds";
}

}  // namespace
}  // namespace migprof::testing
