// The JSON API for scripts: every request acts as the account of its API
// token. A handler reads the request into the application layer's types,
// calls the application layer and writes its answer as JSON; the
// application layer decides what the account may do.
#include "web/api/api_routes.h"

#include <strings.h>

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "app/account_admin.h"
#include "app/changes.h"
#include "app/coverage.h"
#include "app/errors.h"
#include "app/identity.h"
#include "app/insight.h"
#include "app/revisions.h"
#include "migprof/com_error.h"
#include "migprof/dispatch.h"
#include "web/api/api_openapi.h"
#include "web/http/request.h"
#include "wire/activity_json.h"
#include "wire/coverage_json.h"
#include "wire/insight_json.h"
#include "wire/json_depth.h"
#include "wire/member_json.h"
#include "wire/revision_json.h"

namespace migprof::web {
namespace {

using app::Principal;
using app::TableKey;
using app::Vrc;
using wire::Json;

void SendJson(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  // Invalid UTF-8 in a text the component returns is written as U+FFFD
  // rather than failing the answer, as the tool does.
  res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n",
                  "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, Json{{"error", message}});
}

// A request the route cannot take as it stands (400).
struct BadBody : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace

std::optional<Principal> RequireToken(WebApp& app, const httplib::Request& req,
                                      httplib::Response& res) {
  const std::string header = req.get_header_value("Authorization");
  constexpr std::size_t kScheme = 7;  // "Bearer "
  std::optional<Principal> principal;
  if (header.size() > kScheme && strncasecmp(header.c_str(), "Bearer ", kScheme) == 0) {
    principal = app::TokenPrincipal(app.core, header.substr(kScheme));
  }
  if (!principal) {
    res.set_header("WWW-Authenticate", "Bearer realm=\"migprof\"");
    SendError(res, 401,
              header.empty() ? "an API token is needed: send \"Authorization: Bearer <token>\" "
                               "with a token from `migprof token add <user>`"
                             : "the API token is not valid, has been revoked, or its account "
                               "is disabled");
  }
  return principal;
}

namespace {

// Runs an authenticated route and answers what the application layer
// raises: 400 for a malformed request, 403 for one the account may not
// make, 404 for what does not exist, 422 for a refusal, 503 when the
// database fails.
using ApiRoute = std::function<void(const Principal&, const httplib::Request&, httplib::Response&)>;
httplib::Server::Handler Authenticated(WebApp& app, ApiRoute route) {
  return [&app, route = std::move(route)](const httplib::Request& req, httplib::Response& res) {
    try {
      std::optional<Principal> principal = RequireToken(app, req, res);
      if (principal) route(*principal, req, res);
    } catch (const BadBody& bad) {
      SendError(res, 400, bad.what());
    } catch (const app::Invalid& invalid) {
      SendError(res, 400, invalid.what());
    } catch (const app::Forbidden& refusal) {
      SendError(res, 403, refusal.what());
    } catch (const app::NotFound& missing) {
      SendError(res, 404, missing.what());
    } catch (const configmgt::Refusal& refusal) {
      SendError(res, 422, refusal.what());
    } catch (const insight::ImportRefused& refusal) {
      SendError(res, 422, refusal.what());
    } catch (const ComError& error) {
      if (error.number() == insight::kInsightRefused) {
        SendJson(res, 422, Json{{"error", error.description()}});
        return;
      }
      SendJson(res, 503,
               Json{{"error", "the profile database did not answer"},
                    {"raised", wire::RaisedJson(error)}});
    } catch (...) {
      SendJson(res, 503,
               Json{{"error", "the profile database did not answer"},
                    {"raised", wire::RaisedJson(CurrentFailure())}});
    }
  };
}

// The body as JSON of the kind wanted (an empty body is an empty array or
// object); raises BadBody.
Json BodyOf(const httplib::Request& req, bool want_array) {
  if (req.body.find_first_not_of(" \t\r\n") == std::string::npos) {
    return want_array ? Json::array() : Json::object();
  }
  if (auto too_deep = wire::NestingTooDeep(req.body)) {
    throw BadBody("the body is refused: " + *too_deep);
  }
  Json body = Json::parse(req.body, nullptr, /*allow_exceptions=*/false);
  if (body.is_discarded() || (want_array ? !body.is_array() : !body.is_object())) {
    throw BadBody(want_array
                      ? "the body must be a JSON array of the arguments, such as [100, \"alice\"]"
                      : "the body must be a JSON object, such as {\"mprf\": 100, \"vrc\": "
                        "\"1_0_C\", \"function\": \"conv_date\"}");
  }
  return body;
}

Integer ProfileNumber(const std::string& text, const char* what) {
  std::optional<Integer> mprf = ParseProfileNumber(text);
  if (!mprf) throw BadBody(std::string(what) + " \"" + text + "\" is not a profile number");
  return *mprf;
}

// A member call from the route's name and the body's arguments; a call of
// the wrong shape is answered 400 with what the runtime raised.
std::optional<app::MemberCall> CallOf(const std::string& name, const Json& args,
                                      httplib::Response& res) {
  try {
    return wire::CallFromJson(name, args);
  } catch (const app::NotFound&) {
    SendError(res, 404, "no member named \"" + name + "\"; /api/v1/openapi.json lists the members");
  } catch (const ComError& error) {
    SendJson(res, 400,
             Json{{"error", "the arguments do not fit " + name + ": " + error.description()},
                  {"raised", wire::RaisedJson(error)}});
  }
  return std::nullopt;
}

void AddMemberRoutes(httplib::Server& server, WebApp& app) {
  server.Post(R"(/api/v1/members/([^/]+))",
              Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                        httplib::Response& res) {
                std::optional<app::MemberCall> call =
                    CallOf(req.matches[1].str(), BodyOf(req, true), res);
                if (!call) return;
                SendJson(res, 200, wire::OutcomeJson(app::Call(app.core, who, *call)));
              }));
  server.Post(R"(/api/v1/preview/([^/]+))",
              Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                        httplib::Response& res) {
                const Json args = BodyOf(req, true);
                std::optional<app::MemberCall> call = CallOf(req.matches[1].str(), args, res);
                if (!call) return;
                std::vector<Integer> profiles;
                for (std::size_t i = 0; i < call->member->params.size(); ++i) {
                  if (call->member->params[i].type == dispatch::ParamType::kInteger) {
                    profiles.push_back(call->args[i].AsInteger());
                  }
                }
                app::PreviewResult preview = app::PreviewCall(app.core, who, *call, profiles);
                SendJson(res, 200,
                         Json{{"member", call->member->name},
                              {"args", args},
                              {"outcome", wire::OutcomeJson(preview.outcome)},
                              {"changes", wire::ChangesJson(preview.changes)}});
              }));
}

// "<mprf>" or "<mprf>:<vers>_<rele>_<cust>".
insight::RuleSet RuleSetOf(const std::string& text) {
  insight::RuleSet set;
  const std::size_t colon = text.find(':');
  set.mprf = ProfileNumber(text.substr(0, colon), "profile");
  if (colon == std::string::npos) return set;
  std::optional<Vrc> vrc = app::ParseVrc(text.substr(colon + 1));
  if (!vrc || text.find('_', text.rfind('_') + 1) != std::string::npos) {
    throw BadBody("\"" + text + "\" is not <mprf>:<vers>_<rele>_<cust>");
  }
  set.vrc = std::vector<String>{vrc->vers, vrc->rele, vrc->cust};
  return set;
}

void AddInsightRoutes(httplib::Server& server, WebApp& app) {
  server.Get(
      "/api/v1/compare",
      Authenticated(
          app, [&app](const Principal& who, const httplib::Request& req, httplib::Response& res) {
            SendJson(res, 200,
                     wire::ComparisonJson(app::Compare(app.core, who, RuleSetOf(Param(req, "left")),
                                                       RuleSetOf(Param(req, "right")))));
          }));
  server.Get(
      "/api/v1/where-used",
      Authenticated(
          app, [&app](const Principal& who, const httplib::Request& req, httplib::Response& res) {
            const int given = int(req.has_param("mprf")) + int(req.has_param("table")) +
                              int(req.has_param("function"));
            if (given != 1) throw BadBody("give one of mprf, table or function");
            if (req.has_param("mprf")) {
              SendJson(res, 200,
                       wire::LineageJson(app::Lineage(
                           app.core, who, ProfileNumber(Param(req, "mprf"), "profile"))));
            } else if (req.has_param("table")) {
              std::optional<TableKey> key = app::ParseTableCode(Param(req, "table"));
              if (!key) throw BadBody("table takes <tcpac><tcmod><tflno>, such as ABcde001");
              SendJson(res, 200,
                       wire::TableUsageJson(
                           app::TableUse(app.core, who, key->tcpac, key->tcmod, key->tflno)));
            } else {
              SendJson(
                  res, 200,
                  wire::FunctionUsageJson(app::FunctionUse(app.core, who, Param(req, "function"))));
            }
          }));
  // ?vrc=<vers>_<rele>_<cust>; without it the profile's own VRC.
  server.Get(R"(/api/v1/profiles/([^/]+)/coverage)",
             Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                       httplib::Response& res) {
               std::string set = req.matches[1].str();
               if (req.has_param("vrc")) set += ":" + Param(req, "vrc");
               SendJson(res, 200, wire::CoverageJson(app::Coverage(app.core, who, RuleSetOf(set))));
             }));
  server.Get(R"(/api/v1/profiles/([^/]+)/export)",
             Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                       httplib::Response& res) {
               res.status = 200;
               res.set_content(
                   app::Export(app.core, who, ProfileNumber(req.matches[1].str(), "profile")),
                   "application/json");
             }));
  server.Post(
      "/api/v1/import", Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                                  httplib::Response& res) {
        if (auto too_deep = wire::NestingTooDeep(req.body)) {
          throw BadBody("the document is refused: " + *too_deep);
        }
        if (req.get_param_value("dry_run") != "true") {
          SendJson(res, 200, wire::ImportJson(app::Import(app.core, who, req.body)));
          return;
        }
        insight::ImportResult result;
        std::vector<insight::TableChanges> changes =
            app::PreviewImport(app.core, who, req.body, result);
        SendJson(
            res, 200,
            Json{{"outcome", wire::ImportJson(result)}, {"changes", wire::ChangesJson(changes)}});
      }));
}

// The fields of a revision request's body.
struct RevisionBody {
  const Json& json;

  std::optional<std::string> Text(const char* name) const {
    if (!json.contains(name)) return std::nullopt;
    if (!json[name].is_string()) throw BadBody(std::string("\"") + name + "\" must be text");
    return json[name].get<std::string>();
  }
  std::optional<long long> Number(const char* name) const {
    if (!json.contains(name)) return std::nullopt;
    if (!json[name].is_number_integer()) {
      throw BadBody(std::string("\"") + name + "\" must be a whole number");
    }
    return json[name].get<long long>();
  }
  bool Flag(const char* name) const {
    if (!json.contains(name)) return false;
    if (!json[name].is_boolean())
      throw BadBody(std::string("\"") + name + "\" must be true or false");
    return json[name].get<bool>();
  }
  Integer Profile() const {
    std::optional<long long> mprf = Number("mprf");
    if (!mprf || *mprf < -32768 || *mprf > 32767) {
      throw BadBody("\"mprf\" must be a profile number");
    }
    return static_cast<Integer>(*mprf);
  }
  // The function ("function") or table rule ("table") the body names.
  app::Item Item() const {
    std::optional<configmgt::Vrc> vrc = configmgt::Vrc::Parse(Text("vrc").value_or(""));
    if (!vrc) throw BadBody("\"vrc\" must be written {vers}_{rele}_{cust}");
    std::optional<std::string> function = Text("function");
    std::optional<std::string> table = Text("table");
    if (function.has_value() == table.has_value()) {
      throw BadBody("name either a \"function\" or a \"table\" (<tcpac><tcmod><tflno>)");
    }
    return app::Item{Profile(), *vrc,
                     function ? configmgt::ItemKind::kFunction : configmgt::ItemKind::kRule,
                     function ? *function : *table};
  }
  Long Revision(const char* name) const {
    std::optional<long long> number = Number(name);
    if (!number || *number < 1 || *number > 2147483647LL) {
      throw BadBody(std::string("\"") + name + "\" must be a revision number from 1");
    }
    return static_cast<Long>(*number);
  }
};

using RevisionHandler = Json (*)(WebApp&, const Principal&, const RevisionBody&);

const std::pair<std::string_view, RevisionHandler> kRevisionCommands[] = {
    {"checkout",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       app::CheckOut(app.core, who, item, body.Flag("force"));
       return Json{{"checkedOut", wire::ItemJson(item)}};
     }},
    {"checkin",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       std::optional<std::string> comment = body.Text("comment");
       if (!comment || comment->empty()) throw BadBody("a check-in needs a \"comment\"");
       return Json{{"checkedIn", wire::ItemJson(item)},
                   {"revision", app::CheckIn(app.core, who, item, *comment)}};
     }},
    {"undo-checkout",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       app::UndoCheckOut(app.core, who, item, body.Flag("force"));
       return Json{{"undone", wire::ItemJson(item)}};
     }},
    {"edit-function",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       if (item.kind != configmgt::ItemKind::kFunction) {
         throw BadBody("edit-function takes a \"function\"");
       }
       app::EditFunction(app.core, who, item,
                         {body.Text("definition"), body.Text("description"), body.Text("comment")});
       return Json{{"edited", wire::ItemJson(item)}};
     }},
    {"edit-rule",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       if (item.kind != configmgt::ItemKind::kRule) throw BadBody("edit-rule takes a \"table\"");
       if (!body.json.contains("set") || !body.json["set"].is_object() ||
           body.json["set"].empty()) {
         throw BadBody("\"set\" must be an object of column: value");
       }
       std::vector<std::pair<String, String>> values;
       for (const auto& [column, value] : body.json["set"].items()) {
         if (!value.is_string()) throw BadBody("the values of \"set\" must be text");
         values.emplace_back(column, value.get<std::string>());
       }
       app::EditRule(app.core, who, item, body.Text("field"), values);
       return Json{{"edited", wire::ItemJson(item)}};
     }},
    {"history",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       return wire::HistoryJson(item, app::History(app.core, who, item));
     }},
    {"diff",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       const Long from = body.Revision("from");
       std::optional<Long> to;
       if (body.json.contains("to")) to = body.Revision("to");
       return wire::DiffJson(item, from, to, app::Diff(app.core, who, item, from, to));
     }},
    {"restore",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       const app::Item item = body.Item();
       const Long number = body.Revision("revision");
       const Long made =
           app::Restore(app.core, who, item, number, body.Text("comment").value_or(""));
       return Json{{"restored", number}, {"revision", made}, {"item", wire::ItemJson(item)}};
     }},
    {"checkouts",
     [](WebApp& app, const Principal& who, const RevisionBody& body) {
       std::optional<Integer> mprf;
       if (body.json.contains("mprf")) mprf = body.Profile();
       return wire::CheckOutsJson(app::CheckOuts(app.core, who, mprf));
     }},
};

void AddRevisionRoute(httplib::Server& server, WebApp& app) {
  server.Post(R"(/api/v1/revision/([a-z-]+))",
              Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                        httplib::Response& res) {
                const std::string command = req.matches[1].str();
                for (const auto& [name, handler] : kRevisionCommands) {
                  if (name != command) continue;
                  const Json body = BodyOf(req, false);
                  SendJson(res, 200, handler(app, who, RevisionBody{body}));
                  return;
                }
                SendError(res, 404, "no revision command named \"" + command + "\"");
              }));
}

// "YYYY-MM-DD" (UTC) as seconds since 1970.
long long DayStart(const std::string& text, const char* name) {
  std::tm day{};
  char rest = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &day.tm_year, &day.tm_mon,
                                       &day.tm_mday, &rest) != 3) {
    throw BadBody(std::string(name) + " is written YYYY-MM-DD");
  }
  day.tm_year -= 1900;
  day.tm_mon -= 1;
  return static_cast<long long>(timegm(&day));
}

void AddActivityRoute(httplib::Server& server, WebApp& app) {
  server.Get("/api/v1/activity",
             Authenticated(app, [&app](const Principal& who, const httplib::Request& req,
                                       httplib::Response& res) {
               app::ActivityFilter filter;
               if (req.has_param("profile")) {
                 filter.mprf = ProfileNumber(Param(req, "profile"), "profile");
               }
               filter.user = Param(req, "user");
               if (req.has_param("since")) filter.since = DayStart(Param(req, "since"), "since");
               if (req.has_param("until")) {
                 filter.before = DayStart(Param(req, "until"), "until") + 24 * 3600;
               }
               const long page = PageNumber(req);
               Json entries = Json::array();
               for (const app::ActivityEntry& entry :
                    app::ListActivity(app.core, who, filter, (page - 1) * kPageSize, kPageSize)) {
                 entries.push_back(wire::ActivityJson(entry));
               }
               SendJson(res, 200,
                        Json{{"total", app::CountActivity(app.core, who, filter)},
                             {"page", page},
                             {"pageSize", kPageSize},
                             {"entries", std::move(entries)}});
             }));
}

// Other methods on the API's addresses are answered 405 with the one that
// works.
void AddMethodRefusals(httplib::Server& server) {
  struct Address {
    const char* pattern;
    const char* allowed;
  };
  static const Address kAddresses[] = {
      {R"(/api/v1/members/([^/]+))", "POST"},
      {R"(/api/v1/preview/([^/]+))", "POST"},
      {R"(/api/v1/revision/([a-z-]+))", "POST"},
      {"/api/v1/import", "POST"},
      {"/api/v1/compare", "GET"},
      {"/api/v1/where-used", "GET"},
      {R"(/api/v1/profiles/([^/]+)/export)", "GET"},
      {R"(/api/v1/profiles/([^/]+)/coverage)", "GET"},
      {"/api/v1/activity", "GET"},
      {"/api/v1/openapi.json", "GET"},
  };
  for (const Address& address : kAddresses) {
    auto refuse = [allowed = address.allowed](const httplib::Request& req, httplib::Response& res) {
      res.set_header("Allow", allowed);
      SendError(res, 405, req.method + " is not answered here; use " + std::string(allowed));
    };
    const std::string allowed = address.allowed;
    if (allowed != "GET") server.Get(address.pattern, refuse);
    if (allowed != "POST") server.Post(address.pattern, refuse);
    server.Put(address.pattern, refuse);
    server.Delete(address.pattern, refuse);
    server.Patch(address.pattern, refuse);
  }
}

}  // namespace

void AddApiRoutes(httplib::Server& server, WebApp& app) {
  // The document says what there is; it needs no token.
  server.Get("/api/v1/openapi.json", [](const httplib::Request&, httplib::Response& res) {
    SendJson(res, 200, OpenApiDocument());
  });
  AddMemberRoutes(server, app);
  AddInsightRoutes(server, app);
  AddRevisionRoute(server, app);
  AddActivityRoute(server, app);
  AddMethodRefusals(server);
}

}  // namespace migprof::web
