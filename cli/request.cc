#include "cli/request.h"

#include <string>

#include "app/errors.h"
#include "app/members.h"
#include "app/statements.h"
#include "wire/json_depth.h"
#include "wire/member_json.h"

namespace migprof::cli {
namespace {

void RequireOnlyKeys(const Json& request, std::initializer_list<std::string_view> keys,
                     std::string_view kind) {
  for (const auto& item : request.items()) {
    bool known = false;
    for (std::string_view key : keys) known = known || item.key() == key;
    if (!known) {
      throw BadRequest("unknown key \"" + item.key() + "\" in " + std::string(kind) + " request");
    }
  }
}

Json ForbiddenJson(const app::Forbidden& refusal) {
  return Json{{"error", refusal.what()}, {"forbidden", true}};
}

Json HandleCall(Caller& caller, const Json& request, const RequestOptions& options) {
  RequireOnlyKeys(request, {"call", "args"}, "a call");
  const Json& name = request.at("call");
  if (!name.is_string()) throw BadRequest("\"call\" must be a member name (a string)");
  const Json args = request.contains("args") ? request.at("args") : Json::array();
  if (!args.is_array()) throw BadRequest("\"args\" must be an array of argument values");
  app::MemberCall call;
  try {
    call = wire::CallFromJson(name.get<std::string>(), args);
  } catch (const app::NotFound&) {
    throw BadRequest("no member named \"" + name.get<std::string>() +
                     "\"; 'migprof call --help' lists the members");
  } catch (const ComError& error) {
    // Arguments of the wrong count or type are refused before the object
    // is touched, as the runtime refuses a late-bound call of the wrong
    // shape; the error state is the kept object's as it was.
    TOVRHandleMigProf fresh;
    TOVRHandleMigProf& object = caller.kept != nullptr ? *caller.kept : fresh;
    return Json{{"result", nullptr},
                {"ErrorNumber", wire::JsonFromNumber(object.ErrorNumber())},
                {"ErrDescription", object.ErrDescription()},
                {"raised", wire::RaisedJson(error)}};
  }
  std::vector<String> statements;
  ado::StatementObserver log;
  if (options.trace) log = [&statements](const String& text) { statements.push_back(text); };
  try {
    Json answer =
        wire::OutcomeJson(app::Call(caller.app, caller.principal, call, caller.kept, log));
    if (options.trace) answer["statements"] = statements;
    return answer;
  } catch (const app::Invalid& invalid) {
    throw BadRequest(invalid.what());
  } catch (const app::Forbidden& refusal) {
    return ForbiddenJson(refusal);
  } catch (...) {
    // The database failed before the member ran (reading the profile's
    // owner, say): answered as a raised failure, and the session goes on.
    const ComError error = CurrentFailure();
    TOVRHandleMigProf fresh;
    TOVRHandleMigProf& object = caller.kept != nullptr ? *caller.kept : fresh;
    return Json{{"result", nullptr},
                {"ErrorNumber", wire::JsonFromNumber(object.ErrorNumber())},
                {"ErrDescription", object.ErrDescription()},
                {"raised", wire::RaisedJson(error)}};
  }
}

Json HandleSql(Caller& caller, const Json& request) {
  RequireOnlyKeys(request, {"sql"}, "an sql");
  const Json& statement = request.at("sql");
  if (!statement.is_string()) throw BadRequest("\"sql\" must be a statement (a string)");
  app::StatementResult result;
  try {
    result = app::RunStatement(caller.app, caller.principal, statement.get<std::string>());
  } catch (const app::Forbidden& refusal) {
    return ForbiddenJson(refusal);
  }
  if (result.raised) return Json{{"raised", wire::RaisedJson(*result.raised)}};
  Json columns = Json::array();
  for (const String& column : result.columns) columns.push_back(column);
  Json rows = Json::array();
  for (const std::vector<Variant>& row : result.rows) {
    Json values = Json::array();
    for (const Variant& value : row) values.push_back(wire::JsonFromVariant(value));
    rows.push_back(std::move(values));
  }
  Json answer{{"columns", std::move(columns)}, {"rows", std::move(rows)}};
  if (result.columns.empty()) answer["rowsAffected"] = wire::JsonFromVariant(result.rows_affected);
  return answer;
}

}  // namespace

Json ErrorJson(std::string_view message) { return Json{{"error", message}}; }

void WriteAnswer(std::ostream& out, const Json& answer) {
  // Invalid UTF-8 in a text the component returns is written as U+FFFD
  // rather than failing the answer.
  out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
}

Json HandleRequest(Caller& caller, const Json& request, const RequestOptions& options) {
  if (!request.is_object()) {
    throw BadRequest(
        "a request must be a JSON object, such as {\"call\": \"ValidateDerivation\", \"args\": "
        "[12, 1]} or {\"sql\": \"select 1\"}");
  }
  bool is_call = request.contains("call");
  bool is_sql = request.contains("sql");
  if (is_call && is_sql) throw BadRequest("a request has \"call\" or \"sql\", not both");
  if (is_call) return HandleCall(caller, request, options);
  if (is_sql) return HandleSql(caller, request);
  throw BadRequest("a request needs \"call\" (a member call) or \"sql\" (a statement)");
}

Json AnswerLine(Caller& caller, std::string_view line, const RequestOptions& options) {
  if (line.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return ErrorJson("empty request line");
  }
  if (auto too_deep = wire::NestingTooDeep(line)) {
    return ErrorJson("request refused: " + *too_deep);
  }
  // The parser takes a NUL character for the end of the text and would carry
  // out what stands before it; JSON has no unescaped NUL anywhere.
  if (line.find('\0') != std::string_view::npos) {
    return ErrorJson(
        "request is not valid JSON: a NUL character (U+0000) must be escaped as \\u0000");
  }
  Json request;
  try {
    request = Json::parse(line);
  } catch (const Json::exception& error) {  // a syntax error, or a number out of range
    // what() starts with the library's own tag, "[json.exception...] ",
    // which says nothing to the user.
    std::string text = error.what();
    std::size_t tag_end = text.find("] ");
    if (tag_end != std::string::npos) text.erase(0, tag_end + 2);
    return ErrorJson("request is not valid JSON: " + text);
  }
  try {
    return HandleRequest(caller, request, options);
  } catch (const BadRequest& error) {
    return ErrorJson(error.what());
  }
}

}  // namespace migprof::cli
