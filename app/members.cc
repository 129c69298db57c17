#include "app/members.h"

#include <sstream>

#include "app/clock.h"
#include "app/errors.h"
#include "migprof/com_error.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::app {
namespace {

using enum Operation;

constexpr const char* kServerSetting =
    "the data source and its login are chosen where the tool or the server starts "
    "(--database, --user, --password, or the option file); a call cannot change them";
constexpr const char* kOwnConnections =
    "every call opens its own connections; there is no connection to hand over or to keep";

struct NamedPolicy {
  const char* member;
  MemberPolicy policy;
};

// The user arguments: each member that names the acting user must name the
// principal. The profile arguments: the profile a change acts on (for the
// copies, the target; the source is only read).
const NamedPolicy kPolicies[] = {
    {"OpenConnection", {kRead, -1, -1, kOwnConnections}},
    {"ErrDescription", {kRead, -1, -1, nullptr, true}},
    {"ErrorNumber", {kRead, -1, -1, nullptr, true}},
    {"CopyToCurrentVRC", {kChangeRules, 1, 8}},
    {"ValidateUser", {kRead, -1, 0}},
    {"InsertInMap100", {kCreateProfile, -1, 10}},
    {"UpdateMap100", {kEditProfile, 0, 8}},
    {"DeleteMap100", {kDeleteProfile, 0, -1}},
    {"GetUserOwnerProfiles", {kRead, -1, 0}},
    {"GetOrvoOrLegacyProfiles", {kRead}},
    {"DeleteMapRules", {kChangeRules, 0}},
    {"DeleteData", {kChangeRules, 1}},
    {"ExpireMapRules", {kChangeRules, 0}},
    {"Func_CopyToCurrentVRC", {kChangeFunctions, 1, 6}},
    {"Func_Expire", {kChangeFunctions, 0, 5}},
    {"Func_Delete", {kChangeFunctions, 0, 5}},
    {"ValidateDerivation", {kRead}},
    {"DatabaseServer", {kRead, -1, -1, kServerSetting}},
    {"DatabaseName", {kRead, -1, -1, kServerSetting}},
    {"DatabaseUser", {kRead, -1, -1, kServerSetting}},
    {"DatabasePassword", {kRead, -1, -1, kServerSetting}},
    {"getNewConnection", {kRead, -1, -1, kOwnConnections}},
};

String ArgumentText(const Variant& value) {
  if (value.IsEmpty() || value.IsNull()) return "";
  try {
    return value.ToString();
  } catch (...) {
    return "";
  }
}

std::optional<Integer> ProfileArgument(const MemberPolicy& policy, const MemberCall& call) {
  if (policy.profile_arg < 0) return std::nullopt;
  return call.args[static_cast<std::size_t>(policy.profile_arg)].AsInteger();
}

String ProfileWords(std::optional<Integer> mprf) {
  return mprf ? "profile " + std::to_string(*mprf) : String("profiles");
}

}  // namespace

void Invoke(TOVRHandleMigProf& object, const MemberCall& call, MemberOutcome& outcome) {
  outcome.member = call.member;
  outcome.args = call.args;
  try {
    outcome.result = call.member->invoke(object, outcome.args).value;
  } catch (...) {
    outcome.raised = CurrentFailure();
  }
  outcome.error_number = object.ErrorNumber();
  outcome.error_description = object.ErrDescription();
}

bool MemberOutcome::Succeeded() const {
  if (raised) return false;
  if (member == nullptr || member->result != dispatch::ResultType::kBoolean) return true;
  return result.ToBoolean().IsTrue();
}

long long MemberOutcome::TotalRows() const {
  long long total = 0;
  for (const auto& [table, count] : rows) total += count;
  return total;
}

const MemberPolicy& PolicyOf(const dispatch::Member& member) {
  for (const NamedPolicy& named : kPolicies) {
    if (member.name == named.member) return named.policy;
  }
  static const MemberPolicy kUnknown{kRead, -1, -1, "this member is not offered"};
  return kUnknown;
}

void CheckArgumentCount(const dispatch::Member& member, std::size_t count) {
  const std::vector<dispatch::Param>& params = member.params;
  bool fits = count <= params.size();
  for (std::size_t i = count; fits && i < params.size(); ++i) fits = params[i].optional;
  if (!fits) throw ComError(errc::kWrongArgCount, errtext::kWrongArgCount);
}

MemberCall MakeCall(std::string_view name, const std::vector<Variant>& args) {
  const dispatch::Member* member = dispatch::FindMember(name);
  if (member == nullptr) throw NotFound("no member named \"" + String(name) + "\"");
  return MakeCall(*member, args);
}

MemberCall MakeCall(const dispatch::Member& member, const std::vector<Variant>& args) {
  const std::vector<dispatch::Param>& params = member.params;
  // The count is checked before any value is converted, as the runtime
  // rejects a call of the wrong shape before looking at its values.
  CheckArgumentCount(member, args.size());
  MemberCall call{&member, {}};
  call.args.reserve(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    call.args.push_back(
        dispatch::CoerceArgument(i < args.size() ? args[i] : Variant(""), params[i].type));
  }
  return call;
}

Arguments ArgumentsOf(const MemberCall& call) {
  Arguments out;
  for (std::size_t i = 0; i < call.member->params.size() && i < call.args.size(); ++i) {
    out.emplace_back(call.member->params[i].name, ArgumentText(call.args[i]));
  }
  return out;
}

Relation RelationTo(Application& app, const Principal& principal, Integer mprf) {
  TOVRHandleMigProf object;
  ApplyTo(app.source(), object);
  if (object.ValidateUser(principal.name, std::to_string(mprf)).IsTrue()) return Relation::kOwner;
  // The check records a failure rather than raising it. A profile whose
  // owner field is empty or not a readable name (type mismatch, overflow,
  // invalid use of Null) has no owner: the principal is someone else. Any
  // other failure is the database's, and no owner that could not be read
  // makes a principal someone else.
  const long number = object.ErrorNumber();
  if (number == 0 || number == errc::kTypeMismatch || number == errc::kOverflow ||
      number == errc::kInvalidUseOfNull) {
    return Relation::kOther;
  }
  throw ComError(static_cast<std::int32_t>(number), object.ErrDescription());
}

void RecordChange(Application& app, const Principal& principal, const String& operation,
                  std::optional<Integer> mprf, const Arguments& arguments, Outcome outcome,
                  const String& error_number, const String& message, const RowCounts& rows) {
  ActivityEntry entry;
  entry.user = principal.name;
  entry.entry = principal.entry;
  entry.operation = operation;
  entry.mprf = mprf;
  entry.arguments = arguments;
  entry.outcome = outcome;
  entry.error_number = error_number;
  entry.message = message;
  entry.rows = rows;
  app.activity().Record(std::move(entry));
}

void Require(Application& app, const Principal& principal, Operation operation,
             std::optional<Integer> mprf, const String& what, const Arguments& arguments,
             bool record) {
  Relation relation = Relation::kNone;
  if (mprf && principal.role != Role::kAdministrator) {
    relation = RelationTo(app, principal, *mprf);
  } else if (mprf) {
    relation = Relation::kOther;
  }
  if (Allowed(principal.role, relation, operation)) return;
  String message;
  if (relation == Relation::kOther && Allowed(principal.role, Relation::kOwner, operation)) {
    message = principal.name + " may not " + OperationWords(operation) + " " + ProfileWords(mprf) +
              ": only its owner or an administrator may";
  } else {
    message = principal.name + " (" + RoleName(principal.role) + ") may not " +
              OperationWords(operation) +
              (relation == Relation::kNone ? String() : " " + ProfileWords(mprf));
  }
  if (record) {
    try {
      RecordChange(app, principal, what, mprf, arguments, Outcome::kForbidden, "", message, {});
    } catch (...) {
      // Refused all the same; the refusal changed nothing to record.
    }
  }
  throw Forbidden(message);
}

Authorized Authorize(Application& app, const Principal& principal, const MemberCall& call) {
  const MemberPolicy& policy = PolicyOf(*call.member);
  if (policy.not_callable != nullptr) {
    throw Invalid(call.member->name + " cannot be called here: " + policy.not_callable);
  }
  const std::optional<Integer> mprf = ProfileArgument(policy, call);
  if (policy.user_arg >= 0) {
    const String named = ArgumentText(call.args[static_cast<std::size_t>(policy.user_arg)]);
    if (named != principal.name) {
      throw Forbidden(call.member->name + " names the user \"" + named +
                      "\", but the request acts as \"" + principal.name +
                      "\"; a call may name only its own principal");
    }
  }
  Require(app, principal, policy.operation, mprf, call.member->name, {}, /*record=*/false);
  return Authorized{policy.operation, mprf};
}

MemberOutcome Call(Application& app, const Principal& principal, const MemberCall& call,
                   TOVRHandleMigProf* kept, const ado::StatementObserver& watch) {
  const MemberPolicy& policy = PolicyOf(*call.member);
  if (policy.needs_kept_object && kept == nullptr) {
    throw Invalid(call.member->name +
                  " reads the error state an object keeps between calls; every answer here "
                  "already carries ErrorNumber and ErrDescription of its own call");
  }
  const bool changing = policy.operation != kRead;
  try {
    Authorize(app, principal, call);
  } catch (const Forbidden& refusal) {
    if (changing) {
      try {
        RecordChange(app, principal, call.member->name, ProfileArgument(policy, call),
                     ArgumentsOf(call), Outcome::kForbidden, "", refusal.what(), {});
      } catch (...) {
        // Refused all the same; the refusal changed nothing to record.
      }
    }
    throw;
  }

  std::optional<TOVRHandleMigProf> fresh;
  TOVRHandleMigProf* object = kept;
  if (object == nullptr) object = &fresh.emplace();
  ApplyTo(app.source(), *object);
  MemberOutcome outcome;
  {
    ado::ScopedChangeCount count;
    std::optional<ado::ScopedStatementObserver> watching;
    if (watch) watching.emplace(watch);
    Invoke(*object, call, outcome);
    watching.reset();
    outcome.rows = count.rows();
  }
  if (changing) {
    const Outcome result = outcome.raised        ? Outcome::kFailed
                           : outcome.Succeeded() ? Outcome::kDone
                                                 : Outcome::kRefused;
    const bool done = result == Outcome::kDone;
    try {
      RecordChange(app, principal, call.member->name, ProfileArgument(policy, call),
                   ArgumentsOf(call), result, done ? String() : NumberText(outcome.FailureNumber()),
                   done ? String() : outcome.FailureText(), outcome.rows);
    } catch (...) {
      outcome.unrecorded = CurrentFailure().description();
    }
  }
  return outcome;
}

}  // namespace migprof::app
