// Accounts, for administrators: add, disable and enable, change the role,
// reset the password, end the sessions, remove, and list and revoke API
// tokens. Every change goes through the application layer, which refuses
// anyone but an administrator and records what was done.
#include "app/account_admin.h"
#include "web/pages/pages.h"
#include "wire/activity_json.h"

namespace migprof::web {
namespace {

constexpr const char* kRoles[] = {"viewer", "maintainer", "administrator"};

void ShowAccounts(WebApp& app, const SignedIn& session, httplib::Response& res,
                  const std::string& problem, const std::string& new_token, int status) {
  Data data;
  List accounts;
  for (const app::Account& account : app::ListAccounts(app.core, session.principal)) {
    Data a;
    a.set("name", account.name);
    a.set("role", app::RoleName(account.role));
    a.set("disabled", Flag(account.disabled));
    a.set("sessions", std::to_string(account.sessions));
    a.set("tokens", std::to_string(account.tokens));
    a.set("you", Flag(account.name == session.principal.name));
    List roles;
    for (const char* role : kRoles) {
      Data r;
      r.set("value", role);
      r.set("selected", Flag(role == std::string(app::RoleName(account.role))));
      roles.push_back(r);
    }
    a.set("roles", roles);
    accounts.push_back(a);
  }
  data.set("accounts", accounts);
  List tokens;
  for (const app::ApiToken& token : app::ListTokens(app.core, session.principal, "")) {
    Data t;
    t.set("id", token.id);
    t.set("user", token.user);
    t.set("created", wire::UtcText(token.created));
    tokens.push_back(t);
  }
  data.set("tokens", tokens);
  data.set("has_tokens", Flag(!tokens.empty()));
  data.set("problem", problem);
  data.set("has_problem", Flag(!problem.empty()));
  data.set("new_token", new_token);
  data.set("has_new_token", Flag(!new_token.empty()));
  SendHtml(res, RenderPage(Frame(app, session, "Accounts", {{"Accounts", ""}}), "accounts", data),
           status);
}

void AccountsRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  try {
    ShowAccounts(app, *session, res, "", "", 200);
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
  }
}

// One change of the accounts page; what it did goes to the next page as its
// flash, a refusal is shown on the page with the form.
void AccountActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session || !CheckCsrf(app, *session, req, res)) return;
  const Principal& who = session->principal;
  const std::string action = Param(req, "action");
  const std::string name = Param(req, "name");
  std::string done;
  try {
    if (action == "add") {
      std::optional<app::Role> role = app::ParseRole(Param(req, "role"));
      if (!role) throw app::Invalid("choose a role");
      const app::Role given = app::AddAccount(app.core, who, name, Param(req, "password"), *role);
      done = "Account " + name + " added (" + app::RoleName(given) + ")";
    } else if (action == "role") {
      std::optional<app::Role> role = app::ParseRole(Param(req, "role"));
      if (!role) throw app::Invalid("choose a role");
      app::ChangeRole(app.core, who, name, *role);
      done = "Account " + name + " is now " + app::RoleName(*role);
    } else if (action == "disable" || action == "enable") {
      app::SetDisabled(app.core, who, name, action == "disable");
      done = "Account " + name +
             (action == "disable" ? " disabled; its sessions have ended" : " enabled");
    } else if (action == "password") {
      app::ResetPassword(app.core, who, name, Param(req, "password"));
      done = "Password of " + name + " changed";
    } else if (action == "end-sessions") {
      const long ended = app::EndSessions(app.core, who, name);
      done = std::to_string(ended) + (ended == 1 ? " session" : " sessions") + " of " + name +
             " ended";
    } else if (action == "remove") {
      if (Param(req, "confirm") != name) {
        throw app::Invalid("type the account name " + name + " again to remove it");
      }
      app::RemoveAccount(app.core, who, name);
      done = "Account " + name + " removed";
    } else if (action == "add-token") {
      auto [id, token] = app::AddToken(app.core, who, name);
      // The token is shown once, on this answer, and never stored.
      ShowAccounts(app, *session, res, "", token, 200);
      return;
    } else if (action == "revoke-token") {
      app::RevokeToken(app.core, who, Param(req, "id"));
      done = "API token " + Param(req, "id") + " revoked";
    } else {
      SendProblem(res, 400, "Unknown action",
                  "The form asked for an action this page does not know.");
      return;
    }
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  } catch (const std::exception& refusal) {
    if (dynamic_cast<const ComError*>(&refusal) != nullptr) throw;
    ShowAccounts(app, *session, res, refusal.what(), "", 422);
    return;
  }
  RedirectWithFlash(app, *session, res, "/accounts", done);
}

}  // namespace

void AddAccountRoutes(httplib::Server& server, WebApp& app) {
  AddGet(server, app, "/accounts", AccountsRoute);
  AddPost(server, app, "/accounts", AccountActionRoute);
}

}  // namespace migprof::web
