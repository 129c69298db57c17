// Long-running work: a rule copy runs on a thread of its own with an object
// of its own, while its progress (statements run so far) and outcome go to
// the job table (mpweb_job), where any server on the database can show them.
// A copy is a member call like any other: checked before it starts and
// recorded in the activity log when it ends.
#ifndef MIGPROF_APP_JOBS_H_
#define MIGPROF_APP_JOBS_H_

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/application.h"
#include "app/changes.h"

namespace migprof::app {

// A copy in progress or finished.
struct JobRecord {
  String id;
  String user;
  Integer source = 0;
  Integer target = 0;
  String vrc;     // "{vers}_{rele}_{cust}" of the target
  String tables;  // comma-separated table codes
  String state;   // "running", "done", "failed"
  long long done = 0;
  long long total = 0;
  String error_number;
  String error_description;
  long long seconds_since_update = 0;
  // Rows the copy changed per table, once it has ended (as the activity log
  // records them).
  RowCounts rows;
};

class JobRunner {
 public:
  explicit JobRunner(Application& app) : app_(app) {}
  // Waits for every job still running.
  ~JobRunner();
  JobRunner(const JobRunner&) = delete;
  JobRunner& operator=(const JobRunner&) = delete;

  // Checks the copy as a call of principal's (Authorize; a refusal raises
  // Forbidden and is recorded), records the job and starts it; returns its
  // id.
  String StartCopy(const Principal& principal, const CopyRules& copy);

  // The job with this id, when it is user's. A running job whose progress
  // stopped is recorded as failed first (ReconcileLost).
  std::optional<JobRecord> Find(const String& id, const String& user) const;

  // Records as failed, with kLostText, every running copy of any server on
  // the database whose progress has not moved for kJobSilence seconds: its
  // server was killed or lost the database. Returns how many.
  long ReconcileLost() const;

  // For a server that stops: waits until deadline for the running copies;
  // those still running then fail at their next statement and are recorded
  // as failed with kStoppedText. Returns when every copy thread has ended.
  void Stop(std::chrono::steady_clock::time_point deadline);
  // For a process about to end at once: records every running copy as failed
  // with kStoppedText and tells it to fail at its next statement, without
  // waiting.
  void Abandon();

  static constexpr const char* kStoppedText =
      "The server stopped before the copy ended. The table below shows what the target holds.";
  // A running job reports at least this often; one silent for longer has
  // lost its server.
  static constexpr long long kJobSilence = 30;
  static constexpr const char* kLostText =
      "The copy stopped sending progress before it ended: the server that ran it was stopped "
      "without warning or lost the database. The table below shows what the target holds.";

 private:
  struct Progress {
    String id;
    std::atomic<bool> finished{false};
    std::atomic<long long> statements{0};
  };
  std::optional<JobRecord> Read(const String& id, const String& user) const;
  void RunCopy(Progress& progress, const Principal& principal, const MemberCall& call);
  void Report(const String& id, long long done);
  void Finish(const String& id, const String& state, const String& error_number,
              const String& error_description, long long done, const RowCounts& rows = {});

  Application& app_;
  std::atomic<bool> stopping_{false};
  struct Running {
    std::thread thread;
    std::shared_ptr<Progress> progress;
  };
  std::mutex mutex_;
  std::list<Running> threads_;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_JOBS_H_
