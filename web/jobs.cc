#include "web/jobs.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <sstream>

#include "component/failure.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::web {
namespace {

String JoinCodes(const std::vector<TableKey>& tables) {
  String out;
  for (const TableKey& key : tables) {
    if (!out.empty()) out += ",";
    out += key.Code();
  }
  return out;
}

String NumberText(double number) {
  std::ostringstream text;
  text.precision(15);
  text << number;
  return text.str();
}

}  // namespace

bool CallCopy(TOVRHandleMigProf& object, const CopyRequest& request) {
  const TableKey& main = request.tables.front();
  const bool list_mode = request.tables.size() > 1;
  return object
      .CopyToCurrentVRC(
          request.source, request.target, request.target_vrc.vers, request.target_vrc.rele,
          request.target_vrc.cust, main.tcpac, main.tcmod, main.tflno, request.user, Variant(),
          list_mode ? JoinCodes(request.tables) : String(), list_mode ? kTrue : kFalse)
      .IsTrue();
}

JobRunner::~JobRunner() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Running& running : threads_) running.thread.join();
}

String JobRunner::StartCopy(const CopyRequest& request) {
  JobRecord job;
  job.user = request.user;
  job.source = request.source;
  job.target = request.target;
  job.vrc = request.target_vrc.Text();
  job.tables = JoinCodes(request.tables);
  // Every copied row costs about two statements (a lookup and an insert).
  long long rows = 0;
  for (const CopyCount& count :
       CompareCopy(db_, request.source, request.target, request.target_vrc, request.tables)) {
    for (long long n : count.source) rows += n;
  }
  job.total = rows * 2 + 8;
  String id = store_.NewJob(job);
  std::lock_guard<std::mutex> lock(mutex_);
  // Threads of copies that have ended are joined here, so the list stays short.
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (it->finished->load()) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
  auto finished = std::make_shared<std::atomic<bool>>(false);
  threads_.push_back(Running{std::thread([this, id, request, finished] {
                               RunCopy(id, request);
                               finished->store(true);
                             }),
                             finished});
  return id;
}

void JobRunner::RunCopy(const String& id, const CopyRequest& request) {
  std::atomic<long long> statements{0};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  // Progress goes to the table from a second thread, so that the copy's own
  // statements are never interleaved with ours on its thread.
  std::thread reporter([&] {
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(300), [&] { return done; })) {
      try {
        store_.JobProgress(id, statements.load());
      } catch (...) {
        // A busy database delays a progress report; the next one catches up.
      }
    }
  });

  String state = "failed", number, description;
  try {
    TOVRHandleMigProf object;
    db_.settings().ApplyTo(object);
    ado::ScopedStatementObserver observer([&](const String&) { ++statements; });
    if (CallCopy(object, request)) state = "done";
    number = NumberText(object.ErrorNumber());
    description = object.ErrDescription();
  } catch (...) {
    ComError error = CurrentFailure();
    number = NumberText(error.number());
    description = error.description();
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  finished.notify_all();
  reporter.join();
  try {
    store_.FinishJob(id, state, number, description, statements.load());
  } catch (...) {
    // The job stays "running" in the table; its page says so.
  }
}

}  // namespace migprof::web
