// Mapping rules of a profile and VRC: the table list, one table's rules,
// expiring, reinstating and deleting them, and copying rules from another
// profile (which runs as a job).
#include "app/changes.h"
#include "web/pages/pages.h"
#include "web/pages/preview.h"

namespace migprof::web {
namespace {

std::vector<TableKey> RequestTables(const httplib::Request& req) {
  std::vector<TableKey> out;
  const std::size_t n = req.get_param_value_count("table");
  for (std::size_t i = 0; i < n; ++i) {
    if (std::optional<TableKey> key = app::ParseTableCode(req.get_param_value("table", i))) {
      out.push_back(*key);
    }
  }
  return out;
}

std::string CodeList(const std::vector<TableKey>& tables) {
  std::string out;
  for (const TableKey& key : tables) out += (out.empty() ? "" : ",") + key.Code();
  return out;
}

// "1 table" / "3 tables".
std::string TableCount(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " table" : " tables");
}

std::vector<Crumb> RuleCrumbs(const ProfileSummary& profile, const Vrc& vrc, bool current) {
  const std::string label = std::to_string(profile.mprf) + " " + profile.description;
  return {{"Profiles", "/profiles"},
          {label, ProfileUrl(profile.mprf)},
          {"VRC " + vrc.Text(), ""},
          {"Rules", current ? "" : ProfileUrl(profile.mprf) + "/rules" + VrcQuery(vrc)}};
}

Data StatusData(const std::string& status) {
  Data d;
  d.set("status", status);
  d.set("expired", Flag(status == "X"));
  d.set("reinstated", Flag(status == "M"));
  return d;
}

void ListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const long page = PageNumber(req);
  const long long total = CountTableRules(app.db(), profile->mprf, vrc);
  const std::string base = ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc);
  Data data;
  data.set("mprf", std::to_string(profile->mprf));
  data.set("url", ProfileUrl(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  data.set("total", std::to_string(total));
  data.set("copy_url", ProfileUrl(profile->mprf) + "/copy" + VrcQuery(vrc));
  List vrcs;
  for (const Vrc& other : ProfileVrcs(app.db(), *profile)) {
    Data v;
    v.set("vrc", other.Text());
    v.set("url", ProfileUrl(profile->mprf) + "/rules" + VrcQuery(other));
    v.set("current", Flag(other == vrc));
    vrcs.push_back(v);
  }
  data.set("vrcs", vrcs);
  data.set("coverage_url", ProfileUrl(profile->mprf) + "/coverage" + VrcQuery(vrc));
  List rows;
  for (const TableRuleSummary& rule :
       ListTableRules(app.db(), profile->mprf, vrc, (page - 1) * kPageSize, kPageSize)) {
    Data r = StatusData(rule.status);
    r.set("code", rule.key.Code());
    r.set("tcpac", rule.key.tcpac);
    r.set("tcmod", rule.key.tcmod);
    r.set("tflno", rule.key.tflno);
    r.set("url", ProfileUrl(profile->mprf) + "/rules/table" + VrcQuery(vrc) +
                     "&tcpac=" + UrlEncode(rule.key.tcpac) + "&tcmod=" + UrlEncode(rule.key.tcmod) +
                     "&tflno=" + UrlEncode(rule.key.tflno));
    r.set("comment", rule.comment);
    r.set("last_user", rule.last_user);
    r.set("fields", std::to_string(rule.fields));
    r.set("sources", std::to_string(rule.sources));
    r.set("functions", std::to_string(rule.functions));
    r.set("links", std::to_string(rule.links));
    rows.push_back(r);
  }
  data.set("rules", rows);
  data.set("has_rules", Flag(total > 0));
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  SetPaging(data, base, page, total);
  SendHtml(res, RenderPage(Frame(app, *session, "Rules of " + std::to_string(profile->mprf),
                                 RuleCrumbs(*profile, vrc, true)),
                           "rules", data));
}

void TableRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const TableKey key{Param(req, "tcpac"), Param(req, "tcmod"), Param(req, "tflno")};
  std::optional<TableRuleSummary> rule = FindTableRule(app.db(), profile->mprf, vrc, key);
  if (!rule) {
    SendProblem(res, 404, "No such table rule", "This VRC holds no rule for that table.");
    return;
  }
  const long page = PageNumber(req);
  Data data = StatusData(rule->status);
  data.set("code", key.Code());
  data.set("where_used_url", "/where-used?table=" + UrlEncode(key.Code()));
  data.set("vrc", vrc.Text());
  data.set("comment", rule->comment);
  data.set("last_user", rule->last_user);
  data.set("revisions_url", ProfileUrl(profile->mprf) + "/revisions" + VrcQuery(vrc) +
                                "&kind=rule&name=" + UrlEncode(key.Code()));
  auto rows_data = [](const std::vector<Row>& rows) {
    List list;
    for (const Row& row : rows) {
      Data r;
      List cells;
      for (const String& cell : row) cells.push_back(Data(cell));
      r.set("cells", cells);
      list.push_back(r);
    }
    return list;
  };
  data.set("fields", rows_data(FieldRules(app.db(), profile->mprf, vrc, key, (page - 1) * kPageSize,
                                          kPageSize)));
  data.set("field_count", std::to_string(rule->fields));
  data.set("sources", rows_data(SourceTables(app.db(), profile->mprf, vrc, key)));
  data.set("functions", rows_data(RuleFunctions(app.db(), profile->mprf, vrc, key)));
  data.set("links", rows_data(TableLinks(app.db(), profile->mprf, vrc, key)));
  SetPaging(data,
            ProfileUrl(profile->mprf) + "/rules/table" + VrcQuery(vrc) +
                "&tcpac=" + UrlEncode(key.tcpac) + "&tcmod=" + UrlEncode(key.tcmod) +
                "&tflno=" + UrlEncode(key.tflno),
            page, rule->fields);
  std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
  crumbs.push_back({key.Code(), ""});
  SendHtml(res,
           RenderPage(Frame(app, *session, "Table " + key.Code(), crumbs), "rule_table", data));
}

// The outcome of a member that raises, as its own page.
void ShowRaised(WebApp& app, const SignedIn& session, httplib::Response& res,
                const ProfileSummary& profile, const Vrc& vrc, const MemberOutcome& outcome,
                const std::string& what) {
  Data data;
  data.set("what", what);
  data.set("back_url", ProfileUrl(profile.mprf) + "/rules" + VrcQuery(vrc));
  data.set("outcome", OutcomeData(outcome));
  SendHtml(res,
           RenderPage(Frame(app, session, what + " failed", RuleCrumbs(profile, vrc, false)),
                      "member_failed", data),
           422);
}

void ActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  const std::string back = ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc);
  const std::string action = Param(req, "action");
  if (tables.empty()) {
    RedirectWithFlash(app, *session, res, back, "Select at least one table first");
    return;
  }
  if (action == "delete") {
    std::string url = ProfileUrl(profile->mprf) + "/rules/delete" + VrcQuery(vrc);
    for (const TableKey& key : tables) url += "&table=" + UrlEncode(key.Code());
    res.status = 303;
    res.set_header("Location", url);
    return;
  }
  const bool expire = action == "expire";
  const app::ExpireRules change{profile->mprf, vrc, tables, expire};
  if (!ApplyRequested(req)) {
    const std::string what =
        std::string(expire ? "Expire" : "Reinstate") + " the rules of " + TableCount(tables.size());
    std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
    crumbs.push_back({"Preview", ""});
    ShowPreview(app, *session, req, res,
                PendingChange{what, req.path, what, back, crumbs, "", "", false}, change);
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
    ShowRaised(app, *session, res, *profile, vrc, outcome, expire ? "Expiring" : "Reinstating");
    return;
  }
  std::string flash = std::to_string(tables.size()) +
                      (tables.size() == 1 ? " table rule " : " table rules ") +
                      (expire ? "expired" : "reinstated");
  if (DevelopmentVrc(app.db(), profile->mprf)) flash += " in the development VRC";
  RedirectWithFlash(app, *session, res, back, flash);
}

// The deletion's preview; Apply posts to DeleteRoute.
void ShowDeletePreview(WebApp& app, const SignedIn& session, const httplib::Request& req,
                       httplib::Response& res, const ProfileSummary& profile, const Vrc& vrc,
                       const std::vector<TableKey>& tables) {
  const Integer mprf = profile.mprf;
  const std::string what = "Delete the rules of " + TableCount(tables.size());
  std::vector<Crumb> crumbs = RuleCrumbs(profile, vrc, false);
  crumbs.push_back({"Delete", ""});
  ShowPreview(app, session, req, res,
              PendingChange{what + " from " + vrc.Text(), ProfileUrl(mprf) + "/rules/delete", what,
                            ProfileUrl(mprf) + "/rules" + VrcQuery(vrc), crumbs, "", "",
                            /*destructive=*/true},
              app::DeleteRules{mprf, vrc, tables});
}

void DeleteConfirmRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  if (tables.empty()) {
    RedirectWithFlash(app, *session, res, ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc),
                      "Select at least one table first");
    return;
  }
  ShowDeletePreview(app, *session, req, res, *profile, vrc, tables);
}

void DeleteRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  const std::string back = ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc);
  if (tables.empty()) {
    RedirectWithFlash(app, *session, res, back, "Select at least one table first");
    return;
  }
  if (!ApplyRequested(req)) {
    ShowDeletePreview(app, *session, req, res, *profile, vrc, tables);
    return;
  }
  MemberOutcome outcome;
  try {
    outcome =
        app::Apply(app.core, session->principal, app::DeleteRules{profile->mprf, vrc, tables});
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  if (!outcome.Succeeded()) {
    ShowRaised(app, *session, res, *profile, vrc, outcome, "Deleting rules");
    return;
  }
  RedirectWithFlash(app, *session, res, back,
                    "Rules of " + CodeList(tables) + " deleted from " + vrc.Text());
}

void CopyFormRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  Data data;
  data.set("mprf", std::to_string(profile->mprf));
  data.set("url", ProfileUrl(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
  List sources;
  for (const ProfileSummary& p : ListProfiles(app.db(), "")) {
    if (p.mprf == profile->mprf) continue;
    Data option;
    option.set("value", std::to_string(p.mprf));
    option.set("label", std::to_string(p.mprf) + " " + p.description + " (" + p.vrc.Text() + ")");
    option.set("selected", Flag(source && *source == p.mprf));
    sources.push_back(option);
  }
  data.set("sources", sources);
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  std::optional<ProfileSummary> source_profile;
  if (source) source_profile = FindProfile(app.db(), *source);
  data.set("has_source", Flag(source_profile.has_value()));
  if (source_profile) {
    data.set("source", std::to_string(source_profile->mprf));
    data.set("source_vrc", source_profile->vrc.Text());
    const long page = PageNumber(req);
    const long long total = CountTableRules(app.db(), source_profile->mprf, source_profile->vrc);
    List tables;
    for (const TableRuleSummary& rule :
         ListTableRules(app.db(), source_profile->mprf, source_profile->vrc, (page - 1) * kPageSize,
                        kPageSize)) {
      Data t = StatusData(rule.status);
      t.set("code", rule.key.Code());
      t.set("fields", std::to_string(rule.fields));
      t.set("sources", std::to_string(rule.sources));
      t.set("functions", std::to_string(rule.functions));
      t.set("links", std::to_string(rule.links));
      tables.push_back(t);
    }
    data.set("tables", tables);
    data.set("has_tables", Flag(total > 0));
    SetPaging(data,
              ProfileUrl(profile->mprf) + "/copy" + VrcQuery(vrc) +
                  "&source=" + std::to_string(source_profile->mprf),
              page, total);
  }
  std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
  crumbs.push_back({"Copy", ""});
  SendHtml(res, RenderPage(Frame(app, *session, "Copy rules", crumbs), "copy", data));
}

void CopyRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  app::CopyRules request;
  request.target = profile->mprf;
  request.vrc = RequestVrc(req, profile->vrc);
  request.tables = RequestTables(req);
  std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
  if (!source || request.tables.empty()) {
    RedirectWithFlash(app, *session, res,
                      ProfileUrl(profile->mprf) + "/copy" + VrcQuery(request.vrc) +
                          (source ? "&source=" + std::to_string(*source) : ""),
                      "Choose a source profile and at least one table");
    return;
  }
  request.source = *source;
  if (!ApplyRequested(req)) {
    const std::string what = "Copy " + TableCount(request.tables.size()) + " from profile " +
                             std::to_string(request.source);
    const std::string form_url = ProfileUrl(profile->mprf) + "/copy" + VrcQuery(request.vrc) +
                                 "&source=" + std::to_string(request.source);
    std::vector<Crumb> crumbs = RuleCrumbs(*profile, request.vrc, false);
    crumbs.push_back({"Copy", form_url});
    crumbs.push_back({"Preview", ""});
    ShowPreview(
        app, *session, req, res,
        PendingChange{what + " into " + request.vrc.Text(), req.path,
                      "Copy " + TableCount(request.tables.size()), form_url, crumbs, "", "", false},
        request);
    return;
  }
  std::string id;
  try {
    id = app.jobs.StartCopy(session->principal, request);
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  res.status = 303;
  res.set_header("Location", "/jobs/" + id);
}

}  // namespace

void AddRuleRoutes(httplib::Server& server, WebApp& app) {
  auto get = [&server, &app](const char* pattern, Route route) {
    AddGet(server, app, pattern, route);
  };
  auto post = [&server, &app](const char* pattern, Route route) {
    AddPost(server, app, pattern, route);
  };
  get(R"(/profiles/(-?\d+)/rules)", ListRoute);
  get(R"(/profiles/(-?\d+)/rules/table)", TableRoute);
  post(R"(/profiles/(-?\d+)/rules/action)", ActionRoute);
  get(R"(/profiles/(-?\d+)/rules/delete)", DeleteConfirmRoute);
  post(R"(/profiles/(-?\d+)/rules/delete)", DeleteRoute);
  get(R"(/profiles/(-?\d+)/copy)", CopyFormRoute);
  post(R"(/profiles/(-?\d+)/copy)", CopyRoute);
}

}  // namespace migprof::web
