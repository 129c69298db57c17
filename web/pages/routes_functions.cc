// The function library of a profile and VRC: the functions with their status
// and check-out, and copying, expiring, reinstating and deleting them.
#include <algorithm>

#include "app/changes.h"
#include "web/pages/pages.h"
#include "web/pages/preview.h"

namespace migprof::web {
namespace {

std::string FunctionsUrl(Integer mprf, const Vrc& vrc) {
  return ProfileUrl(mprf) + "/functions" + VrcQuery(vrc);
}

void FunctionListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const long page = PageNumber(req);
  const long long total = CountLibraryFunctions(app.db(), profile->mprf, vrc);
  Data data;
  data.set("mprf", std::to_string(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  data.set("action_url", ProfileUrl(profile->mprf) + "/functions");
  data.set("url", ProfileUrl(profile->mprf));
  data.set("total", std::to_string(total));
  List vrcs;
  for (const Vrc& other : ProfileVrcs(app.db(), *profile)) {
    Data v;
    v.set("vrc", other.Text());
    v.set("url", FunctionsUrl(profile->mprf, other));
    v.set("current", Flag(other == vrc));
    vrcs.push_back(v);
  }
  data.set("vrcs", vrcs);
  List functions;
  for (const LibraryFunction& f :
       ListLibraryFunctions(app.db(), profile->mprf, vrc, (page - 1) * kPageSize, kPageSize)) {
    Data d;
    d.set("name", f.name);
    d.set("where_used_url", "/where-used?function=" + UrlEncode(f.name));
    d.set("description", f.description);
    d.set("status", f.status);
    d.set("checked_out", Flag(f.status == "C"));
    d.set("expired", Flag(f.status == "X"));
    d.set("checked_out_by", f.checked_out_by);
    d.set("last_user", f.last_user);
    d.set("last_date", f.last_date);
    d.set("revisions_url", ProfileUrl(profile->mprf) + "/revisions" + VrcQuery(vrc) +
                               "&kind=function&name=" + UrlEncode(f.name));
    functions.push_back(d);
  }
  data.set("functions", functions);
  data.set("has_functions", Flag(total > 0));
  SetPaging(data, FunctionsUrl(profile->mprf, vrc), page, total);
  // The copy's chooser: a source profile found on the server, then its
  // functions a page at a time, each with its own Copy button.
  data.set("picker",
           ProfilePicker(app, req, FunctionsUrl(profile->mprf, vrc) + "&source=", profile->mprf));
  data.set("source_value", Param(req, "source"));
  if (std::optional<Integer> source = ParseProfileNumber(Param(req, "source"))) {
    if (std::optional<ProfileSummary> from = FindProfile(app.db(), *source)) {
      const long source_page = [&] {
        const std::string text = Param(req, "source_page");
        if (text.empty() || text.size() > 6 ||
            text.find_first_not_of("0123456789") != std::string::npos) {
          return 1L;
        }
        return std::max(1L, std::stol(text));
      }();
      const long long count = CountLibraryFunctions(app.db(), from->mprf, from->vrc);
      List offered;
      for (const LibraryFunction& f : ListLibraryFunctions(
               app.db(), from->mprf, from->vrc, (source_page - 1) * kPageSize, kPageSize)) {
        Data d;
        d.set("name", f.name);
        d.set("description", f.description);
        d.set("status", f.status);
        offered.push_back(d);
      }
      data.set("has_source", Flag(true));
      data.set("source", std::to_string(from->mprf));
      data.set("source_description", from->description);
      data.set("source_vrc", from->vrc.Text());
      data.set("source_functions", offered);
      data.set("has_source_functions", Flag(count > 0));
      const std::string base = FunctionsUrl(profile->mprf, vrc) +
                               "&source=" + std::to_string(from->mprf) + "&source_page=";
      data.set("source_prev", Flag(source_page > 1));
      data.set("source_prev_url", base + std::to_string(source_page - 1));
      data.set("source_next", Flag(source_page * kPageSize < count));
      data.set("source_next_url", base + std::to_string(source_page + 1));
    }
  }
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(res, RenderPage(Frame(app, *session, "Functions of " + label,
                                 {{"Profiles", "/profiles"},
                                  {label, ProfileUrl(profile->mprf)},
                                  {"VRC " + vrc.Text(), ""},
                                  {"Function library", ""}}),
                           "functions", data));
}

// A function's name as typed: blanks around it do not count.
std::string TrimmedName(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

void FunctionActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  // A GET (/functions/preview) is the preview; only a POST marked apply=yes
  // changes anything.
  auto [session, profile] = OpenProfileRequest(app, req, res, req.method == "POST");
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::string action = Param(req, "action");
  const std::string name = TrimmedName(Param(req, "name"));
  const std::string back = FunctionsUrl(profile->mprf, vrc);
  app::Change change;
  std::string done, what, apply;
  if (action == "copy") {
    std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
    if (!source || name.empty()) {
      RedirectWithRefusal(app, *session, res, back, "Choose a source profile and a function name.");
      return;
    }
    change = app::CopyFunction{*source, profile->mprf, vrc, name};
    done = "Function " + name + " copied from profile " + std::to_string(*source) + " into " +
           vrc.Text();
    what = "Copy function " + name + " from profile " + std::to_string(*source) + " into " +
           vrc.Text();
    apply = "Copy function " + name;
  } else if (action == "expire" || action == "reinstate") {
    const bool expire = action == "expire";
    change = app::ExpireFunction{profile->mprf, vrc, name, expire};
    done = "Function " + name + (expire ? " expired" : " reinstated");
    apply = (expire ? "Expire function " : "Reinstate function ") + name;
    what = apply + " in " + vrc.Text();
  } else if (action == "delete") {
    change = app::DeleteFunction{profile->mprf, vrc, name};
    done = "Function " + name + " deleted from " + vrc.Text();
    apply = "Delete function " + name;
    what = apply + " from " + vrc.Text();
  } else {
    SendProblem(res, 400, "Unknown action",
                "The form asked for an action this page does not know.");
    return;
  }
  const std::string action_url = ProfileUrl(profile->mprf) + "/functions";
  const std::string preview_url = action_url + "/preview";
  if (!ApplyRequested(req)) {
    const std::string label = std::to_string(profile->mprf) + " " + profile->description;
    PendingChange pending{what,
                          action_url,
                          apply,
                          back,
                          {{"Profiles", "/profiles"},
                           {label, ProfileUrl(profile->mprf)},
                           {"Function library", back},
                           {"Preview", ""}},
                          "",
                          "",
                          /*destructive=*/action == "delete"};
    pending.preview_url = preview_url;
    pending.acts_on = ActsOn(app, *profile, vrc,
                             /*development_first=*/action == "expire" || action == "reinstate");
    ShowPreview(app, *session, req, res, pending, change);
    return;
  }
  MemberOutcome outcome;
  try {
    outcome = app::Apply(app.core, session->principal, change);
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  RedirectWithOutcome(app, *session, res, back, done, preview_url + "?" + ChangeQuery(req),
                      outcome);
}

// The Function library of the navigation bar: find a profile by number or
// description (on the server, a page at a time) and open its library.
void LibraryIndexRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  if (std::optional<Integer> mprf = ParseProfileNumber(Param(req, "profile"))) {
    if (FindProfile(app.db(), *mprf)) {
      res.status = 303;
      res.set_header("Location", ProfileUrl(*mprf) + "/functions");
      return;
    }
  }
  Data data;
  data.set("profile", Param(req, "profile"));
  data.set("unknown", Flag(!Param(req, "profile").empty()));
  // Every match links to its own library: the picker's links end in the
  // number, so the path is built around it.
  Data picker = ProfilePicker(app, req, "/functions?profile=", std::nullopt);
  data.set("picker", picker);
  SendHtml(res, RenderPage(Frame(app, *session, "Function library",
                                 {{"Profiles", "/profiles"}, {"Function library", ""}}),
                           "library", data));
}

}  // namespace

void AddLibraryRoutes(httplib::Server& server, WebApp& app) {
  server.Get("/functions", [&app](const httplib::Request& req, httplib::Response& res) {
    LibraryIndexRoute(app, req, res);
  });
}

void AddFunctionRoutes(httplib::Server& server, WebApp& app) {
  server.Get(R"(/profiles/(-?\d+)/functions)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               FunctionListRoute(app, req, res);
             });
  server.Get(R"(/profiles/(-?\d+)/functions/preview)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               FunctionActionRoute(app, req, res);
             });
  server.Post(R"(/profiles/(-?\d+)/functions)",
              [&app](const httplib::Request& req, httplib::Response& res) {
                FunctionActionRoute(app, req, res);
              });
}

}  // namespace migprof::web
