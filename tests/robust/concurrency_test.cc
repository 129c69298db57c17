// Several processes, and several objects on several threads, creating,
// updating and deleting profiles on one database for a short while: every
// call succeeds (no lock error reaches a member) and the database holds
// exactly the profiles that should be left. And two processes racing for one
// profile number: exactly one wins, and its profile exists whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "app/tables.h"
#include "cli/request.h"
#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A worker's cycle on profile n, as requests: create it, change its
// description, and delete it again when n is odd.
std::vector<std::string> Cycle(int mprf) {
  const std::string n = std::to_string(mprf), v = "V" + n;
  std::vector<std::string> requests{CreateRequest(mprf, v, "S" + v, "T" + v),
                                    R"({"call":"UpdateMap100","args":[)" + n + R"(,"d2","N",")" +
                                        v + R"(","R","C","l2","__","alice","path"]})"};
  if (mprf % 2) requests.push_back(R"({"call":"DeleteMap100","args":[)" + n + "]}");
  return requests;
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
    EXPECT_TRUE(FileIsSound(db.path()));
  }
}

// One thread per worker doing cycles on its own profile numbers until the
// run time is up or a call fails; answer(w, request) carries out a request
// of worker w and tells whether it succeeded. The cycles each worker did.
std::vector<int> RunWorkers(int workers,
                            const std::function<bool(int, const std::string&)>& answer) {
  std::vector<int> done(workers, 0);
  std::atomic<int> failed{0};
  const auto end = Clock::now() + std::chrono::milliseconds(Rounds(1500, 20000));
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      for (; Clock::now() < end && failed == 0; ++done[w]) {
        for (const std::string& request : Cycle((w + 1) * 5000 + done[w])) {
          if (!answer(w, request)) ++failed;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failed, 0);
  return done;
}

TEST(Concurrency, ProcessesShareOneDatabase) {
  TestDatabase db;
  std::vector<std::unique_ptr<ToolSession>> sessions;
  for (int w = 0; w < 3; ++w) sessions.push_back(std::make_unique<ToolSession>(ToolOptions(db)));
  const std::vector<int> done = RunWorkers(3, [&](int w, const std::string& request) {
    sessions[w]->Send(request);
    const std::string answer = sessions[w]->Receive();
    EXPECT_TRUE(AnswerIsTrue(answer)) << request << " -> " << answer;
    return AnswerIsTrue(answer);
  });
  for (auto& session : sessions) EXPECT_EQ(session->Finish(), 0);
  ExpectExactlyTheSurvivors(db, done);
}

TEST(Concurrency, ObjectsOnThreadsShareOneDatabase) {
  TestDatabase db;
  app::Application application(app::Settings{DataSource{db.dsn(), db.uid(), db.pwd()}});
  app::EnsureTables(application.db());
  const app::Principal alice{"alice", app::Role::kMaintainer, app::EntryPoint::kCli};
  const std::vector<int> done = RunWorkers(4, [&](int, const std::string& request) {
    cli::Caller caller{application, alice};
    const cli::Json answer = cli::AnswerLine(caller, request, {});
    EXPECT_EQ(answer.value("result", cli::Json()), true) << request << " -> " << answer.dump();
    return answer.value("result", cli::Json()) == true;
  });
  ExpectExactlyTheSurvivors(db, done);
}

TEST(Concurrency, OneProfileNumberRacedByTwoProcesses) {
  TestDatabase db;
  ToolSession first(ToolOptions(db)), second(ToolOptions(db));
  // Both sessions have connected before the race starts.
  for (ToolSession* session : {&first, &second}) {
    session->Send(R"({"call":"ErrorNumber"})");
    ASSERT_FALSE(session->Receive().empty());
  }
  for (int round = 1; round <= Rounds(40, 300); ++round) {
    const std::string a = "A" + std::to_string(round), b = "B" + std::to_string(round);
    first.Send(CreateRequest(round, a, "S" + a, "T" + a));
    second.Send(CreateRequest(round, b, "S" + b, "T" + b));
    const bool first_true = AnswerIsTrue(first.Receive());
    // The loser's number check or insert fails; the winner always stands.
    ASSERT_NE(first_true, AnswerIsTrue(second.Receive())) << "round " << round;
    // The acknowledged profile exists whole and alone: its row and its level.
    const std::string winner = first_true ? a : b, number = std::to_string(round);
    ASSERT_EQ(db.Rows("select vers from qzmap100 where mprf = " + number),
              (std::vector<std::vector<std::string>>{{winner}}));
    ASSERT_EQ(db.Rows("select levl, vers from qzmap101 where mprf = " + number),
              (std::vector<std::vector<std::string>>{{"1", winner}}));
  }
  // Ended by their input closing, the sessions close their connections.
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_EQ(second.Finish(), 0);
}

}  // namespace
}  // namespace migprof::testing
