#include "wire/member_json.h"

#include <algorithm>

#include "app/errors.h"

namespace migprof::wire {

app::MemberCall CallFromJson(std::string_view member, const Json& args) {
  const dispatch::Member* found = dispatch::FindMember(member);
  if (found == nullptr) throw app::NotFound("no member named \"" + String(member) + "\"");
  return CallFromJson(*found, args);
}

app::MemberCall CallFromJson(const dispatch::Member& member, const Json& args) {
  if (!args.is_array()) throw ComError(errc::kWrongArgCount, errtext::kWrongArgCount);
  // The count is checked before any value is read, as the runtime rejects a
  // call of the wrong shape before looking at its values.
  app::CheckArgumentCount(member, args.size());
  std::vector<Variant> values;
  for (std::size_t i = 0; i < args.size(); ++i) {
    values.push_back(ArgumentFromJson(args[i], member.params[i].type));
  }
  return app::MakeCall(member, values);
}

Json RaisedJson(const ComError& error) {
  return Json{{"number", error.number()}, {"description", error.description()}};
}

Json RowsJson(const app::RowCounts& rows) {
  Json out = Json::object();
  for (const auto& [table, count] : rows) out[table] = count;
  return out;
}

Json OutcomeJson(const app::MemberOutcome& outcome) {
  const dispatch::Member& member = *outcome.member;
  Json answer{{"result", outcome.raised ? Json(nullptr)
                                        : JsonFromResult(dispatch::Result{outcome.result, nullptr},
                                                         member.result)},
              {"ErrorNumber", JsonFromNumber(outcome.error_number)},
              {"ErrDescription", outcome.error_description}};
  if (std::any_of(member.params.begin(), member.params.end(),
                  [](const dispatch::Param& p) { return p.by_ref; })) {
    Json byref = Json::array();
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      if (member.params[i].by_ref) {
        byref.push_back(JsonFromArgument(outcome.args[i], member.params[i].type));
      }
    }
    answer["byref"] = std::move(byref);
  }
  if (app::PolicyOf(member).operation != app::Operation::kRead) {
    answer["rows"] = RowsJson(outcome.rows);
  }
  if (outcome.raised) answer["raised"] = RaisedJson(*outcome.raised);
  if (!outcome.unrecorded.empty()) answer["unrecorded"] = outcome.unrecorded;
  return answer;
}

}  // namespace migprof::wire
