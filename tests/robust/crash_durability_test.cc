// The tool killed with SIGKILL at random moments while it creates profiles
// and while it copies many rules: the database file stays sound and every
// call answered before the kill is in it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <random>
#include <thread>

#include "component/sqlite/dialect.h"
#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

constexpr std::uint32_t kPrngStart = 20261206;

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    sqlite_dialect::Register(db);  // the indexes on text columns use its collation
    sqlite3_exec(
        db, "pragma integrity_check",
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
          return 0;
        },
        &result, nullptr);
  }
  sqlite3_close(db);
  return result;
}

// Sends requests all at once, kills the session after delay and returns the
// answers it had written by then.
std::vector<std::string> KillDuring(ToolSession& session, const std::vector<std::string>& requests,
                                    std::chrono::microseconds delay) {
  for (const std::string& request : requests) session.Send(request);
  std::this_thread::sleep_for(delay);
  session.Kill();
  std::vector<std::string> answers;
  for (std::string line; !(line = session.Receive()).empty();) answers.push_back(line);
  return answers;
}

TEST(CrashDurability, KilledDuringProfileCreations) {
  std::mt19937 prng(kPrngStart);
  const int trials = Rounds(20, 100);
  int acknowledged = 0, killed_midway = 0;
  for (int trial = 0; trial < trials; ++trial) {
    TestDatabase db;
    if (!db.embedded()) GTEST_SKIP() << "kills the embedded database's only writer";
    std::vector<std::string> requests;
    // Long enough that even a fast machine is still creating when the
    // longest delay ends.
    for (int mprf = 1; mprf <= 200; ++mprf) {
      const std::string v = "V" + std::to_string(mprf);
      requests.push_back(CreateRequest(mprf, v, "S" + v, "T" + v));
    }
    ToolSession session(ToolOptions(db));
    const auto delay =
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 150000)(prng));
    const std::vector<std::string> answers = KillDuring(session, requests, delay);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(answers.size()) +
                 " answers");
    ASSERT_EQ(IntegrityCheck(db.path()), "ok");
    for (std::size_t i = 0; i < answers.size(); ++i) {
      ASSERT_TRUE(AnswerIsTrue(answers[i])) << answers[i];
      const std::string number = std::to_string(i + 1);
      EXPECT_EQ(db.Count("qzmap100 where mprf = " + number), 1);
      EXPECT_EQ(db.Count("qzmap101 where mprf = " + number), 1);
      EXPECT_EQ(db.Count("qzusr110 where mprf = " + number), 1);
    }
    acknowledged += static_cast<int>(answers.size());
    if (answers.size() < requests.size()) ++killed_midway;
  }
  RecordProperty("trials", trials);
  RecordProperty("acknowledged", acknowledged);
  RecordProperty("killed_midway", killed_midway);
  // The delays spread over the stream: most trials end inside it.
  EXPECT_GT(killed_midway, trials / 2) << acknowledged << " calls acknowledged";
}

TEST(CrashDurability, KilledDuringALongCopy) {
  constexpr int kElements = 150;
  std::mt19937 prng(kPrngStart + 1);
  const int trials = Rounds(20, 100);
  int interrupted = 0;
  for (int trial = 0; trial < trials; ++trial) {
    TestDatabase db;
    if (!db.embedded()) GTEST_SKIP() << "kills the embedded database's only writer";
    {
      auto c = db.Connect();
      c->BeginTrans();
      c->Execute(
          "insert into qzmap100 (mprf, vers, rele, cust, tapp) values "
          "(1, 'SV', 'SR', 'SC', 'SAPP')");
      c->Execute(
          "insert into qzmap100 (mprf, vers, rele, cust, tapp) values "
          "(2, 'UV', 'UR', 'UC', 'UAPP')");
      c->Execute(
          "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values "
          "('UAPP', 'xy', 'uvw', '123', 'qty', " +
          std::to_string(kElements) + ", 'xyDOM')");
      c->Execute("insert into qzddi220 (appl, cpac, cdom) values ('UAPP', 'xy', 'DOM')");
      c->Execute(
          "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx) "
          "values (1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'p')");
      for (int i = 1; i <= kElements; ++i) {
        c->Execute(
            "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, "
            "dnum, mrul) values (1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'qty(" +
            std::to_string(i) + ")', " + std::to_string(i) + ", 'r')");
      }
      c->CommitTrans();
    }
    ToolSession session(ToolOptions(db));
    // Two acknowledged creations, then the copy.
    std::vector<std::string> answers;
    for (int mprf : {10, 11}) {
      const std::string v = "V" + std::to_string(mprf);
      session.Send(CreateRequest(mprf, v, "S" + v, "T" + v));
      answers.push_back(session.Receive());
      ASSERT_TRUE(AnswerIsTrue(answers.back()));
    }
    const std::string copy =
        R"({"call":"CopyToCurrentVRC","args":[1,2,"UV","UR","UC","xy","uvw","123","u","p","",false]})";
    const auto delay =
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 250000)(prng));
    const std::vector<std::string> after = KillDuring(session, {copy}, delay);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_EQ(IntegrityCheck(db.path()), "ok");
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
  RecordProperty("trials", trials);
  RecordProperty("interrupted", interrupted);
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace migprof::testing
