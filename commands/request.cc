#include "commands/request.h"

#include <string>

#include "commands/call_member.h"
#include "commands/json_depth.h"
#include "commands/run_statement.h"
#include "migprof/dispatch.h"

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

Json HandleCall(TOVRHandleMigProf& object, const Json& request, const RequestOptions& options) {
  RequireOnlyKeys(request, {"call", "args"}, "a call");
  const Json& name = request.at("call");
  if (!name.is_string()) throw BadRequest("\"call\" must be a member name (a string)");
  const dispatch::Member* member = dispatch::FindMember(name.get_ref<const std::string&>());
  if (member == nullptr) {
    throw BadRequest("no member named \"" + name.get<std::string>() +
                     "\"; 'migprof call --help' lists the members");
  }
  const Json args = request.contains("args") ? request.at("args") : Json::array();
  if (!args.is_array()) throw BadRequest("\"args\" must be an array of argument values");
  return CallMember(object, *member, args, options.trace);
}

Json HandleSql(TOVRHandleMigProf& object, const Json& request) {
  RequireOnlyKeys(request, {"sql"}, "an sql");
  const Json& statement = request.at("sql");
  if (!statement.is_string()) throw BadRequest("\"sql\" must be a statement (a string)");
  return RunStatement(object, statement.get<std::string>());
}

}  // namespace

Json ErrorJson(std::string_view message) { return Json{{"error", message}}; }

void WriteAnswer(std::ostream& out, const Json& answer) {
  // Invalid UTF-8 in a text the component returns is written as U+FFFD
  // rather than failing the answer.
  out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
}

Json HandleRequest(TOVRHandleMigProf& object, const Json& request, const RequestOptions& options) {
  if (!request.is_object()) {
    throw BadRequest(
        "a request must be a JSON object, such as {\"call\": \"ErrorNumber\", \"args\": []} or "
        "{\"sql\": \"select 1\"}");
  }
  bool is_call = request.contains("call");
  bool is_sql = request.contains("sql");
  if (is_call && is_sql) throw BadRequest("a request has \"call\" or \"sql\", not both");
  if (is_call) return HandleCall(object, request, options);
  if (is_sql) return HandleSql(object, request);
  throw BadRequest("a request needs \"call\" (a member call) or \"sql\" (a statement)");
}

Json AnswerLine(TOVRHandleMigProf& object, std::string_view line, const RequestOptions& options) {
  if (line.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return ErrorJson("empty request line");
  }
  if (auto too_deep = NestingTooDeep(line)) return ErrorJson("request refused: " + *too_deep);
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
    return HandleRequest(object, request, options);
  } catch (const BadRequest& error) {
    return ErrorJson(error.what());
  }
}

}  // namespace migprof::cli
