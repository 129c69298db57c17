// The component's members as every entry point calls them: who acts is
// given, what they may do is decided here, each call runs on a new object
// (so its answer is this call's alone), and each change is recorded with the
// rows it changed.
#ifndef MIGPROF_APP_MEMBERS_H_
#define MIGPROF_APP_MEMBERS_H_

#include <optional>
#include <string_view>
#include <vector>

#include "app/activity.h"
#include "app/application.h"
#include "app/permissions.h"
#include "migprof/com_error.h"
#include "migprof/dispatch.h"

namespace migprof::app {

// A member and its arguments, one per parameter, of the parameter's type.
struct MemberCall {
  const dispatch::Member* member = nullptr;
  std::vector<Variant> args;
};

// What a call answered.
struct MemberOutcome {
  const dispatch::Member* member = nullptr;
  Variant result;  // Empty for a member without a result or one that raised
  // The object's error state after the call.
  Double error_number = 0;
  String error_description;
  // The failure the call raised, if it raised.
  std::optional<ComError> raised;
  // The arguments after the call (by-reference arguments changed).
  std::vector<Variant> args;
  // Rows the call changed, per table.
  RowCounts rows;
  // Why the change could not be written to the activity log, when it could
  // not (the database went away after the call, say); the call itself stands.
  String unrecorded;

  // Not raised, and a Boolean result is True.
  bool Succeeded() const;
  // The number and text that tell why the call did not succeed: the raised
  // failure's, else the error state's.
  Double FailureNumber() const { return raised ? raised->number() : error_number; }
  String FailureText() const { return raised ? raised->description() : error_description; }
  long long TotalRows() const;
};

// How a member is treated here: the operation it is, the argument naming
// the profile it changes (-1: none), the argument naming the acting user
// (-1: none). A member that no entry point may call has a reason instead.
struct MemberPolicy {
  Operation operation = Operation::kRead;
  int profile_arg = -1;
  int user_arg = -1;
  const char* not_callable = nullptr;
  // The member keeps meaning only on an object kept between calls (the
  // error state's readers).
  bool needs_kept_object = false;
};
const MemberPolicy& PolicyOf(const dispatch::Member& member);

// The member of this name (any letter case) with args converted to its
// parameters' types; omitted optional arguments are "". Raises NotFound for
// an unknown member and ComError (450, 6, 13) for arguments of the wrong
// count or type, before anything is called.
MemberCall MakeCall(std::string_view member, const std::vector<Variant>& args);
MemberCall MakeCall(const dispatch::Member& member, const std::vector<Variant>& args);
// Raises ComError 450 unless member takes count arguments (optional ones may
// be left out).
void CheckArgumentCount(const dispatch::Member& member, std::size_t count);

// Calls call.member as principal on a new object (or on kept, an object the
// caller keeps between calls, as a scripting host does). Raises Invalid for
// a member no entry point may call, and Forbidden (recorded) when the
// principal may not make this call: a user argument that is not the
// principal's name, or a change of a profile the principal may not change.
// Changes are recorded in the activity log with their outcome. watch, when
// given, sees each statement of the member itself (not of the checks or the
// record) and may fail it by raising.
MemberOutcome Call(Application& app, const Principal& principal, const MemberCall& call,
                   TOVRHandleMigProf* kept = nullptr, const ado::StatementObserver& watch = {});

// Calls call.member on object and fills outcome, catching what it raises.
// No checks and no record: for Call and for previews on a snapshot.
void Invoke(TOVRHandleMigProf& object, const MemberCall& call, MemberOutcome& outcome);

// Checks as Call does, without calling; answers the operation and the
// profile it acts on. Raises Invalid or Forbidden (not recorded).
struct Authorized {
  Operation operation;
  std::optional<Integer> mprf;
};
Authorized Authorize(Application& app, const Principal& principal, const MemberCall& call);

// How principal stands to profile mprf: kOwner when the component records
// the principal as its owner (ValidateUser), else kOther. Raises the
// database's ComError when the owner cannot be read.
Relation RelationTo(Application& app, const Principal& principal, Integer mprf);

// Raises Forbidden (recorded as operation on mprf when record is set) unless
// principal may do operation on profile mprf (or on no profile).
void Require(Application& app, const Principal& principal, Operation operation,
             std::optional<Integer> mprf, const String& what, const Arguments& arguments = {},
             bool record = true);

// Records a change of the application's own (not a member): accounts,
// revisions, imports.
void RecordChange(Application& app, const Principal& principal, const String& operation,
                  std::optional<Integer> mprf, const Arguments& arguments, Outcome outcome,
                  const String& error_number, const String& message, const RowCounts& rows);

// The arguments of a call as the activity log keeps them ("i_intMPRF",
// "100").
Arguments ArgumentsOf(const MemberCall& call);

}  // namespace migprof::app

#endif  // MIGPROF_APP_MEMBERS_H_
