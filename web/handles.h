// One component object per signed-in browser session. Calls on one object
// never overlap (each object has its own mutex); objects of different
// sessions work at once. The object holds nothing that matters between
// calls, so losing one (another server, a restart) loses nothing.
#ifndef MIGPROF_WEB_HANDLES_H_
#define MIGPROF_WEB_HANDLES_H_

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "migprof/handle_mig_prof.h"
#include "web/db.h"

namespace migprof::web {

struct HandleSlot {
  std::mutex mutex;
  TOVRHandleMigProf object;
  std::chrono::steady_clock::time_point last_use;
};

// What a member call reported: its result, and the error state the front end
// shows (recorded, or raised for members that raise).
struct Outcome {
  bool ok = false;
  bool raised = false;
  double number = 0;
  std::string description;
};

class HandlePool {
 public:
  explicit HandlePool(DbSettings settings) : settings_(std::move(settings)) {}

  // Objects unused this long are let go (their sessions have expired or moved
  // to another server).
  static constexpr std::chrono::hours kIdle{8};

  // The object of the session with this id hash, created on first use.
  std::shared_ptr<HandleSlot> For(const std::string& session_hash);
  void Drop(const std::string& session_hash);
  // Lets every object go, each once its call in progress has returned, so
  // that the connections they keep are closed. For a server that stops.
  void Close();

 private:
  DbSettings settings_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<HandleSlot>> slots_;
};

// Runs call(object) under the slot's lock. call returns the member's
// success; a raised failure becomes an Outcome with raised set.
template <typename Call>
Outcome CallMember(HandleSlot& slot, Call&& call);

}  // namespace migprof::web

#include "component/failure.h"

namespace migprof::web {

template <typename Call>
Outcome CallMember(HandleSlot& slot, Call&& call) {
  std::lock_guard<std::mutex> lock(slot.mutex);
  try {
    bool ok = call(slot.object);
    return Outcome{ok, false, slot.object.ErrorNumber(), slot.object.ErrDescription()};
  } catch (...) {
    ComError error = CurrentFailure();
    return Outcome{false, true, static_cast<double>(error.number()), error.description()};
  }
}

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HANDLES_H_
