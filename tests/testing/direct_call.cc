#include "testing/direct_call.h"

#include <algorithm>
#include <optional>

#include "component/text/cp1252.h"
#include "migprof/com_error.h"
#include "profiles/owner_cipher.h"
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

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string ServerText(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && text[start] == '[') {
    const std::size_t close = text.find(']', start);
    if (close == std::string::npos) break;
    start = close + 1;
  }
  return text.substr(start);
}

std::string OwnerOfCipher(const std::string& cp1252) {
  std::optional<std::string> clear = profiles::Decipher(cp1252);
  return clear ? "<cipher of " + text::Cp1252ToUtf8(*clear) + ">" : cp1252;
}

std::optional<std::vector<Json>> SortedRows(const std::shared_ptr<ado::Connection>& connection,
                                            const std::string& table) {
  std::vector<Json> rows;
  try {
    auto rs = ado::Recordset::Create();
    rs->Open("select * from " + table, connection, ado::adOpenDynamic, ado::adLockOptimistic);
    for (; !rs->EndOfFile(); rs->MoveNext()) {
      Json row = Json::array();
      for (long i = 0; i < rs->Fields().Count(); ++i) {
        ado::Field field = rs->Fields().Item(static_cast<Integer>(i));
        const Variant value = field.Value();
        if (table == "qzmap100" && field.Name() == "ownr" && !value.IsNull()) {
          const Binary& bytes = value.AsBinary();
          row.push_back(OwnerOfCipher(std::string(bytes.begin(), bytes.end())));
        } else {
          row.push_back(wire::JsonFromVariant(value));
        }
      }
      rows.push_back(std::move(row));
    }
  } catch (const ComError&) {
    return std::nullopt;
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace migprof::testing
