// Mapping rules of a profile and VRC: the table list, one table's rules,
// expiring, reinstating and deleting them, and copying rules from another
// profile (which runs as a job).
#include <algorithm>
#include <map>
#include <tuple>

#include "app/changes.h"
#include "app/coverage.h"
#include "web/pages/coverage_bar.h"
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

// "or itm 001, or itm 002" (the first five and a count of the rest).
std::string TableList(const std::vector<TableKey>& tables) {
  std::string out;
  for (std::size_t i = 0; i < tables.size() && i < 5; ++i) {
    out += (out.empty() ? "" : ", ") + tables[i].Label();
  }
  if (tables.size() > 5) out += " and " + std::to_string(tables.size() - 5) + " more";
  return out;
}

// "1 table" / "3 tables".
std::string TableCount(std::size_t n) {
  return Count(static_cast<long long>(n), "table", "tables");
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

void RuleListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const long page = PageNumber(req);
  const std::string search = Param(req, "q");
  const long long total = CountTableRules(app.db(), profile->mprf, vrc, search);
  const std::string base =
      ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc) + "&q=" + UrlEncode(search);
  Data data;
  data.set("q", search);
  data.set("searched", Flag(!search.empty()));
  data.set("mprf", std::to_string(profile->mprf));
  data.set("url", ProfileUrl(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  data.set("total", Count(total, "target table", "target tables"));
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
  const std::vector<TableRuleSummary> rules =
      ListTableRules(app.db(), profile->mprf, vrc, search, (page - 1) * kPageSize, kPageSize);
  // Coverage of the tables of this page only: its cost does not grow with
  // the profile.
  std::vector<insight::TableName> shown;
  for (const TableRuleSummary& rule : rules) {
    shown.push_back({rule.key.tcpac, rule.key.tcmod, rule.key.tflno});
  }
  std::map<std::tuple<String, String, String>, Data> coverage;
  for (const insight::TableCoverage& t :
       app::TablesCoverage(
           app.core, session->principal,
           insight::RuleSet{profile->mprf, std::vector<String>{vrc.vers, vrc.rele, vrc.cust}},
           shown)
           .tables) {
    Data bar;
    SetCoverageBar(bar, t.counts);
    bar.set("in_dictionary", Flag(t.in_dictionary));
    coverage.emplace(std::tuple{t.tcpac, t.tcmod, t.tflno}, bar);
  }
  List rows;
  for (const TableRuleSummary& rule : rules) {
    Data r = StatusData(rule.status);
    if (auto found = coverage.find(std::tuple{rule.key.tcpac, rule.key.tcmod, rule.key.tflno});
        found != coverage.end()) {
      r.set("coverage", found->second);
    }
    r.set("code", rule.key.Code());
    r.set("label", rule.key.Label());
    r.set("table_url", TableUrl(profile->mprf, vrc, rule.key));
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
  data.set("has_any", Flag(total > 0 || !search.empty()));
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  SetPaging(data, base, page, total);
  SendHtml(res, RenderPage(Frame(app, *session, "Rules of " + std::to_string(profile->mprf),
                                 RuleCrumbs(*profile, vrc, true)),
                           "rules", data));
}

// The table a request names: table= in either spelling ("oritm001",
// "or itm 001"), or its three parts.
std::optional<TableKey> RequestTable(const httplib::Request& req) {
  if (req.has_param("table")) return app::ParseTableCode(Param(req, "table"));
  const TableKey key{Param(req, "tcpac"), Param(req, "tcmod"), Param(req, "tflno")};
  if (key.tcpac.empty() || key.tcmod.empty() || key.tflno.empty()) return std::nullopt;
  return key;
}

void TableRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::optional<TableKey> key = RequestTable(req);
  std::optional<TableRuleSummary> rule;
  if (key) rule = FindTableRule(app.db(), profile->mprf, vrc, *key);
  if (!rule) {
    SendProblem(res, 404, "No such table rule",
                "VRC " + vrc.Text() + " of profile " + std::to_string(profile->mprf) +
                    " holds no rule for that table.");
    return;
  }
  const long page = PageNumber(req);
  const std::string item_query = VrcQuery(vrc) + "&kind=rule&name=" + UrlEncode(key->Code());
  Data data = StatusData(rule->status);
  data.set("code", key->Code());
  data.set("label", key->Label());
  data.set("mprf", std::to_string(profile->mprf));
  data.set("url", ProfileUrl(profile->mprf));
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  data.set("where_used_url", "/where-used?table=" + UrlEncode(key->Label()));
  data.set("vrc", vrc.Text());
  data.set("comment", rule->comment);
  data.set("last_user", rule->last_user);
  data.set("last_date", rule->last_date);
  data.set("revisions_url", ProfileUrl(profile->mprf) + "/revisions" + item_query);
  data.set("history_url", ProfileUrl(profile->mprf) + "/revisions/history" + item_query);
  data.set("under_revision", Flag(DevelopmentVrc(app.db(), profile->mprf).has_value()));
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
  data.set("fields", rows_data(FieldRules(app.db(), profile->mprf, vrc, *key,
                                          (page - 1) * kPageSize, kPageSize)));
  data.set("field_count", std::to_string(rule->fields));
  data.set("has_fields", Flag(rule->fields > 0));
  // Source and child tables are tables too; a child table links to its own
  // rule page in this VRC.
  auto table_rows = [&, &profile = profile](const std::vector<Row>& rows, bool with_code) {
    List list;
    for (const Row& row : rows) {
      if (row.size() < 3) continue;
      const TableKey other{row[0], row[1], row[2]};
      Data r;
      r.set("label", other.Label());
      // A child table without a rule of its own in this VRC has no page.
      if (!with_code && FindTableRule(app.db(), profile->mprf, vrc, other)) {
        r.set("table_url", TableUrl(profile->mprf, vrc, other));
      }
      r.set("icod", with_code && row.size() > 3 ? row[3] : "");
      list.push_back(r);
    }
    return list;
  };
  data.set("sources", table_rows(SourceTables(app.db(), profile->mprf, vrc, *key), true));
  data.set("has_sources", Flag(rule->sources > 0));
  data.set("functions", rows_data(RuleFunctions(app.db(), profile->mprf, vrc, *key)));
  data.set("has_functions", Flag(rule->functions > 0));
  data.set("links", table_rows(TableLinks(app.db(), profile->mprf, vrc, *key), false));
  data.set("has_links", Flag(rule->links > 0));
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  SetPaging(data, TableUrl(profile->mprf, vrc, *key), page, rule->fields);
  std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
  crumbs.push_back({key->Label(), ""});
  SendHtml(res,
           RenderPage(Frame(app, *session, "Table " + key->Label(), crumbs), "rule_table", data));
}

void RuleActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  // A GET is the preview (Back and reload show it again); only a POST
  // marked apply=yes changes anything.
  auto [session, profile] = OpenProfileRequest(app, req, res, req.method == "POST");
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  const std::string back = ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc);
  const std::string action = Param(req, "action");
  if (tables.empty()) {
    RedirectWithRefusal(app, *session, res, back, "Select at least one table first.");
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
  const std::string action_url = ProfileUrl(profile->mprf) + "/rules/action";
  if (!ApplyRequested(req)) {
    const std::string what =
        std::string(expire ? "Expire" : "Reinstate") + " the rules of " + TableList(tables);
    std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
    crumbs.push_back({"Preview", ""});
    PendingChange pending{what, action_url, what, back, crumbs, "", "", false};
    pending.acts_on = ActsOn(app, *profile, vrc, /*development_first=*/true);
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
  const Vrc acted = DevelopmentVrc(app.db(), profile->mprf).value_or(vrc);
  RedirectWithOutcome(app, *session, res, back,
                      "Rules of " + TableList(tables) + (expire ? " expired" : " reinstated") +
                          " in VRC " + acted.Text(),
                      action_url + "?" + ChangeQuery(req), outcome);
}

// The deletion's preview; Apply posts to RuleDeleteRoute.
void ShowDeletePreview(WebApp& app, const SignedIn& session, const httplib::Request& req,
                       httplib::Response& res, const ProfileSummary& profile, const Vrc& vrc,
                       const std::vector<TableKey>& tables) {
  const Integer mprf = profile.mprf;
  const std::string what = "Delete the rules of " + TableList(tables);
  std::vector<Crumb> crumbs = RuleCrumbs(profile, vrc, false);
  crumbs.push_back({"Delete", ""});
  PendingChange pending{what + " from " + vrc.Text(),
                        ProfileUrl(mprf) + "/rules/delete",
                        "Delete the rules of " + TableCount(tables.size()),
                        ProfileUrl(mprf) + "/rules" + VrcQuery(vrc),
                        crumbs,
                        "",
                        "",
                        /*destructive=*/true};
  pending.acts_on = ActsOn(app, profile, vrc, /*development_first=*/false);
  ShowPreview(app, session, req, res, pending, app::DeleteRules{mprf, vrc, tables});
}

void RuleDeleteConfirmRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  if (tables.empty()) {
    RedirectWithRefusal(app, *session, res, ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc),
                        "Select at least one table first.");
    return;
  }
  ShowDeletePreview(app, *session, req, res, *profile, vrc, tables);
}

void RuleDeleteRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::vector<TableKey> tables = RequestTables(req);
  const std::string back = ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc);
  if (tables.empty()) {
    RedirectWithRefusal(app, *session, res, back, "Select at least one table first.");
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
  RedirectWithOutcome(app, *session, res, back,
                      "Rules of " + TableList(tables) + " deleted from VRC " + vrc.Text(),
                      ProfileUrl(profile->mprf) + "/rules/delete?" + ChangeQuery(req), outcome);
}

void CopyFormRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::string form_url = ProfileUrl(profile->mprf) + "/copy" + VrcQuery(vrc);
  Data data;
  data.set("mprf", std::to_string(profile->mprf));
  data.set("url", ProfileUrl(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("vers", vrc.vers);
  data.set("rele", vrc.rele);
  data.set("cust", vrc.cust);
  std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
  data.set("source_value", Param(req, "source"));
  data.set("picker", ProfilePicker(app, req, form_url + "&source=", profile->mprf));
  SetRights(data, RightsOn(app, session->principal, profile->mprf));
  std::optional<ProfileSummary> source_profile;
  if (source) source_profile = FindProfile(app.db(), *source);
  data.set("has_source", Flag(source_profile.has_value()));
  data.set("unknown_source", Flag(source && !source_profile));
  if (source_profile) {
    data.set("source", std::to_string(source_profile->mprf));
    data.set("source_description", source_profile->description);
    data.set("source_vrc", source_profile->vrc.Text());
    const long page = PageNumber(req);
    const std::string search = Param(req, "q");
    data.set("q", search);
    const long long total =
        CountTableRules(app.db(), source_profile->mprf, source_profile->vrc, search);
    List tables;
    for (const TableRuleSummary& rule :
         ListTableRules(app.db(), source_profile->mprf, source_profile->vrc, search,
                        (page - 1) * kPageSize, kPageSize)) {
      Data t = StatusData(rule.status);
      t.set("code", rule.key.Code());
      t.set("label", rule.key.Label());
      t.set("table_url", TableUrl(source_profile->mprf, source_profile->vrc, rule.key));
      t.set("fields", std::to_string(rule.fields));
      t.set("sources", std::to_string(rule.sources));
      t.set("functions", std::to_string(rule.functions));
      t.set("links", std::to_string(rule.links));
      tables.push_back(t);
    }
    data.set("tables", tables);
    data.set("has_tables", Flag(total > 0));
    data.set("searched", Flag(!search.empty()));
    SetPaging(
        data,
        form_url + "&source=" + std::to_string(source_profile->mprf) + "&q=" + UrlEncode(search),
        page, total);
  }
  std::vector<Crumb> crumbs = RuleCrumbs(*profile, vrc, false);
  crumbs.push_back({"Copy", ""});
  SendHtml(res, RenderPage(Frame(app, *session, "Copy rules", crumbs), "copy", data));
}

void CopyRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  // GET /copy/preview is the preview; only a POST marked apply=yes starts
  // the copy.
  auto [session, profile] = OpenProfileRequest(app, req, res, req.method == "POST");
  if (!profile) return;
  app::CopyRules request;
  request.target = profile->mprf;
  request.vrc = RequestVrc(req, profile->vrc);
  request.tables = RequestTables(req);
  std::optional<Integer> source = ParseProfileNumber(Param(req, "source"));
  const std::string form_url = ProfileUrl(profile->mprf) + "/copy" + VrcQuery(request.vrc) +
                               (source ? "&source=" + std::to_string(*source) : "");
  if (!source || request.tables.empty()) {
    RedirectWithRefusal(app, *session, res, form_url,
                        "Choose a source profile and at least one table.");
    return;
  }
  request.source = *source;
  if (!ApplyRequested(req)) {
    const std::string what = "Copy " + TableCount(request.tables.size()) + " from profile " +
                             std::to_string(request.source);
    std::vector<Crumb> crumbs = RuleCrumbs(*profile, request.vrc, false);
    crumbs.push_back({"Copy", form_url});
    crumbs.push_back({"Preview", ""});
    PendingChange pending{what + " into " + request.vrc.Text(),
                          ProfileUrl(profile->mprf) + "/copy",
                          "Copy " + TableCount(request.tables.size()),
                          form_url,
                          crumbs,
                          "",
                          "",
                          false};
    pending.preview_url = ProfileUrl(profile->mprf) + "/copy/preview";
    pending.acts_on = ActsOn(app, *profile, request.vrc, /*development_first=*/false);
    // The copy checks only the first table of a selection against the
    // target; the others would get their rules a second time.
    const std::vector<TableKey> present =
        TablesPresent(app.db(), profile->mprf, request.vrc, request.tables);
    if (!present.empty()) {
      pending.notices.push_back(Count(static_cast<long long>(present.size()),
                                      "selected table already holds",
                                      "selected tables already hold") +
                                " rules in VRC " + request.vrc.Text() + ": " + TableList(present) +
                                ". Copying " + (present.size() == 1 ? "it" : "them") +
                                " again would add " + (present.size() == 1 ? "its" : "their") +
                                " rules a second time (or fail on the first table).");
      std::string query = VrcQuery(request.vrc) + "&source=" + std::to_string(request.source);
      std::size_t left = 0;
      for (const TableKey& key : request.tables) {
        if (std::find(present.begin(), present.end(), key) != present.end()) continue;
        query += "&table=" + UrlEncode(key.Code());
        ++left;
      }
      if (left > 0) {
        pending.alternative_url = pending.preview_url + query;
        pending.alternative_label =
            std::string(present.size() == 1 ? "Leave it out" : "Leave them out") +
            " and copy the other " + TableCount(left);
      } else {
        pending.notices.push_back(
            "Every selected table is there already: nothing is left to copy.");
      }
    }
    ShowPreview(app, *session, req, res, pending, request);
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
  get(R"(/profiles/(-?\d+)/rules)", RuleListRoute);
  get(R"(/profiles/(-?\d+)/rules/table)", TableRoute);
  get(R"(/profiles/(-?\d+)/rules/action)", RuleActionRoute);
  post(R"(/profiles/(-?\d+)/rules/action)", RuleActionRoute);
  get(R"(/profiles/(-?\d+)/rules/delete)", RuleDeleteConfirmRoute);
  post(R"(/profiles/(-?\d+)/rules/delete)", RuleDeleteRoute);
  get(R"(/profiles/(-?\d+)/copy)", CopyFormRoute);
  get(R"(/profiles/(-?\d+)/copy/preview)", CopyRoute);
  post(R"(/profiles/(-?\d+)/copy)", CopyRoute);
}

}  // namespace migprof::web
