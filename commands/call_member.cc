#include "commands/call_member.h"

#include <algorithm>
#include <optional>

#include "component/failure.h"
#include "migprof/ado.h"
#include "migprof/com_error.h"

namespace migprof::cli {
namespace {

bool HasByRef(const dispatch::Member& member) {
  return std::any_of(member.params.begin(), member.params.end(),
                     [](const dispatch::Param& param) { return param.by_ref; });
}

[[noreturn]] void RaiseWrongArgCount() {
  throw ComError(errc::kWrongArgCount, errtext::kWrongArgCount);
}

}  // namespace

std::vector<Variant> ConvertArguments(const dispatch::Member& member, const Json& args) {
  const std::vector<dispatch::Param>& params = member.params;
  // The count is checked before any value is converted, as the runtime
  // rejects a call of the wrong shape before looking at its values.
  if (args.size() > params.size()) RaiseWrongArgCount();
  for (std::size_t i = args.size(); i < params.size(); ++i) {
    if (!params[i].optional) RaiseWrongArgCount();
  }
  std::vector<Variant> values;
  values.reserve(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    Variant given = i < args.size() ? ArgumentFromJson(args[i], params[i].type) : Variant("");
    values.push_back(dispatch::CoerceArgument(given, params[i].type));
  }
  return values;
}

Json RaisedJson(const ComError& error) {
  return Json{{"number", error.number()}, {"description", error.description()}};
}

Json CallMember(TOVRHandleMigProf& object, const dispatch::Member& member, const Json& args,
                bool trace) {
  Json result(nullptr);
  std::optional<ComError> raised;
  std::optional<std::vector<Variant>> values;
  std::vector<String> statements;
  try {
    values = ConvertArguments(member, args);
  } catch (...) {
    raised = CurrentFailure();
  }
  if (values) {
    // Only a traced call installs a statement log: an observer the host
    // installed itself keeps seeing the statements otherwise.
    std::optional<ado::StatementLog> log;
    if (trace) log.emplace();
    try {
      result = JsonFromResult(member.invoke(object, *values), member.result);
    } catch (...) {
      raised = CurrentFailure();
    }
    if (log) statements = log->texts();
  }

  Json response{{"result", result},
                {"ErrorNumber", JsonFromNumber(object.ErrorNumber())},
                {"ErrDescription", object.ErrDescription()}};
  if (values && HasByRef(member)) {
    Json byref = Json::array();
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      if (member.params[i].by_ref) {
        byref.push_back(JsonFromArgument((*values)[i], member.params[i].type));
      }
    }
    response["byref"] = std::move(byref);
  }
  if (raised) response["raised"] = RaisedJson(*raised);
  if (trace) response["statements"] = statements;
  return response;
}

}  // namespace migprof::cli
