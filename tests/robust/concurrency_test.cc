// Several processes, and several objects on several threads, creating,
// updating and deleting profiles on one database for a short while: every
// call succeeds (no lock error reaches a member) and the database holds
// exactly the profiles that should be left.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "component/sqlite/dialect.h"
#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

using Clock = std::chrono::steady_clock;

// One step of a worker's cycle on profile n: create it, change its
// description, and delete it again when n is odd.
struct Step {
  enum Kind { kCreate, kUpdate, kDelete } kind;
  int mprf;
};

std::vector<Step> Cycle(int mprf) {
  std::vector<Step> steps{{Step::kCreate, mprf}, {Step::kUpdate, mprf}};
  if (mprf % 2) steps.push_back({Step::kDelete, mprf});
  return steps;
}

std::string Request(const Step& step) {
  const std::string n = std::to_string(step.mprf), v = "V" + n;
  switch (step.kind) {
    case Step::kCreate:
      return CreateRequest(step.mprf, v, "S" + v, "T" + v);
    case Step::kUpdate:
      return R"({"call":"UpdateMap100","args":[)" + n + R"(,"d2","N",")" + v +
             R"(","R","C","l2","__","alice","path"]})";
    case Step::kDelete:
      return R"({"call":"DeleteMap100","args":[)" + n + "]}";
  }
  return "";
}

bool Call(TOVRHandleMigProf& object, const Step& step) {
  const std::string n = std::to_string(step.mprf), v = "V" + n;
  switch (step.kind) {
    case Step::kCreate:
      return object
          .InsertInMap100(step.mprf, "d", "S" + v, "T" + v, v, "R", "C", "__", "N", "app", "alice")
          .IsTrue();
    case Step::kUpdate:
      return object.UpdateMap100(step.mprf, "d2", "N", v, "R", "C", "l2", "__", "alice", "path")
          .IsTrue();
    case Step::kDelete:
      return object.DeleteMap100(step.mprf).IsTrue();
  }
  return false;
}

// The profiles that must be left after workers that each did `done[w]`
// numbers starting at (w + 1) * 5000, and the check that exactly these are
// stored, whole.
void ExpectExactlyTheSurvivors(const TestDatabase& db, const std::vector<int>& done) {
  std::set<std::string> expected;
  for (std::size_t w = 0; w < done.size(); ++w) {
    for (int k = 0; k < done[w]; ++k) {
      const int mprf = static_cast<int>(w + 1) * 5000 + k;
      if (mprf % 2 == 0) expected.insert(std::to_string(mprf) + " d2");
    }
  }
  std::set<std::string> stored;
  for (const auto& row : db.Rows("select mprf, dsca from qzmap100")) {
    EXPECT_TRUE(stored.insert(row[0] + " " + row[1]).second) << "twice: " << row[0];
  }
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(db.Count("qzmap101"), static_cast<long>(expected.size()));
  EXPECT_EQ(db.Count("qzusr110"), static_cast<long>(expected.size()));
  if (db.embedded()) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().c_str(), &raw), SQLITE_OK);
    sqlite_dialect::Register(raw);
    std::string result;
    sqlite3_exec(
        raw, "pragma integrity_check",
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
          return 0;
        },
        &result, nullptr);
    sqlite3_close(raw);
    EXPECT_EQ(result, "ok");
  }
}

std::chrono::milliseconds RunTime() { return std::chrono::milliseconds(Rounds(1500, 20000)); }

TEST(Concurrency, ProcessesShareOneDatabase) {
  TestDatabase db;
  constexpr int kWorkers = 3, kBatch = 8;
  std::vector<std::unique_ptr<ToolSession>> sessions;
  for (int w = 0; w < kWorkers; ++w)
    sessions.push_back(std::make_unique<ToolSession>(ToolOptions(db)));
  std::vector<int> done(kWorkers, 0);
  int failed = 0;
  const auto end = Clock::now() + RunTime();
  while (Clock::now() < end) {
    // Each worker gets a batch of cycles; all run at the same time.
    std::vector<std::vector<Step>> sent(kWorkers);
    for (int w = 0; w < kWorkers; ++w) {
      for (int k = 0; k < kBatch; ++k) {
        for (const Step& step : Cycle((w + 1) * 5000 + done[w] + k)) {
          sessions[w]->Send(Request(step));
          sent[w].push_back(step);
        }
      }
    }
    for (int w = 0; w < kWorkers; ++w) {
      for (std::size_t i = 0; i < sent[w].size(); ++i) {
        const std::string answer = sessions[w]->Receive();
        if (!AnswerIsTrue(answer)) {
          ++failed;
          ADD_FAILURE() << Request(sent[w][i]) << " -> " << answer;
        }
      }
      done[w] += kBatch;
    }
    if (failed) break;
  }
  for (auto& session : sessions) EXPECT_EQ(session->Finish(), 0);
  ExpectExactlyTheSurvivors(db, done);
  RecordProperty("cycles", done[0] + done[1] + done[2]);
}

TEST(Concurrency, ObjectsOnThreadsShareOneDatabase) {
  TestDatabase db;
  constexpr int kWorkers = 4;
  std::vector<int> done(kWorkers, 0);
  std::atomic<int> failed{0};
  const auto end = Clock::now() + RunTime();
  std::vector<std::thread> threads;
  for (int w = 0; w < kWorkers; ++w) {
    threads.emplace_back([&, w] {
      TOVRHandleMigProf object;
      object.DatabaseName(db.dsn());
      object.DatabaseUser(db.uid());
      object.DatabasePassword(db.pwd());
      while (Clock::now() < end && failed == 0) {
        for (const Step& step : Cycle((w + 1) * 5000 + done[w])) {
          if (!Call(object, step)) {
            ++failed;
            ADD_FAILURE() << Request(step) << " -> " << object.ErrorNumber() << " "
                          << object.ErrDescription();
          }
        }
        ++done[w];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failed, 0);
  ExpectExactlyTheSurvivors(db, done);
  RecordProperty("cycles", done[0] + done[1] + done[2] + done[3]);
}

}  // namespace
}  // namespace migprof::testing
