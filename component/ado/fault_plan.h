// A seam for tests of failure paths: while a FaultPlan is installed on a
// thread, every native session opened there counts its database calls (the
// open itself, each statement run, each row inserted, changed or deleted
// through a recordset, each begin and commit) and makes the one numbered
// fail_at raise the plan's error instead of reaching the database, as a
// provider error would. Compiled only into builds with MIGPROF_FAULT_SEAM
// (on when the tests are built); without a plan, sessions are opened and
// used as they are.
#ifndef MIGPROF_COMPONENT_ADO_FAULT_PLAN_H_
#define MIGPROF_COMPONENT_ADO_FAULT_PLAN_H_

#include <functional>
#include <memory>
#include <vector>

#include "component/ado/session.h"
#include "migprof/com_error.h"

namespace migprof::ado::detail {

struct FaultPlan {
  // The 1-based number of the call that fails; 0 lets every call through.
  long fail_at = 0;
  ComError error{errc::kProviderFailure, "injected failure"};
  // Each call seen, in order: "open", "run <sql>", "insert <table>",
  // "update <table>", "delete <table>", "begin", "commit".
  std::vector<String> calls;
  // Called after each call that went through, with the plan suspended (calls
  // made inside it are not counted). Tests read the database here.
  std::function<void()> after_call;
};

// Installs plan for the current thread while this object lives.
class ScopedFaultPlan {
 public:
  explicit ScopedFaultPlan(std::shared_ptr<FaultPlan> plan);
  ~ScopedFaultPlan();
  ScopedFaultPlan(const ScopedFaultPlan&) = delete;
  ScopedFaultPlan& operator=(const ScopedFaultPlan&) = delete;

 private:
  std::shared_ptr<FaultPlan> previous_;
};

// Opens a session with open(); when a plan is installed on this thread the
// open counts as a call and the session is wrapped to count the rest.
std::unique_ptr<Session> OpenUnderFaultPlan(const std::function<std::unique_ptr<Session>()>& open);

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_FAULT_PLAN_H_
