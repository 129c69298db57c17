// Sign-in and sign-out. Without any account the server (which then listens
// on loopback only) asks for a name alone.
#include <iostream>

#include "app/secrets.h"
#include "web/http/network.h"
#include "web/http/request_checks.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

constexpr const char* kSignInCookie = "mppre";

// Only paths of this server, so a sign-in link cannot send the browser
// elsewhere.
std::string SafeNext(const std::string& next) { return SafeReturnPath(next, "/profiles"); }

ClientView Client(const WebApp& app, const httplib::Request& req) {
  if (app.proxies == nullptr) return ClientView{req.remote_addr, false};
  return RequestClient(*app.proxies, req);
}

void ShowSignIn(WebApp& app, const httplib::Request& req, httplib::Response& res,
                const std::string& name, const std::string& problem, int status = 401) {
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
  SendHtml(res, RenderPage(frame, "signin", data), problem.empty() ? 200 : status);
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
    const std::string address = Client(app, req).address;
    bool locked = false;
    const std::chrono::seconds wait =
        app.sign_ins.Wait(name, address, app::SignInThrottle::Clock::now(), &locked);
    if (wait.count() > 0) {
      res.set_header("Retry-After", std::to_string(wait.count()));
      ShowSignIn(app, req, res, name,
                 std::string(locked ? "Too many failed sign-ins: signing in is locked"
                                    : "After failed sign-ins the next try must wait") +
                     " for this name or from this address; try again in " +
                     std::to_string(wait.count()) + " s.",
                 429);
      return;
    }
    if (app.core.accounts().Any()) {
      std::optional<std::string> stored = app.core.accounts().PasswordHash(name);
      const std::string password = Param(req, "password");
      // An unknown name takes as long as a wrong password.
      if (!(stored ? app::PasswordMatches(*stored, password)
                   : app::PasswordMatchesNoAccount(password))) {
        if (app.sign_ins.Failed(name, address, app::SignInThrottle::Clock::now())) {
          std::clog << "migprof serve: failed sign-ins lock the name \"" << name.substr(0, 64)
                    << "\" or the address " << address << " for a while" << std::endl;
        }
        ShowSignIn(app, req, res, name, "The name or the password is wrong.");
        return;
      }
      app.sign_ins.Succeeded(name);
      std::optional<app::Account> account = app.core.accounts().Find(name);
      if (!account || account->disabled) {
        ShowSignIn(app, req, res, name,
                   "This account is disabled; ask an administrator to enable it.");
        return;
      }
    } else if (!IsLoopback(req.remote_addr) || (app.proxies != nullptr && !app.proxies->Empty())) {
      // Checked at every sign-in, not only when the server started: the
      // last account may have been removed since. Behind a proxy every
      // request comes from the proxy's (often loopback) address.
      ShowSignIn(app, req, res, name,
                 "Without accounts only this machine may sign in, and not through a proxy.", 403);
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
