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

void JobRunner::Stop(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto running = [this] {
    for (const Running& r : threads_) {
      if (!r.progress->finished.load()) return true;
    }
    return false;
  };
  while (running() && std::chrono::steady_clock::now() < deadline) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    lock.lock();
  }
  stopping_ = true;
  for (Running& r : threads_) r.thread.join();
  threads_.clear();
}

void JobRunner::Abandon() {
  stopping_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Running& r : threads_) {
    if (r.progress->finished.load()) continue;
    try {
      store_.FinishJob(r.progress->id, "failed", "", kStoppedText, r.progress->statements.load());
    } catch (...) {
      // Unrecorded, the job reads as lost once its progress stops moving.
    }
  }
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
    if (it->progress->finished.load()) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
  auto progress = std::make_shared<Progress>();
  progress->id = id;
  threads_.push_back(Running{std::thread([this, request, progress] {
                               RunCopy(*progress, request);
                               progress->finished.store(true);
                             }),
                             progress});
  return id;
}

void JobRunner::RunCopy(Progress& progress, const CopyRequest& request) {
  const String& id = progress.id;
  std::atomic<long long>& statements = progress.statements;
  bool stopped = false;
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
    // A stopping server fails the copy's next statement, as a lost
    // connection would; the member's own failure path then runs.
    ado::ScopedStatementObserver observer([&](const String&) {
      if (stopping_.load()) {
        stopped = true;
        throw ComError(errc::kProviderFailure, "The server is stopping.");
      }
      ++statements;
    });
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
  if (stopped) {
    state = "failed";
    number.clear();
    description = kStoppedText;
  }
  try {
    store_.FinishJob(id, state, number, description, statements.load());
  } catch (...) {
    // The job stays "running" in the table; its page says so.
  }
}

}  // namespace migprof::web
