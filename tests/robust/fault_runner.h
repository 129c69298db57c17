// Runs a member once per database call it makes, with that call failing,
// and checks each outcome against the state the database was in just before
// the call (every earlier statement in effect, none after), unless the
// member's documented failure path says otherwise for that step.
#ifndef MIGPROF_TESTS_ROBUST_FAULT_RUNNER_H_
#define MIGPROF_TESTS_ROBUST_FAULT_RUNNER_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "component/ado/fault_plan.h"
#include "testing/test_database.h"

namespace migprof::testing {

// Every row of every table, as "table|value|value...", sorted. Columns
// written from the clock or a random cipher (ldat, ownr) are left out.
using Snapshot = std::vector<std::string>;
Snapshot TakeSnapshot(const TestDatabase& db);

// What one run of a member did.
struct FaultOutcome {
  std::optional<ComError> raised;  // what escaped the member
  std::optional<bool> result;      // a Boolean member's result
  double error_number = 0;
  std::string error_description;
  Snapshot after;
};

// The step a failing call belongs to: the statement it ran, or for an open,
// the statement the new connection was opened for (the next call).
struct FailedStep {
  long index;  // 1-based call number
  std::string text;
};

// Where the documented failure path differs from the plain trap: the check
// for the steps it matches replaces the default one.
struct FaultException {
  std::function<bool(const FailedStep&)> matches;
  // snapshots[k] is the database after the first k calls of a clean run.
  std::function<void(const FailedStep&, const FaultOutcome&, const std::vector<Snapshot>&)> check;
};

struct MemberUnderFault {
  // Puts the fixture's rows in, through one connection in one transaction.
  std::function<void(ado::Connection&)> setup;
  // Calls the member; a Boolean member returns its result.
  std::function<std::optional<bool>(TOVRHandleMigProf&)> call;
  bool traps;  // failures are recorded (true) or raised (false)
  std::vector<FaultException> exceptions;
  // Only Func_Delete begins a transaction; every other member commits
  // statement by statement.
  bool uses_transaction = false;
};

// The injected failure: a provider error with its number and text.
const ComError& InjectedError();

// Runs the member once to count its calls, then once per call with that call
// failing; reports each mismatch. Returns the number of calls.
long CheckEveryCall(const MemberUnderFault& member);

// The calls of the clean run of the member CheckEveryCall is checking.
const std::vector<String>& FaultCalls();

// Rows of snapshot whose line starts with one of prefixes removed.
Snapshot Without(Snapshot snapshot, const std::vector<std::string>& prefixes);

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_ROBUST_FAULT_RUNNER_H_
