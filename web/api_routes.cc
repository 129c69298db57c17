#include "web/api_routes.h"

#include <strings.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "commands/call_member.h"
#include "commands/commands.h"
#include "commands/insight_commands.h"
#include "commands/json_depth.h"
#include "commands/revision_commands.h"
#include "component/failure.h"
#include "migprof/dispatch.h"
#include "web/api_openapi.h"

namespace migprof::web {
namespace {

using cli::Json;

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

// The account whose API token the request carries, or nullopt after
// answering 401. Only the Authorization header counts: a browser's session
// cookie is never looked at.
std::optional<std::string> RequireToken(WebApp& app, const httplib::Request& req,
                                        httplib::Response& res) {
  const std::string header = req.get_header_value("Authorization");
  constexpr std::size_t kScheme = 7;  // "Bearer "
  std::optional<std::string> user;
  if (header.size() > kScheme && strncasecmp(header.c_str(), "Bearer ", kScheme) == 0) {
    user = app.store.ApiTokenUser(header.substr(kScheme));
  }
  if (!user) {
    res.set_header("WWW-Authenticate", "Bearer realm=\"migprof\"");
    SendError(res, 401,
              header.empty() ? "an API token is needed: send \"Authorization: Bearer <token>\" "
                               "with a token from `migprof token add <user>`"
                             : "the API token is not valid or has been revoked");
  }
  return user;
}

// Runs an authenticated route: a failure of the database (reading the
// token, or in the route) is answered 503 in JSON rather than by the front
// end's HTML page.
using ApiRoute =
    std::function<void(const std::string& user, const httplib::Request&, httplib::Response&)>;
httplib::Server::Handler Authenticated(WebApp& app, ApiRoute route) {
  return [&app, route = std::move(route)](const httplib::Request& req, httplib::Response& res) {
    try {
      std::optional<std::string> user = RequireToken(app, req, res);
      if (user) route(*user, req, res);
    } catch (...) {
      ComError error = CurrentFailure();
      SendJson(res, 503,
               Json{{"error", "the profile database did not answer"},
                    {"raised", cli::RaisedJson(error)}});
    }
  };
}

// The arguments of a call: the body as a JSON array (an empty body is no
// arguments), or nullopt after answering 400.
std::optional<Json> ArgumentsOf(const httplib::Request& req, httplib::Response& res) {
  if (req.body.find_first_not_of(" \t\r\n") == std::string::npos) return Json::array();
  if (auto too_deep = cli::NestingTooDeep(req.body)) {
    SendError(res, 400, "the body is refused: " + *too_deep);
    return std::nullopt;
  }
  Json args = Json::parse(req.body, nullptr, /*allow_exceptions=*/false);
  if (args.is_discarded() || !args.is_array()) {
    SendError(res, 400, "the body must be a JSON array of the arguments, such as [100, \"alice\"]");
    return std::nullopt;
  }
  return args;
}

cli::DatabaseSettings SettingsOf(const WebApp& app) {
  const DbSettings& db = app.db.settings();
  return cli::DatabaseSettings{db.database, db.user, db.password};
}

// Answers what one of the tool's commands wrote: its JSON on success, its
// message (without the "migprof <command>: " the tool puts first) as a 400
// for a malformed request and a 422 for a refusal or failure.
void SendCommand(httplib::Response& res, int status, const std::ostringstream& out,
                 const std::ostringstream& err) {
  if (status == cli::kExitOk) {
    res.status = 200;
    res.set_content(out.str(), "application/json");
    return;
  }
  std::string message = err.str();
  if (std::size_t colon = message.find(": ");
      message.rfind("migprof ", 0) == 0 && colon != std::string::npos) {
    message.erase(0, colon + 2);
  }
  while (!message.empty() && message.back() == '\n') message.pop_back();
  SendError(res, status == cli::kExitBadRequest ? 400 : 422, message);
}

std::optional<std::string> Query(const httplib::Request& req, const char* name) {
  if (!req.has_param(name)) return std::nullopt;
  return req.get_param_value(name);
}

void AddMemberRoute(httplib::Server& server, WebApp& app) {
  server.Post(
      R"(/api/v1/members/([^/]+))",
      Authenticated(app, [&app](const std::string& user, const httplib::Request& req,
                                httplib::Response& res) {
        const std::string name = req.matches[1].str();
        const dispatch::Member* member = dispatch::FindMember(name);
        if (member == nullptr) {
          SendError(res, 400,
                    "no member named \"" + name + "\"; /api/v1/openapi.json lists the members");
          return;
        }
        std::optional<Json> args = ArgumentsOf(req, res);
        if (!args) return;
        // Arguments of the wrong count or type are refused before the
        // object is touched, so its error state stays as it was.
        try {
          cli::ConvertArguments(*member, *args);
        } catch (...) {
          ComError error = CurrentFailure();
          SendJson(res, 400,
                   Json{{"error",
                         "the arguments do not fit " + member->name + ": " + error.description()},
                        {"raised", cli::RaisedJson(error)}});
          return;
        }
        // One object per account, kept between calls as a host keeps its
        // object. Its data source is the server's before every call: a
        // script may call DatabaseName and the rest, but the object never
        // connects anywhere else.
        std::shared_ptr<HandleSlot> slot = app.handles.For("api-account:" + user);
        Json answer;
        {
          std::lock_guard<std::mutex> lock(slot->mutex);
          if (!slot->kept) slot->kept = std::make_unique<TOVRHandleMigProf>();
          app.db.settings().ApplyTo(*slot->kept);
          answer = cli::CallMember(*slot->kept, *member, *args, /*trace=*/false);
        }
        SendJson(res, 200, answer);
      }));
}

void AddInsightRoutes(httplib::Server& server, WebApp& app) {
  server.Post(R"(/api/v1/preview/([^/]+))",
              Authenticated(app, [&app](const std::string&, const httplib::Request& req,
                                        httplib::Response& res) {
                std::optional<Json> args = ArgumentsOf(req, res);
                if (!args) return;
                std::ostringstream out, err;
                int status = cli::RunPreviewCommand(SettingsOf(app), req.matches[1].str(), {},
                                                    args->dump(), out, err);
                SendCommand(res, status, out, err);
              }));
  server.Get("/api/v1/compare",
             Authenticated(app, [&app](const std::string&, const httplib::Request& req,
                                       httplib::Response& res) {
               std::ostringstream out, err;
               int status = cli::RunCompareCommand(SettingsOf(app), req.get_param_value("left"),
                                                   req.get_param_value("right"), out, err);
               SendCommand(res, status, out, err);
             }));
  server.Get("/api/v1/where-used",
             Authenticated(app, [&app](const std::string&, const httplib::Request& req,
                                       httplib::Response& res) {
               std::ostringstream out, err;
               int status =
                   cli::RunWhereUsedCommand(SettingsOf(app), Query(req, "mprf"),
                                            Query(req, "table"), Query(req, "function"), out, err);
               SendCommand(res, status, out, err);
             }));
  server.Get(R"(/api/v1/profiles/([^/]+)/export)",
             Authenticated(app, [&app](const std::string&, const httplib::Request& req,
                                       httplib::Response& res) {
               std::ostringstream out, err;
               int status = cli::RunExportCommand(SettingsOf(app), req.matches[1].str(), out, err);
               SendCommand(res, status, out, err);
             }));
  server.Post("/api/v1/import",
              Authenticated(app, [&app](const std::string&, const httplib::Request& req,
                                        httplib::Response& res) {
                if (auto too_deep = cli::NestingTooDeep(req.body)) {
                  SendError(res, 400, "the document is refused: " + *too_deep);
                  return;
                }
                std::ostringstream out, err;
                const bool dry_run = req.get_param_value("dry_run") == "true";
                int status = cli::RunImportDocument(SettingsOf(app), req.body, dry_run, out, err);
                SendCommand(res, status, out, err);
              }));
}

// The revision-control commands, each run as the tool runs it.
constexpr std::string_view kRevisionCommands[] = {"checkout",      "checkin",   "undo-checkout",
                                                  "edit-function", "edit-rule", "history",
                                                  "diff",          "restore",   "checkouts"};
// Options a request may not give: the database and its login are the
// server's, the acting user is the token's account.
constexpr std::string_view kServerOptions[] = {"--database", "--user", "--password",
                                               "--as",       "--help", "-h"};

bool IsOneOf(std::string_view word, const auto& list) {
  return std::find(std::begin(list), std::end(list), word) != std::end(list);
}

void AddRevisionRoute(httplib::Server& server, WebApp& app) {
  server.Post(
      R"(/api/v1/revision/([a-z-]+))",
      Authenticated(app, [&app](const std::string& user, const httplib::Request& req,
                                httplib::Response& res) {
        const std::string command = req.matches[1].str();
        if (!IsOneOf(command, kRevisionCommands)) {
          SendError(res, 400, "no revision command named \"" + command + "\"");
          return;
        }
        std::optional<Json> args = ArgumentsOf(req, res);
        if (!args) return;
        // The words of the command line after the command's name.
        std::vector<std::string> words{command};
        for (const Json& word : *args) {
          const std::string text = word.is_string() ? word.get<std::string>() : "";
          if (!word.is_string() || IsOneOf(text.substr(0, text.find('=')), kServerOptions)) {
            SendError(res, 400,
                      "the body must be the words after `migprof " + command +
                          "` as strings, without --database, --user, --password or --as");
            return;
          }
          words.push_back(text);
        }
        const DbSettings& db = app.db.settings();
        for (const std::string& word :
             {std::string("--database"), db.database, std::string("--as"), user}) {
          words.push_back(word);
        }
        if (!db.user.empty()) {
          for (const std::string& word :
               {std::string("--user"), db.user, std::string("--password"), db.password}) {
            words.push_back(word);
          }
        }
        CLI::App line;
        line.require_subcommand(1);
        cli::RevisionCommands revisions(line);
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        try {
          line.parse(reversed);
        } catch (const CLI::ParseError& error) {
          SendError(res, 400, error.what());
          return;
        }
        std::ostringstream out, err;
        SendCommand(res, revisions.RunChosen(out, err).value_or(cli::kExitBadRequest), out, err);
      }));
}

}  // namespace

void AddApiRoutes(httplib::Server& server, WebApp& app) {
  // The document says what there is; it needs no token.
  server.Get("/api/v1/openapi.json", [](const httplib::Request&, httplib::Response& res) {
    SendJson(res, 200, OpenApiDocument());
  });
  AddMemberRoute(server, app);
  AddInsightRoutes(server, app);
  AddRevisionRoute(server, app);
}

}  // namespace migprof::web
