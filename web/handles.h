// The component objects of signed-in browser sessions. Calls of one session
// never overlap (each session has its own mutex); sessions work at once. Each
// call gets an object of its own, made for it and let go with its outcome:
// an object keeps connections open between calls, and a session may visit
// every server behind a proxy, so objects kept per session would hold a few
// connections per session on each server for as long as it lasts. Nothing an
// object holds matters between calls.
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
  DbSettings settings;
  std::chrono::steady_clock::time_point last_use;
  // The object of an API account, kept between its calls (under mutex): a
  // script reads the error state a call left, as a host reads it from its
  // object. Browser sessions leave it empty.
  std::unique_ptr<TOVRHandleMigProf> kept;
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

  // Slots unused this long are let go (their sessions have expired or moved
  // to another server).
  static constexpr std::chrono::hours kIdle{8};

  // The slot of the session with this id hash, created on first use.
  std::shared_ptr<HandleSlot> For(const std::string& session_hash);
  void Drop(const std::string& session_hash);
  // Lets every slot go, each once its call in progress has returned (and
  // its object with the connections it opened). For a server that stops.
  void Close();

 private:
  DbSettings settings_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<HandleSlot>> slots_;
};

// Runs call(object) under the slot's lock on a new object with the slot's
// settings. call returns the member's success; a raised failure becomes an
// Outcome with raised set.
template <typename Call>
Outcome CallMember(HandleSlot& slot, Call&& call);

}  // namespace migprof::web

#include "component/failure.h"

namespace migprof::web {

template <typename Call>
Outcome CallMember(HandleSlot& slot, Call&& call) {
  std::lock_guard<std::mutex> lock(slot.mutex);
  TOVRHandleMigProf object;
  slot.settings.ApplyTo(object);
  try {
    bool ok = call(object);
    return Outcome{ok, false, object.ErrorNumber(), object.ErrDescription()};
  } catch (...) {
    ComError error = CurrentFailure();
    return Outcome{false, true, static_cast<double>(error.number()), error.description()};
  }
}

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HANDLES_H_
