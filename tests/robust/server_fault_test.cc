// The database server stopped in the middle of a long copy and started
// again: the copy reports the data-access error as its trap records it, the
// next call on a new connection works, and the copied rows are exactly the
// ones the copy had written before the stop (each element at most once,
// none from a later stage). Needs a server the test may stop and restart:
// MIGPROF_TEST_SERVER_CONTROL, which .ci/odbc_suite.sh sets.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <iostream>
#include <string>
#include <thread>

#include "migprof/com_error.h"
#include "robust/robust_support.h"

namespace migprof::testing {
namespace {

constexpr int kElements = 3000;

// Runs the suite's server control script with action; true when it worked.
bool ControlServer(const char* control, const std::string& action) {
  return std::system((std::string(control) + " " + action).c_str()) == 0;
}

TEST(ServerFault, StoppedDuringALongCopyAndStartedAgain) {
  const char* control = std::getenv("MIGPROF_TEST_SERVER_CONTROL");
  if (control == nullptr) GTEST_SKIP() << "needs a server it may stop (.ci/odbc_suite.sh)";
  // With unixODBC's own pool on top of the component's reuse, the pool may
  // hand out a connection the restarted server has dropped: in 2 of 15 runs
  // the first call after a SIGTERM restart failed with "Write error: Broken
  // pipe" (see docs/odbc.md). The test runs with the component's reuse only.
  const char* pooling = std::getenv("MIGPROF_ODBC_POOLING");
  if (pooling != nullptr && std::string(pooling) == "1") {
    GTEST_SKIP() << "not with the driver manager's pool";
  }
  const int trials = Rounds(4, 12);
  int interrupted = 0, statement_errors = 0;
  std::string figures;  // rows seen before the stop / rows found after, per trial
  for (int trial = 0; trial < trials; ++trial) {
    const std::string signal = trial % 2 == 0 ? "kill" : "term";
    SCOPED_TRACE("trial " + std::to_string(trial) + ", SIG" + signal);
    TestDatabase db;
    LongCopySource(db, kElements);
    TOVRHandleMigProf object;
    db.Configure(object);

    std::future<bool> copy = std::async(std::launch::async, [&object] {
      return object
          .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "u", Variant("p"), "",
                            kFalse)
          .IsTrue();
    });
    // Stop the server once the field rules are being written, at a point
    // that moves from trial to trial.
    const long stop_after = 20 + 150 * trial;
    long seen = 0;
    while (copy.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
      seen = db.Count("qzmap140 where mprf = 2");
      if (seen >= stop_after) break;
    }
    ASSERT_TRUE(ControlServer(control, signal));
    const bool completed = copy.get();
    ASSERT_TRUE(ControlServer(control, "start"));

    if (!completed) {
      ++interrupted;
      // The data-access layer's error for a lost server; a statement that a
      // stopping server interrupts (SIGTERM) may report the statement error.
      const Double number = object.ErrorNumber();
      EXPECT_TRUE(number == errc::kProviderFailure || number == errc::kErrorsInCommand)
          << number << " " << object.ErrDescription();
      if (number == errc::kErrorsInCommand) ++statement_errors;
      EXPECT_FALSE(object.ErrDescription().empty());
    }
    // The same object, on a new connection to the restarted server.
    EXPECT_TRUE(
        object.InsertInMap100(20, "d", "SAPP", "UAPP", "NV", "R", "C", "__", "N", "app", "alice")
            .IsTrue())
        << object.ErrDescription();
    EXPECT_EQ(db.Count("qzmap100 where mprf = 20"), 1);

    // The elements written before the stop, each once and whole.
    const auto copied = db.Rows("select dnum, fdnm from qzmap140 where mprf = 2 order by dnum");
    ASSERT_GE(static_cast<long>(copied.size()), completed ? kElements : seen);
    ASSERT_LE(static_cast<long>(copied.size()), kElements);
    for (std::size_t i = 0; i < copied.size(); ++i) {
      ASSERT_EQ(copied[i][1], "qty(" + copied[i][0] + ")");
      if (i > 0) {
        ASSERT_LT(std::stol(copied[i - 1][0]), std::stol(copied[i][0]));
      }
    }
    figures += " " + std::to_string(seen) + "/" + std::to_string(copied.size());
    EXPECT_EQ(db.Count("qzmap120 where mprf = 2"), 1);
    EXPECT_EQ(db.Count("qzmap160 where mprf = 2"), completed ? 1 : 0);
  }
  // The stops came while the copy was running.
  EXPECT_GT(interrupted, trials / 2);
  std::cout << "server stopped during " << interrupted << " of " << trials << " copies ("
            << statement_errors
            << " reported as a statement error); elements seen before the stop / present after:"
            << figures << "\n";
}

}  // namespace
}  // namespace migprof::testing
