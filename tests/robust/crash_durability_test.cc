// The tool killed with SIGKILL at random moments while it creates profiles
// and while it copies many rules: the database file stays sound and every
// call answered before the kill is in it.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

// Sends requests all at once, kills the session after a random delay of up
// to max_us and returns the answers it had written by then.
std::vector<std::string> KillDuring(ToolSession& session, const std::vector<std::string>& requests,
                                    std::mt19937& prng, int max_us) {
  for (const std::string& request : requests) session.Send(request);
  std::this_thread::sleep_for(
      std::chrono::microseconds(std::uniform_int_distribution<int>(0, max_us)(prng)));
  session.Kill();
  std::vector<std::string> answers;
  for (std::string line; !(line = session.Receive()).empty();) answers.push_back(line);
  return answers;
}

std::string Create(int mprf) {
  const std::string v = "V" + std::to_string(mprf);
  return CreateRequest(mprf, v, "S" + v, "T" + v);
}

TEST(CrashDurability, KilledDuringProfileCreations) {
  std::mt19937 prng(20261206);
  const int trials = Rounds(20, 100);
  int acknowledged = 0, killed_midway = 0;
  // Long enough that even a fast machine is still creating when the longest
  // delay ends.
  std::vector<std::string> requests;
  for (int mprf = 1; mprf <= 200; ++mprf) requests.push_back(Create(mprf));
  for (int trial = 0; trial < trials; ++trial) {
    TestDatabase db;
    if (!db.embedded()) GTEST_SKIP() << "kills the embedded database's only writer";
    ToolSession session(ToolOptions(db));
    const std::vector<std::string> answers = KillDuring(session, requests, prng, 150000);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(answers.size()) +
                 " answers");
    ASSERT_TRUE(FileIsSound(db.path()));
    for (std::size_t i = 0; i < answers.size(); ++i) {
      ASSERT_TRUE(AnswerIsTrue(answers[i])) << answers[i];
      for (const char* table : {"qzmap100", "qzmap101", "qzusr110"}) {
        EXPECT_EQ(db.Count(std::string(table) + " where mprf = " + std::to_string(i + 1)), 1);
      }
    }
    acknowledged += static_cast<int>(answers.size());
    if (answers.size() < requests.size()) ++killed_midway;
  }
  // The delays spread over the stream: most trials end inside it.
  EXPECT_GT(killed_midway, trials / 2) << acknowledged << " calls acknowledged";
}

TEST(CrashDurability, KilledDuringALongCopy) {
  constexpr int kElements = 150;
  std::mt19937 prng(20261207);
  const int trials = Rounds(20, 100);
  int interrupted = 0;
  for (int trial = 0; trial < trials; ++trial) {
    TestDatabase db;
    if (!db.embedded()) GTEST_SKIP() << "kills the embedded database's only writer";
    LongCopySource(db, kElements);
    ToolSession session(ToolOptions(db));
    // Two acknowledged creations, then the copy.
    for (int mprf : {10, 11}) {
      session.Send(Create(mprf));
      ASSERT_TRUE(AnswerIsTrue(session.Receive()));
    }
    const std::vector<std::string> after = KillDuring(
        session,
        {R"({"call":"CopyToCurrentVRC","args":[1,2,"UV","UR","UC","xy","uvw","123","alice","p","",false]})"},
        prng, 250000);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_TRUE(FileIsSound(db.path()));
    EXPECT_EQ(db.Count("qzmap100 where mprf in (10, 11)"), 2);
    const long copied = db.Count("qzmap140 where mprf = 2");
    if (after.empty()) {
      ++interrupted;
      EXPECT_LE(copied, kElements);
    } else {
      EXPECT_TRUE(AnswerIsTrue(after[0])) << after[0];
      EXPECT_EQ(copied, kElements);
    }
  }
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace migprof::testing
