#include "web/api/api_openapi.h"

#include <algorithm>

#include "migprof/dispatch.h"
#include "migprof/version.h"

namespace migprof::web {
namespace {

using dispatch::ParamType;
using dispatch::ResultType;
using wire::Json;

Json Ref(const std::string& name) { return Json{{"$ref", "#/components/" + name}}; }

// What a JSON argument may be for a parameter type, as wire::ArgumentFromJson
// and dispatch::CoerceArgument accept it.
Json ArgumentSchema(const dispatch::Param& param) {
  Json schema{{"title", param.name}};
  switch (param.type) {
    case ParamType::kInteger:
      schema["type"] = Json::array({"integer", "string"});
      schema["description"] = "A 16-bit whole number, or text holding one";
      break;
    case ParamType::kBoolean:
      schema["type"] = Json::array({"boolean", "integer"});
      schema["description"] = "true/false, or the 16-bit value (-1 is true, 0 false)";
      break;
    case ParamType::kString:
      schema["type"] = Json::array({"string", "number", "boolean"});
      schema["description"] = "Text; a number or Boolean is taken as its text";
      break;
    case ParamType::kVariant:
      schema["description"] = "Any value";
      break;
    case ParamType::kConnection:
      schema["type"] = "null";
      schema["description"] = "Nothing: a connection cannot be passed over HTTP";
      break;
  }
  if (param.by_ref) {
    schema["x-by-ref"] = true;
    schema["description"] = schema["description"].get<std::string>() +
                            "; by reference: its value after the call is in the answer's byref";
  }
  if (param.optional) schema["x-optional"] = true;
  return schema;
}

Json ResultSchema(ResultType type) {
  switch (type) {
    case ResultType::kNone:
      return Json{{"type", "null"}};
    case ResultType::kBoolean:
      return Json{{"type", Json::array({"boolean", "integer"})}};
    case ResultType::kDouble:
      return Json{{"type", Json::array({"number", "null"})}};
    case ResultType::kString:
      return Json{{"type", Json::array({"string", "null"})}};
    case ResultType::kConnection:
      return Json{{"type", Json::array({"object", "null"})},
                  {"properties", Json{{"Connection", Json{{"type", "object"}}}}}};
  }
  return Json::object();
}

Json JsonContent(const Json& schema) {
  return Json{{"application/json", Json{{"schema", schema}}}};
}

Json Answer(const std::string& description, const Json& schema) {
  return Json{{"description", description}, {"content", JsonContent(schema)}};
}

Json MemberOperation(const dispatch::Member& member) {
  const auto& params = member.params;
  std::size_t required = static_cast<std::size_t>(std::count_if(
      params.begin(), params.end(), [](const dispatch::Param& p) { return !p.optional; }));
  Json items = Json::array();
  Json byref = Json::array();
  for (const dispatch::Param& param : params) {
    items.push_back(ArgumentSchema(param));
    if (param.by_ref) byref.push_back(ArgumentSchema(param));
  }
  Json body{{"type", "array"}, {"minItems", required}, {"maxItems", params.size()}};
  if (!items.empty()) body["prefixItems"] = items;
  Json answer{{"type", "object"},
              {"required", Json::array({"result", "ErrorNumber", "ErrDescription"})},
              {"properties",
               Json{{"result", ResultSchema(member.result)},
                    {"ErrorNumber", Json{{"type", "number"}}},
                    {"ErrDescription", Json{{"type", "string"}}},
                    {"rows", Json{{"type", "object"}, {"description", "Rows changed, per table"}}},
                    {"raised", Ref("schemas/Raised")}}}};
  if (!byref.empty()) {
    answer["properties"]["byref"] = Json{{"type", "array"}, {"prefixItems", byref}};
  }
  return Json{
      {"operationId", member.name},
      {"tags", Json::array({"members"})},
      {"summary", "Calls " + member.name + " (interface position " +
                      std::to_string(member.position) +
                      ") on a new object, acting as the token's account"},
      {"requestBody", Json{{"required", false},
                           {"description", "The arguments in order; an empty body is no arguments"},
                           {"content", JsonContent(body)}}},
      {"responses", Json{{"200", Answer("The member's answer, as `migprof call` gives it", answer)},
                         {"400", Ref("responses/BadRequest")},
                         {"401", Ref("responses/Unauthorized")},
                         {"403", Ref("responses/Forbidden")},
                         {"404", Ref("responses/NotFound")}}},
  };
}

// A read-only command of the tool under /api/v1/.
Json CommandOperation(const std::string& id, const std::string& summary, Json parameters) {
  Json operation{{"operationId", id},
                 {"tags", Json::array({"insight"})},
                 {"summary", summary},
                 {"responses", Json{{"200", Answer("The command's answer, as the tool writes it",
                                                   Json{{"type", "object"}})},
                                    {"400", Ref("responses/BadRequest")},
                                    {"401", Ref("responses/Unauthorized")},
                                    {"403", Ref("responses/Forbidden")},
                                    {"422", Ref("responses/Refused")}}}};
  if (!parameters.empty()) operation["parameters"] = std::move(parameters);
  return operation;
}

Json Parameter(const std::string& name, const std::string& in, bool required,
               const std::string& description) {
  return Json{{"name", name},
              {"in", in},
              {"required", required},
              {"description", description},
              {"schema", Json{{"type", "string"}}}};
}

Json CommandPaths() {
  Json args_body{{"required", false},
                 {"description", "The member's arguments, as for /api/v1/members/{member}"},
                 {"content", JsonContent(Json{{"type", "array"}})}};
  Json preview = CommandOperation(
      "preview", "What a changing member would do, without changing the database",
      Json::array({Parameter("member", "path", true, "A member that changes the database")}));
  preview["requestBody"] = args_body;
  Json import = CommandOperation(
      "import", "Adds an exported profile to the database",
      Json::array({Parameter("dry_run", "query", false, "\"true\": what it would write")}));
  import["requestBody"] = Json{{"required", true},
                               {"description", "A document from the export"},
                               { "content",
                                 JsonContent(Json{
                                     { "type",
                                       "object" }}) }};
  Json revision = CommandOperation(
      "revision", "A revision-control command, acting as the token's account",
      Json::array({Parameter("command", "path", true,
                             "checkout, checkin, undo-checkout, edit-function, edit-rule, "
                             "history, diff, restore or checkouts")}));
  revision["requestBody"] =
      Json{{"required", false},
           {"description",
            "The item and the command's values: \"mprf\", \"vrc\" ({vers}_{rele}_{cust}), "
            "\"function\" or \"table\"; \"force\" (checkout, undo-checkout), \"comment\" "
            "(checkin, restore, edit-function), \"definition\" and \"description\" "
            "(edit-function), \"field\" and \"set\" {column: value} (edit-rule), \"from\" and "
            "\"to\" (diff), \"revision\" (restore); checkouts takes an optional \"mprf\""},
           {"content", JsonContent(Json{{"type", "object"}})}};
  Json activity = CommandOperation(
      "activity", "The recorded changes, newest first, a page at a time",
      Json::array({Parameter("profile", "query", false, "Only changes of this profile"),
                   Parameter("user", "query", false, "Only changes made by this account"),
                   Parameter("since", "query", false, "From this day on (YYYY-MM-DD, UTC)"),
                   Parameter("until", "query", false, "Up to and with this day (YYYY-MM-DD)"),
                   Parameter("page", "query", false, "Page number, from 1")}));
  return Json{
      {"/api/v1/preview/{member}", Json{{"post", preview}}},
      {"/api/v1/compare",
       Json{{"get", CommandOperation("compare", "Compares the rules and functions of two profiles",
                                     Json::array({Parameter("left", "query", true,
                                                            "<mprf>[:<vers>_<rele>_<cust>]"),
                                                  Parameter("right", "query", true,
                                                            "<mprf>[:<vers>_<rele>_<cust>]")}))}}},
      {"/api/v1/where-used",
       Json{{"get", CommandOperation(
                        "whereUsed",
                        "A profile's lineage, or the profiles using a table or a function; give "
                        "one of the three",
                        Json::array(
                            {Parameter("mprf", "query", false, "Profile number"),
                             Parameter("table", "query", false, "Table code <tcpac><tcmod><tflno>"),
                             Parameter("function", "query", false, "Library function name")}))}}},
      {"/api/v1/profiles/{mprf}/export",
       Json{{"get",
             CommandOperation("export", "A profile and its rules as one JSON document",
                              Json::array({Parameter("mprf", "path", true, "Profile number")}))}}},
      {"/api/v1/profiles/{mprf}/coverage",
       Json{{"get", CommandOperation(
                        "coverage",
                        "Per target table, the dictionary's field elements with and without a "
                        "field rule, stale rules, missing source tables and functions",
                        Json::array({Parameter("mprf", "path", true, "Profile number"),
                                     Parameter("vrc", "query", false,
                                               "<vers>_<rele>_<cust>; the profile's own VRC "
                                               "when not given")}))}}},
      {"/api/v1/import", Json{{"post", import}}},
      {"/api/v1/revision/{command}", Json{{"post", revision}}},
      {"/api/v1/activity", Json{{"get", activity}}},
  };
}

Json Components() {
  Json error{
      {"type", "object"},
      {"required", Json::array({"error"})},
      {"properties", Json{{"error", Json{{"type", "string"}}}, {"raised", Ref("schemas/Raised")}}}};
  return Json{
      {"schemas",
       Json{{"Error", error},
            {"Raised", Json{{"type", "object"},
                            {"required", Json::array({"number", "description"})},
                            {"properties", Json{{"number", Json{{"type", "number"}}},
                                                {"description", Json{{"type", "string"}}}}}}}}},
      {"responses",
       Json{{"BadRequest", Answer("The request is malformed; nothing was called or changed",
                                  Ref("schemas/Error"))},
            {"Unauthorized", Answer("No API token, or one that is not valid or revoked, or its "
                                    "account is disabled; nothing was changed",
                                    Ref("schemas/Error"))},
            {"Forbidden", Answer("The token's account may not do this (its role, or another "
                                 "owner's profile, or a user argument naming someone else); "
                                 "nothing was changed",
                                 Ref("schemas/Error"))},
            {"NotFound", Answer("No such member or command", Ref("schemas/Error"))},
            {"Refused",
             Answer("The command refused or failed; nothing was changed", Ref("schemas/Error"))}}},
      {"securitySchemes",
       Json{{"token", Json{{"type", "http"},
                           {"scheme", "bearer"},
                           {"description", "An API token from `migprof token add <user>`"}}}}},
  };
}

}  // namespace

Json OpenApiDocument() {
  Json paths = Json::object();
  for (const dispatch::Member& member : dispatch::Members()) {
    paths["/api/v1/members/" + member.name] = Json{{"post", MemberOperation(member)}};
  }
  Json commands = CommandPaths();
  for (auto& [path, item] : commands.items()) paths[path] = item;
  paths["/api/v1/openapi.json"] = Json{
      {"get", Json{{"operationId", "openapi"},
                   {"summary", "This document"},
                   {"security", Json::array()},
                   {"responses",
                    Json{{"200", Answer("The OpenAPI document", Json{{"type", "object"}})}}}}}};
  return Json{
      {"openapi", "3.1.0"},
      {"info", Json{{"title", "migprof API"},
                    {"version", MIGPROF_VERSION},
                    {"description",
                     "The members of the migration-profile component, revision control, the "
                     "insight views and the activity log, for scripts. Every request acts as "
                     "the account of its API token, with the account's role; every change is "
                     "recorded."}}},
      {"security", Json::array({Json{{"token", Json::array()}}})},
      {"paths", paths},
      {"components", Components()},
  };
}

}  // namespace migprof::web
