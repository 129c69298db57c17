#include "app/jobs.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <sstream>

#include "app/clock.h"
#include "app/errors.h"
#include "app/reads.h"
#include "app/secrets.h"
#include "component/sql_text.h"
#include "migprof/ado.h"
#include "migprof/com_error.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::app {
namespace {}  // namespace

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
      Finish(r.progress->id, "failed", "", kStoppedText, r.progress->statements.load());
    } catch (...) {
      // Unrecorded, the job reads as lost once its progress stops moving.
    }
  }
}

String JobRunner::StartCopy(const Principal& principal, const CopyRules& copy) {
  const MemberCall call = ToCall(copy, principal.name);
  try {
    Authorize(app_, principal, call);
  } catch (const Forbidden& refusal) {
    RecordChange(app_, principal, call.member->name, copy.target, ArgumentsOf(call),
                 Outcome::kForbidden, "", refusal.what(), {});
    throw;
  }
  // Every copied row costs about two statements (a lookup and an insert).
  long long rows = 0;
  for (const CopyCount& count :
       CompareCopy(app_.db(), copy.source, copy.target, copy.vrc, copy.tables)) {
    for (long long n : count.source) rows += n;
  }
  String tables;
  for (const TableKey& key : copy.tables) tables += (tables.empty() ? "" : ",") + key.Code();
  const String id = NewToken().substr(0, 32);
  // Outcomes are kept for a week, long enough to come back to a bookmark.
  app_.db().Execute("delete from mpweb_job where stat <> 'running' and updt < " +
                    SqlNumber(UnixSeconds() - 7 * 24 * 3600));
  app_.db().Execute(
      "insert into mpweb_job (jobi, usrn, smpr, umpr, vrc, tabs, stat, done, totl, errn, errd, "
      "updt) values (" +
      SqlQuoted(id) + ", " + SqlQuoted(principal.name) + ", " + SqlNumber(copy.source) + ", " +
      SqlNumber(copy.target) + ", " + SqlQuoted(copy.vrc.Text()) + ", " + SqlQuoted(tables) +
      ", 'running', 0, " + SqlNumber(rows * 2 + 8) + ", '', '', " + SqlNumber(UnixSeconds()) + ")");
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
  threads_.push_back(Running{std::thread([this, principal, call, progress] {
                               RunCopy(*progress, principal, call);
                               progress->finished.store(true);
                             }),
                             progress});
  return id;
}

void JobRunner::Report(const String& id, long long done) {
  app_.db().Execute("update mpweb_job set done = " + SqlNumber(done) +
                    ", updt = " + SqlNumber(UnixSeconds()) + " where jobi = " + SqlQuoted(id));
}

void JobRunner::Finish(const String& id, const String& state, const String& error_number,
                       const String& error_description, long long done, const RowCounts& rows) {
  app_.db().Execute(
      "update mpweb_job set stat = " + SqlQuoted(state) + ", errn = " + SqlQuoted(error_number) +
      ", errd = " + SqlQuoted(error_description.substr(0, 4000)) + ", done = " + SqlNumber(done) +
      ", chgs = " + SqlQuoted(EncodeRowCounts(rows).substr(0, 1000)) +
      ", updt = " + SqlNumber(UnixSeconds()) + " where jobi = " + SqlQuoted(id));
}

long JobRunner::ReconcileLost() const {
  // Only a row that is still silent is changed: a server that reports again
  // at the same moment keeps its copy running.
  return app_.db().Execute(
      "update mpweb_job set stat = 'failed', errn = '', errd = " + SqlQuoted(kLostText) +
      ", updt = " + SqlNumber(UnixSeconds()) + " where stat = 'running' and updt < " +
      SqlNumber(UnixSeconds() - kJobSilence));
}

std::optional<JobRecord> JobRunner::Find(const String& id, const String& user) const {
  std::optional<JobRecord> job = Read(id, user);
  if (job && job->state == "running" && job->seconds_since_update > kJobSilence &&
      ReconcileLost() > 0) {
    job = Read(id, user);
  }
  return job;
}

std::optional<JobRecord> JobRunner::Read(const String& id, const String& user) const {
  std::optional<Row> row = app_.db().QueryOne(
      "select jobi, usrn, smpr, umpr, vrc, tabs, stat, done, totl, errn, errd, updt, chgs from "
      "mpweb_job "
      "where jobi = " +
      SqlQuoted(id) + " and usrn = " + SqlQuoted(user));
  if (!row) return std::nullopt;
  const Row& r = *row;
  JobRecord job;
  job.id = r[0];
  job.user = r[1];
  job.source = static_cast<Integer>(std::stoi(r[2]));
  job.target = static_cast<Integer>(std::stoi(r[3]));
  job.vrc = r[4];
  job.tables = r[5];
  job.state = r[6];
  job.done = std::stoll(r[7]);
  job.total = std::stoll(r[8]);
  job.error_number = r[9];
  job.error_description = r[10];
  job.seconds_since_update = UnixSeconds() - std::stoll(r[11]);
  job.rows = DecodeRowCounts(r[12]);
  return job;
}

void JobRunner::RunCopy(Progress& progress, const Principal& principal, const MemberCall& call) {
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
        Report(id, statements.load());
      } catch (...) {
        // A busy database delays a progress report; the next one catches up.
      }
    }
  });

  String state = "failed", number, description;
  RowCounts rows;
  try {
    // A stopping server fails the copy's next statement, as a lost
    // connection would; the member's own failure path then runs.
    MemberOutcome outcome = Call(app_, principal, call, nullptr, [&](const String&) {
      if (stopping_.load()) {
        stopped = true;
        throw ComError(errc::kProviderFailure, "The server is stopping.");
      }
      ++statements;
    });
    if (outcome.Succeeded()) state = "done";
    rows = outcome.rows;
    number = NumberText(outcome.FailureNumber());
    description = outcome.FailureText();
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
    Finish(id, state, number, description, statements.load(), rows);
  } catch (...) {
    // The job stays "running" in the table; its page says so.
  }
}

}  // namespace migprof::app
