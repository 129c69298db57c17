#include "web/app.h"

#include <cstdio>
#include <sstream>

#include "web/reads.h"
#include "web/sanitize.h"
#include "web/tokens.h"

namespace migprof::web {

std::optional<SessionRecord> RequireSession(WebApp& app, const httplib::Request& req,
                                            httplib::Response& res) {
  std::string cookies = req.get_header_value("Cookie");
  std::string id;
  const std::string key = std::string(kSessionCookie) + "=";
  for (std::size_t at = cookies.find(key); at != std::string::npos;
       at = cookies.find(key, at + 1)) {
    if (at == 0 || cookies[at - 1] == ' ' || cookies[at - 1] == ';') {
      std::size_t end = cookies.find(';', at);
      id = cookies.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
      break;
    }
  }
  if (std::optional<SessionRecord> session = app.store.FindSession(id)) return session;
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

bool CheckCsrf(WebApp&, const SessionRecord& session, const httplib::Request& req,
               httplib::Response& res) {
  if (TokensEqual(session.csrf, Param(req, "csrf"))) return true;
  SendProblem(res, 403, "Request refused",
              "The form did not carry this session's token, so nothing was changed. Reload the "
              "page and try again.");
  return false;
}

PageFrame Frame(WebApp& app, const SessionRecord& session, std::string title,
                std::vector<Crumb> crumbs) {
  PageFrame frame;
  frame.title = std::move(title);
  frame.user = session.user;
  frame.csrf = session.csrf;
  frame.flash = app.store.TakeFlash(session);
  frame.crumbs = std::move(crumbs);
  return frame;
}

void SendHtml(httplib::Response& res, const std::string& html, int status) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(html, "text/html; charset=utf-8");
}

void RedirectWithFlash(WebApp& app, const SessionRecord& session, httplib::Response& res,
                       const std::string& url, const std::string& flash) {
  if (!flash.empty()) app.store.SetFlash(session.id_hash, flash);
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

std::optional<ProfileSummary> PathProfile(WebApp& app, const httplib::Request& req,
                                          httplib::Response& res) {
  std::optional<Integer> mprf = ParseProfileNumber(req.matches[1].str());
  std::optional<ProfileSummary> profile;
  if (mprf) profile = FindProfile(app.db, *mprf);
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

long PageNumber(const httplib::Request& req) {
  std::string text = Param(req, "page");
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return 1;
  }
  return std::max(1L, std::stol(text));
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

std::string Param(const httplib::Request& req, const std::string& name) {
  return req.has_param(name.c_str()) ? req.get_param_value(name.c_str()) : std::string();
}

std::optional<Integer> ParseProfileNumber(const std::string& text) {
  std::size_t begin = text.find_first_not_of(' ');
  std::size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  std::string digits = text.substr(begin, end - begin + 1);
  std::size_t i = digits[0] == '-' ? 1 : 0;
  if (i == digits.size() || digits.size() > 7) return std::nullopt;
  for (std::size_t k = i; k < digits.size(); ++k) {
    if (digits[k] < '0' || digits[k] > '9') return std::nullopt;
  }
  long value = std::stol(digits);
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<Integer>(value);
}

Data OutcomeData(const Outcome& outcome) {
  Data data;
  data.set("ok", Flag(outcome.ok));
  data.set("raised", Flag(outcome.raised));
  std::ostringstream number;
  number.precision(15);
  number << outcome.number;
  data.set("number", number.str());
  data.set("message", SanitizeMessage(outcome.description));
  data.set("has_message", Flag(!outcome.description.empty()));
  return data;
}

std::string ProfileUrl(Integer mprf) { return "/profiles/" + std::to_string(mprf); }

std::string UrlEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", c);
      out += buffer;
    }
  }
  return out;
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
