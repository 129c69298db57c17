// Where used: a profile's ancestors and the whole tree derived from it, and
// every profile and VRC that uses a table or a library function.
#include <map>

#include "migprof/insight.h"
#include "web/app.h"

namespace migprof::web {
namespace {

using Json = insight::Json;

insight::DataSource SourceOf(const WebApp& app) {
  const DbSettings& s = app.db.settings();
  return insight::DataSource{s.database, s.user, s.password};
}

std::string Text(const Json& value) {
  return value.is_string() ? value.get<std::string>() : value.is_null() ? "" : value.dump();
}

// A profile of a lineage: number, VRC, description and links.
Data ScopeData(const Json& scope, const std::map<std::string, std::string>& descriptions) {
  Data d;
  const std::string mprf = Text(scope["mprf"]);
  d.set("mprf", mprf);
  d.set("url", "/profiles/" + mprf);
  auto description = descriptions.find(mprf);
  d.set("description", description == descriptions.end() ? "" : description->second);
  if (scope.contains("vers")) {
    const Vrc vrc{Text(scope["vers"]), Text(scope["rele"]), Text(scope["cust"])};
    d.set("vrc", vrc.Text());
    d.set("rules_url", "/profiles/" + mprf + "/rules" + VrcQuery(vrc));
    d.set("functions_url", "/profiles/" + mprf + "/functions" + VrcQuery(vrc));
  }
  return d;
}

List DerivedNodes(const Json& derived, const std::map<std::string, std::string>& descriptions,
                  long& count) {
  List nodes;
  for (const Json& item : derived) {
    ++count;
    Data node = ScopeData(item, descriptions);
    List children = DerivedNodes(item["derived"], descriptions, count);
    node.set("has_children", Flag(!children.empty()));
    node.set("children", children);
    nodes.push_back(node);
  }
  return nodes;
}

void LineageRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  std::map<std::string, std::string> descriptions;
  for (const ProfileSummary& p : ListProfiles(app.db, "")) {
    descriptions[std::to_string(p.mprf)] = p.description;
  }
  Json lineage = insight::Lineage(SourceOf(app), profile->mprf);
  Data data = ScopeData(lineage["profile"], descriptions);
  // Ancestors come nearest first; the page draws them from the top down.
  List ancestors;
  const Json& list = lineage["ancestors"];
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    Data a = ScopeData(*it, descriptions);
    a.set("level", Text((*it)["levl"]));
    ancestors.push_back(a);
  }
  long count = 0;
  List derived = DerivedNodes(lineage["derived"], descriptions, count);
  data.set("ancestors", ancestors);
  data.set("has_ancestors", Flag(!ancestors.empty()));
  data.set("derived", derived);
  data.set("has_derived", Flag(!derived.empty()));
  data.set("derived_count", std::to_string(count));
  data.set("compare_url", "/compare?left=" + std::to_string(profile->mprf));
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(
      res,
      RenderPage(
          Frame(app, *session, "Lineage of " + label,
                {{"Profiles", "/profiles"}, {label, ProfileUrl(profile->mprf)}, {"Lineage", ""}}),
          "lineage", data));
}

// The profiles and VRCs of a use list, with the tables (or roles) named.
List UseRows(const Json& uses, const std::map<std::string, std::string>& descriptions,
             const char* what) {
  List rows;
  for (const Json& use : uses) {
    Data row = ScopeData(use, descriptions);
    std::string items;
    if (use.contains(what)) {
      for (const Json& item : use[what]) items += (items.empty() ? "" : ", ") + Text(item);
    }
    row.set("items", items);
    row.set("stat", use.contains("stat") ? Text(use["stat"]) : "");
    rows.push_back(row);
  }
  return rows;
}

void WhereUsedRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SessionRecord> session = RequireSession(app, req, res);
  if (!session) return;
  const std::string table = Param(req, "table");
  const std::string function = Param(req, "function");
  std::map<std::string, std::string> descriptions;
  for (const ProfileSummary& p : ListProfiles(app.db, "")) {
    descriptions[std::to_string(p.mprf)] = p.description;
  }
  Data data;
  data.set("table", table);
  data.set("function", function);
  data.set("has_table", Flag(false));
  data.set("has_function", Flag(false));
  data.set("table_problem", Flag(false));
  if (!table.empty()) {
    if (std::optional<TableKey> key = ParseTableCode(table)) {
      Json use = insight::TableUse(SourceOf(app), key->tcpac, key->tcmod, key->tflno);
      List rows = UseRows(use["used_by"], descriptions, "tables");
      data.set("has_table", Flag(true));
      data.set("table_uses", rows);
      data.set("table_used", Flag(!rows.empty()));
      data.set("table_count", std::to_string(rows.size()));
    } else {
      data.set("table_problem", Flag(true));
    }
  }
  if (!function.empty()) {
    Json use = insight::FunctionUse(SourceOf(app), function);
    List holds = UseRows(use["holds"], descriptions, "");
    List calls = UseRows(use["calls"], descriptions, "tables");
    data.set("has_function", Flag(true));
    data.set("holds", holds);
    data.set("has_holds", Flag(!holds.empty()));
    data.set("calls", calls);
    data.set("has_calls", Flag(!calls.empty()));
  }
  SendHtml(res, RenderPage(Frame(app, *session, "Where used",
                                 {{"Profiles", "/profiles"}, {"Where used", ""}}),
                           "where_used", data));
}

}  // namespace

void AddWhereUsedRoutes(httplib::Server& server, WebApp& app) {
  server.Get(
      R"(/profiles/(-?\d+)/lineage)",
      [&app](const httplib::Request& req, httplib::Response& res) { LineageRoute(app, req, res); });
  server.Get("/where-used", [&app](const httplib::Request& req, httplib::Response& res) {
    WhereUsedRoute(app, req, res);
  });
}

}  // namespace migprof::web
