// The function library of a profile and VRC: the functions with their status
// and check-out, and copying, expiring, reinstating and deleting them.
#include "app/changes.h"
#include "web/pages/pages.h"
#include "web/pages/preview.h"

namespace migprof::web {
namespace {

std::string FunctionsUrl(Integer mprf, const Vrc& vrc) {
  return ProfileUrl(mprf) + "/functions" + VrcQuery(vrc);
}

void ListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
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
  List sources;
  for (const ProfileSummary& p : ListProfiles(app.db(), "")) {
    if (p.mprf == profile->mprf) continue;
    Data option;
    option.set("value", std::to_string(p.mprf));
    option.set("label", std::to_string(p.mprf) + " " + p.description + " (" + p.vrc.Text() + ")");
    sources.push_back(option);
  }
  data.set("sources", sources);
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(res, RenderPage(Frame(app, *session, "Functions of " + label,
                                 {{"Profiles", "/profiles"},
                                  {label, ProfileUrl(profile->mprf)},
                                  {"VRC " + vrc.Text(), ""},
                                  {"Function library", ""}}),
                           "functions", data));
}

void ActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::string action = Param(req, "action");
  const std::string name = Param(req, "name");
  const std::string back = FunctionsUrl(profile->mprf, vrc);
  app::Change change;
  std::string done, what, apply;
  if (action == "copy") {
    std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
    if (!source || name.empty()) {
      RedirectWithFlash(app, *session, res, back, "Choose a source profile and a function name");
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
  if (!ApplyRequested(req)) {
    const std::string label = std::to_string(profile->mprf) + " " + profile->description;
    ShowPreview(app, *session, req, res,
                PendingChange{what,
                              req.path,
                              apply,
                              back,
                              {{"Profiles", "/profiles"},
                               {label, ProfileUrl(profile->mprf)},
                               {"Function library", back},
                               {"Preview", ""}},
                              "",
                              "",
                              /*destructive=*/action == "delete"},
                change);
    return;
  }
  MemberOutcome outcome;
  try {
    outcome = app::Apply(app.core, session->principal, change);
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  if (!outcome.Succeeded()) {
    Data data;
    data.set("what", action == "copy" ? "Copying " + name : "Function " + name);
    data.set("back_url", back);
    data.set("outcome", OutcomeData(outcome));
    const std::string label = std::to_string(profile->mprf) + " " + profile->description;
    SendHtml(res,
             RenderPage(Frame(app, *session, "Function not changed",
                              {{"Profiles", "/profiles"},
                               {label, ProfileUrl(profile->mprf)},
                               {"Function library", back}}),
                        "member_failed", data),
             422);
    return;
  }
  RedirectWithFlash(app, *session, res, back, done);
}

}  // namespace

void AddFunctionRoutes(httplib::Server& server, WebApp& app) {
  server.Get(
      R"(/profiles/(-?\d+)/functions)",
      [&app](const httplib::Request& req, httplib::Response& res) { ListRoute(app, req, res); });
  server.Post(
      R"(/profiles/(-?\d+)/functions)",
      [&app](const httplib::Request& req, httplib::Response& res) { ActionRoute(app, req, res); });
}

}  // namespace migprof::web
