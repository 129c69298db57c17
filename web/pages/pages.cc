#include "web/pages/pages.h"

#include <cstdio>
#include <sstream>

#include "app/identity.h"
#include "app/permissions.h"
#include "app/secrets.h"
#include "web/pages/sanitize.h"
#include "wire/json_values.h"

namespace migprof::web {

std::optional<SignedIn> RequireSession(WebApp& app, const httplib::Request& req,
                                       httplib::Response& res) {
  const std::string id = CookieValue(req, kSessionCookie);
  if (std::optional<SessionRecord> session = app.core.accounts().FindSession(id)) {
    if (std::optional<Principal> principal = app::SessionPrincipal(app.core, *session)) {
      return SignedIn{*session, *principal};
    }
    // Its account was removed or disabled: the session stands for no one.
    app.core.accounts().EndSession(session->id_hash);
  }
  if (req.method == "GET") {
    res.status = 303;
    res.set_header("Location", "/signin?next=" + UrlEncode(req.path));
  } else {
    // A change sent after sign-out or expiry is refused, not carried over a
    // sign-in: the form it came from may be hours old.
    SendProblem(res, 403, "Signed out",
                "Your session has ended (you signed out, or it expired), so nothing was changed. "
                "Sign in again and repeat the change.");
  }
  return std::nullopt;
}

bool CheckCsrf(WebApp&, const SignedIn& signed_in, const httplib::Request& req,
               httplib::Response& res) {
  if (app::TokensEqual(signed_in.session.csrf, Param(req, "csrf"))) return true;
  SendProblem(res, 403, "Request refused",
              "The form did not carry this session's token, so nothing was changed. Reload the "
              "page and try again.");
  return false;
}

PageFrame Frame(WebApp& app, const SignedIn& signed_in, std::string title,
                std::vector<Crumb> crumbs) {
  PageFrame frame;
  frame.title = std::move(title);
  frame.user = signed_in.principal.name;
  frame.role = app::RoleName(signed_in.principal.role);
  frame.administrator = signed_in.principal.role == app::Role::kAdministrator;
  frame.csrf = signed_in.session.csrf;
  frame.flash = app.core.accounts().TakeFlash(signed_in.session);
  frame.crumbs = std::move(crumbs);
  return frame;
}

void SendHtml(httplib::Response& res, const std::string& html, int status) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(html, "text/html; charset=utf-8");
}

void RedirectWithFlash(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                       const std::string& url, const std::string& flash) {
  if (!flash.empty()) app.core.accounts().SetFlash(signed_in.session.id_hash, flash);
  res.status = 303;
  res.set_header("Location", url);
}

void SendProblem(httplib::Response& res, int status, const std::string& title,
                 const std::string& detail) {
  PageFrame frame;
  frame.title = title;
  Data data;
  data.set("title", title);
  data.set("detail", detail);
  data.set("status", std::to_string(status));
  std::string html;
  try {
    html = RenderPage(frame, "problem", data);
  } catch (...) {
    html = "<!doctype html><title>" + EscapeHtml(title) + "</title><p>" + EscapeHtml(detail);
  }
  SendHtml(res, html, status);
}

void SendForbidden(httplib::Response& res, const Forbidden& refusal) {
  SendProblem(res, 403, "Not allowed", std::string(refusal.what()) + ". Nothing was changed.");
}

ProfileRights RightsOn(WebApp& app, const Principal& principal, Integer mprf) {
  const app::Relation relation = app::RelationTo(app.core, principal, mprf);
  auto may = [&](app::Operation operation) {
    return app::Allowed(principal.role, relation, operation);
  };
  ProfileRights rights;
  rights.owner = relation == app::Relation::kOwner;
  rights.edit = may(app::Operation::kEditProfile);
  rights.remove = may(app::Operation::kDeleteProfile);
  rights.rules = may(app::Operation::kChangeRules);
  rights.functions = may(app::Operation::kChangeFunctions);
  rights.revise = may(app::Operation::kRevise);
  return rights;
}

void SetRights(Data& data, const ProfileRights& rights) {
  data.set("owned", Flag(rights.owner));
  data.set("may_edit", Flag(rights.edit));
  data.set("may_delete", Flag(rights.remove));
  data.set("may_rules", Flag(rights.rules));
  data.set("may_functions", Flag(rights.functions));
  data.set("may_revise", Flag(rights.revise));
}

std::optional<ProfileSummary> PathProfile(WebApp& app, const httplib::Request& req,
                                          httplib::Response& res) {
  std::optional<Integer> mprf = ParseProfileNumber(req.matches[1].str());
  std::optional<ProfileSummary> profile;
  if (mprf) profile = FindProfile(app.db(), *mprf);
  if (!profile) SendProblem(res, 404, "No such profile", "There is no profile with this number.");
  return profile;
}

ProfileRequest OpenProfileRequest(WebApp& app, const httplib::Request& req, httplib::Response& res,
                                  bool changing) {
  ProfileRequest opened;
  opened.session = RequireSession(app, req, res);
  if (!opened.session || (changing && !CheckCsrf(app, *opened.session, req, res))) return opened;
  opened.profile = PathProfile(app, req, res);
  return opened;
}

void AddGet(httplib::Server& server, WebApp& app, const char* pattern, Route route) {
  server.Get(pattern, [&app, route](const httplib::Request& req, httplib::Response& res) {
    route(app, req, res);
  });
}

void AddPost(httplib::Server& server, WebApp& app, const char* pattern, Route route) {
  server.Post(pattern, [&app, route](const httplib::Request& req, httplib::Response& res) {
    route(app, req, res);
  });
}

void SetPaging(Data& data, const std::string& base, long page, long long total) {
  const long pages = static_cast<long>((total + kPageSize - 1) / kPageSize);
  data.set("page", std::to_string(page));
  data.set("pages", std::to_string(std::max(1L, pages)));
  data.set("has_prev", Flag(page > 1));
  data.set("has_next", Flag(page < pages));
  data.set("prev_url", base + "&page=" + std::to_string(page - 1));
  data.set("next_url", base + "&page=" + std::to_string(page + 1));
  data.set("paged", Flag(pages > 1));
}

Data OutcomeData(const MemberOutcome& outcome) {
  Data data;
  data.set("ok", Flag(outcome.Succeeded()));
  data.set("raised", Flag(outcome.raised.has_value()));
  std::ostringstream number;
  number.precision(15);
  number << outcome.FailureNumber();
  data.set("number", number.str());
  data.set("has_number", Flag(outcome.FailureNumber() != 0));
  const std::string text = outcome.FailureText();
  data.set("message", SanitizeMessage(text));
  data.set("has_message", Flag(!text.empty()));
  return data;
}

Data RefusalData(const std::string& message) {
  Data data;
  data.set("ok", Flag(false));
  data.set("raised", Flag(false));
  data.set("number", "");
  data.set("has_number", Flag(false));
  data.set("message", EscapeHtml(message));
  data.set("has_message", Flag(!message.empty()));
  return data;
}

std::string CellText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "NULL";
  if (value.type() == Variant::Type::kBinary) return "0x" + wire::HexFromBinary(value.AsBinary());
  if (value.type() == Variant::Type::kString) return value.AsString();
  if (value.type() == Variant::Type::kDate) return value.AsDate().ToString();
  return wire::JsonFromVariant(value).dump();
}

std::string ProfileUrl(Integer mprf) { return "/profiles/" + std::to_string(mprf); }

std::string VrcQuery(const Vrc& vrc) {
  return "?vers=" + UrlEncode(vrc.vers) + "&rele=" + UrlEncode(vrc.rele) +
         "&cust=" + UrlEncode(vrc.cust);
}

Vrc RequestVrc(const httplib::Request& req, const Vrc& fallback) {
  if (!req.has_param("vers") && !req.has_param("rele") && !req.has_param("cust")) return fallback;
  return Vrc{Param(req, "vers"), Param(req, "rele"), Param(req, "cust")};
}

}  // namespace migprof::web
