// Long-running work: a rule copy runs on a thread of its own with an object
// of its own, while its progress (statements run so far) and outcome go to
// the job table, where any server can show them.
#ifndef MIGPROF_WEB_JOBS_H_
#define MIGPROF_WEB_JOBS_H_

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "migprof/handle_mig_prof.h"
#include "web/reads.h"
#include "web/store.h"

namespace migprof::web {

struct CopyRequest {
  String user;
  Integer source = 0;
  Integer target = 0;
  Vrc target_vrc;
  std::vector<TableKey> tables;  // one: single-table mode; several: list mode
};

// CopyToCurrentVRC of the request on object: one table in single-table mode,
// several as a list. Answers the member's result.
bool CallCopy(TOVRHandleMigProf& object, const CopyRequest& request);

class JobRunner {
 public:
  JobRunner(const Db& db, Store& store) : db_(db), store_(store) {}
  // Waits for every job still running.
  ~JobRunner();

  // Records the job and starts it; returns its id.
  String StartCopy(const CopyRequest& request);

 private:
  void RunCopy(const String& id, const CopyRequest& request);

  const Db& db_;
  Store& store_;
  struct Running {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  std::mutex mutex_;
  std::list<Running> threads_;
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_JOBS_H_
