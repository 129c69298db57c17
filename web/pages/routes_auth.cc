// Sign-in and sign-out. Without any account the server (which then listens
// on loopback only) asks for a name alone.
#include "app/secrets.h"
#include "web/http/network.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

constexpr const char* kSignInCookie = "mppre";

// Only local paths, so a sign-in link cannot send the browser elsewhere.
std::string SafeNext(const std::string& next) {
  if (next.size() > 1 && next[0] == '/' && next[1] != '/' && next[1] != '\\') return next;
  return "/profiles";
}

void ShowSignIn(WebApp& app, const httplib::Request& req, httplib::Response& res,
                const std::string& name, const std::string& problem) {
  std::string token = app::NewToken();
  res.set_header("Set-Cookie", std::string(kSignInCookie) + "=" + token +
                                   "; Path=/signin; HttpOnly; SameSite=Strict");
  PageFrame frame;
  frame.title = "Sign in";
  frame.csrf = token;
  Data data;
  data.set("name", name);
  data.set("next", SafeNext(Param(req, "next")));
  data.set("problem", problem);
  data.set("has_problem", Flag(!problem.empty()));
  data.set("accounts", Flag(app.core.accounts().Any()));
  SendHtml(res, RenderPage(frame, "signin", data), problem.empty() ? 200 : 401);
}

}  // namespace

void AddAuthRoutes(httplib::Server& server, WebApp& app) {
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.status = 303;
    res.set_header("Location", "/profiles");
  });
  server.Get("/signin", [&app](const httplib::Request& req, httplib::Response& res) {
    ShowSignIn(app, req, res, "", "");
  });
  server.Post("/signin", [&app](const httplib::Request& req, httplib::Response& res) {
    if (!app::TokensEqual(CookieValue(req, kSignInCookie), Param(req, "csrf"))) {
      SendProblem(res, 403, "Request refused",
                  "The sign-in form did not carry its token. Open the sign-in page again.");
      return;
    }
    const std::string name = Param(req, "name");
    if (name.empty() || name.size() > 64) {
      ShowSignIn(app, req, res, name, "Enter your user name.");
      return;
    }
    if (app.core.accounts().Any()) {
      std::optional<std::string> stored = app.core.accounts().PasswordHash(name);
      if (!stored || !app::PasswordMatches(*stored, Param(req, "password"))) {
        ShowSignIn(app, req, res, name, "The name or the password is wrong.");
        return;
      }
      std::optional<app::Account> account = app.core.accounts().Find(name);
      if (!account || account->disabled) {
        ShowSignIn(app, req, res, name,
                   "This account is disabled; ask an administrator to enable it.");
        return;
      }
    } else if (!IsLoopback(req.remote_addr)) {
      ShowSignIn(app, req, res, name, "Without accounts only this machine may sign in.");
      return;
    }
    std::string id = app.core.accounts().NewSession(name);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict");
    res.status = 303;
    res.set_header("Location", SafeNext(Param(req, "next")));
  });
  server.Post("/signout", [&app](const httplib::Request& req, httplib::Response& res) {
    std::optional<SignedIn> session = RequireSession(app, req, res);
    if (!session) {  // already ended: nothing to sign out of
      res = httplib::Response();
      res.status = 303;
      res.set_header("Location", "/signin");
      return;
    }
    if (!CheckCsrf(app, *session, req, res)) return;
    app.core.accounts().EndSession(session->session.id_hash);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict");
    res.status = 303;
    res.set_header("Location", "/signin");
  });
}

}  // namespace migprof::web
