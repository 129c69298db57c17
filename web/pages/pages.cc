#include "web/pages/pages.h"

#include <cstdio>
#include <sstream>

#include "app/identity.h"
#include "app/permissions.h"
#include "app/secrets.h"
#include "web/pages/labels.h"
#include "web/pages/sanitize.h"
#include "wire/json_values.h"

namespace migprof::web {
namespace {

// A flash is kept as text; a warning or a failure starts with a marker, a
// failure's number follows its marker up to the separator.
constexpr char kWarningMark = '\x01';
constexpr char kFailureMark = '\x02';
constexpr char kRefusalMark = '\x03';  // a page's own refusal, plain text
constexpr char kSeparator = '\x1f';
constexpr std::size_t kFlashLimit = 1900;  // the session row keeps 2000 characters

void SetFlash(WebApp& app, const SignedIn& signed_in, std::string text) {
  if (text.size() > kFlashLimit) text = text.substr(0, kFlashLimit) + "…";
  app.core.accounts().SetFlash(signed_in.session.id_hash, text);
}

void DecodeFlash(const std::string& text, PageFrame& frame) {
  if (text.empty()) return;
  if (text[0] == kRefusalMark) {
    frame.flash_kind = "danger";
    frame.flash = text.substr(1);
  } else if (text[0] == kWarningMark) {
    frame.flash_kind = "warning";
    frame.flash = text.substr(1);
  } else if (text[0] == kFailureMark) {
    const std::size_t separator = text.find(kSeparator);
    frame.flash_kind = "danger";
    if (separator == std::string::npos) {
      frame.flash_html = SanitizeMessage(text.substr(1));
    } else {
      frame.flash_number = text.substr(1, separator - 1);
      frame.flash_html = SanitizeMessage(text.substr(separator + 1));
    }
  } else {
    frame.flash = text;
  }
}

// The navigation bar's part of a signed-in page's frame (no flash: that
// stays for the page that shows it).
PageFrame ViewerFrame(const SignedIn& signed_in) {
  PageFrame frame;
  frame.user = signed_in.principal.name;
  frame.role = app::RoleName(signed_in.principal.role);
  frame.administrator = signed_in.principal.role == app::Role::kAdministrator;
  frame.csrf = signed_in.session.csrf;
  return frame;
}

// Who the current request is shown to, once RequireSession found its
// session, so that a problem page (a refusal, an unknown profile) carries
// the navigation bar as every other page does. A request is answered on one
// worker thread, and the server forgets this as each request begins
// (ForgetViewer), so no other request's account can show.
thread_local std::optional<PageFrame> request_viewer;

}  // namespace

void ForgetViewer() { request_viewer.reset(); }

std::optional<SignedIn> RequireSession(WebApp& app, const httplib::Request& req,
                                       httplib::Response& res) {
  const std::string id = CookieValue(req, kSessionCookie);
  if (std::optional<SessionRecord> session = app.core.accounts().FindSession(id)) {
    if (std::optional<Principal> principal = app::SessionPrincipal(app.core, *session)) {
      SignedIn signed_in{*session, *principal};
      request_viewer = ViewerFrame(signed_in);
      return signed_in;
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
  PageFrame frame = ViewerFrame(signed_in);
  frame.title = std::move(title);
  DecodeFlash(app.core.accounts().TakeFlash(signed_in.session), frame);
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

void RedirectWithFailure(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& url, const MemberOutcome& outcome) {
  std::string number;
  if (outcome.FailureNumber() != 0) {
    std::ostringstream out;
    out.precision(15);
    out << outcome.FailureNumber();
    number = out.str();
  }
  std::string text = outcome.FailureText();
  if (text.empty()) text = "The component refused the change without saying why.";
  SetFlash(app, signed_in,
           std::string(1, kFailureMark) + number + kSeparator + "Nothing was changed. " + text);
  res.status = 303;
  res.set_header("Location", url);
}

void RedirectWithRefusal(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& url, const std::string& message) {
  SetFlash(app, signed_in, std::string(1, kRefusalMark) + message);
  res.status = 303;
  res.set_header("Location", url);
}

void RedirectWithOutcome(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& done_url, const std::string& done,
                         const std::string& failure_url, const MemberOutcome& outcome) {
  if (!outcome.Succeeded()) {
    RedirectWithFailure(app, signed_in, res, failure_url, outcome);
    return;
  }
  if (outcome.TotalRows() == 0) {
    SetFlash(app, signed_in,
             std::string(1, kWarningMark) +
                 "Nothing changed: the component accepted the call but no row was written "
                 "(the rows may have been changed already, or are not in the VRC the change "
                 "acts on).");
  } else {
    SetFlash(app, signed_in, done + "; " + RowsText(outcome.rows));
  }
  res.status = 303;
  res.set_header("Location", done_url);
}

std::string Count(long long n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string RowsText(const app::RowCounts& rows) {
  long long total = 0;
  std::string parts;
  for (const auto& [table, count] : rows) {
    if (count == 0) continue;
    total += count;
    parts += (parts.empty() ? "" : ", ") + TableLabel(table) + " " + std::to_string(count);
  }
  if (total == 0) return "";
  return Count(total, "row", "rows") + " changed: " + parts;
}

std::string ChangeQuery(const httplib::Request& req) {
  std::string query;
  for (const auto& [name, value] : req.params) {
    if (name == "csrf" || name == "apply" || name == "confirm") continue;
    query += (query.empty() ? "" : "&") + UrlEncode(name) + "=" + UrlEncode(value);
  }
  return query;
}

Data ProfilePicker(WebApp& app, const httplib::Request& req, const std::string& link_prefix,
                   std::optional<Integer> exclude) {
  const std::string find = Param(req, "find");
  long page = 1;
  if (std::string text = Param(req, "find_page");
      !text.empty() && text.size() < 7 &&
      text.find_first_not_of("0123456789") == std::string::npos && std::stol(text) > 0) {
    page = std::stol(text);
  }
  Data data;
  data.set("find", find);
  data.set("searched", Flag(!find.empty()));
  List matches;
  bool more = false;
  if (!find.empty()) {
    std::vector<ProfileSummary> found =
        ListProfiles(app.db(), find, (page - 1) * kPickerSize, kPickerSize + 1);
    more = found.size() > static_cast<std::size_t>(kPickerSize);
    if (more) found.pop_back();
    for (const ProfileSummary& p : found) {
      if (exclude && p.mprf == *exclude) continue;
      Data m;
      m.set("mprf", std::to_string(p.mprf));
      m.set("description", p.description);
      m.set("vrc", p.vrc.Text());
      m.set("url", link_prefix + std::to_string(p.mprf));
      matches.push_back(m);
    }
  }
  data.set("has_matches", Flag(!matches.empty()));
  data.set("matches", matches);
  data.set("more", Flag(more));
  data.set("page", std::to_string(page));
  data.set("next_page", std::to_string(page + 1));
  data.set("has_prev", Flag(page > 1));
  data.set("prev_page", std::to_string(page - 1));
  return data;
}

std::string ActsOn(WebApp& app, const ProfileSummary& profile, const Vrc& vrc,
                   bool development_first) {
  const std::string of = " of profile " + std::to_string(profile.mprf);
  if (development_first) {
    if (std::optional<Vrc> development = DevelopmentVrc(app.db(), profile.mprf)) {
      if (*development == vrc) return "VRC " + vrc.Text() + of + ", its development VRC";
      return "VRC " + development->Text() + of +
             ", its development VRC: the profile is under revision control, so the rows of VRC " +
             vrc.Text() + " are not changed";
    }
  }
  return "VRC " + vrc.Text() + of;
}

void SendProblem(httplib::Response& res, int status, const std::string& title,
                 const std::string& detail) {
  PageFrame frame = request_viewer.value_or(PageFrame{});
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
  data.set("has_number", Flag(outcome.FailureNumber() != 0 && !outcome.Succeeded()));
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

std::string TableUrl(Integer mprf, const Vrc& vrc, const TableKey& key) {
  const std::string base = ProfileUrl(mprf) + "/rules/table" + VrcQuery(vrc);
  // A key that its code would not split back into (a package other than two
  // characters, a module other than three) is named by its parts.
  if (key.tcpac.size() != 2 || key.tcmod.size() != 3) {
    return base + "&tcpac=" + UrlEncode(key.tcpac) + "&tcmod=" + UrlEncode(key.tcmod) +
           "&tflno=" + UrlEncode(key.tflno);
  }
  return base + "&table=" + UrlEncode(key.Code());
}

std::string VrcQuery(const Vrc& vrc) {
  return "?vers=" + UrlEncode(vrc.vers) + "&rele=" + UrlEncode(vrc.rele) +
         "&cust=" + UrlEncode(vrc.cust);
}

Vrc RequestVrc(const httplib::Request& req, const Vrc& fallback) {
  if (!req.has_param("vers") && !req.has_param("rele") && !req.has_param("cust")) return fallback;
  return Vrc{Param(req, "vers"), Param(req, "rele"), Param(req, "cust")};
}

}  // namespace migprof::web
