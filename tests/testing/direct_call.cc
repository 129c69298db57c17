#include "testing/direct_call.h"

#include <algorithm>
#include <optional>

#include "migprof/ado.h"
#include "migprof/com_error.h"
#include "wire/member_json.h"

namespace migprof::testing {

using wire::Json;

Json DirectCall(TOVRHandleMigProf& object, const dispatch::Member& member, const Json& args,
                bool trace) {
  std::optional<app::MemberCall> call;
  std::optional<ComError> raised;
  Json result(nullptr);
  std::vector<String> statements;
  try {
    call = wire::CallFromJson(member, args);
  } catch (const ComError& error) {
    raised = error;
  }
  if (call) {
    ado::StatementLog log;
    try {
      result = wire::JsonFromResult(member.invoke(object, call->args), member.result);
    } catch (...) {
      raised = CurrentFailure();
    }
    statements = log.texts();
  }
  Json answer{{"result", result},
              {"ErrorNumber", wire::JsonFromNumber(object.ErrorNumber())},
              {"ErrDescription", object.ErrDescription()}};
  const bool byref = std::any_of(member.params.begin(), member.params.end(),
                                 [](const dispatch::Param& p) { return p.by_ref; });
  if (call && byref) {
    Json values = Json::array();
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      if (member.params[i].by_ref) {
        values.push_back(wire::JsonFromArgument(call->args[i], member.params[i].type));
      }
    }
    answer["byref"] = std::move(values);
  }
  if (raised) answer["raised"] = wire::RaisedJson(*raised);
  if (trace) answer["statements"] = statements;
  return answer;
}

}  // namespace migprof::testing
