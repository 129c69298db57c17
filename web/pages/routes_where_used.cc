// Where used: a profile's ancestors and the whole tree derived from it, and
// every profile and VRC that uses a table or a library function.
#include <map>

#include "app/insight.h"
#include "migprof/insight.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

using Descriptions = std::map<long long, std::string>;

// A profile of a lineage: number, VRC, description and links.
Data ScopeData(const insight::Scope& scope, bool known, const Descriptions& descriptions) {
  Data d;
  const std::string mprf = std::to_string(scope.mprf);
  d.set("mprf", mprf);
  d.set("url", "/profiles/" + mprf);
  auto description = descriptions.find(scope.mprf);
  d.set("description", description == descriptions.end() ? "" : description->second);
  if (known) {
    const Vrc vrc{scope.vers, scope.rele, scope.cust};
    d.set("vrc", vrc.Text());
    d.set("rules_url", "/profiles/" + mprf + "/rules" + VrcQuery(vrc));
    d.set("functions_url", "/profiles/" + mprf + "/functions" + VrcQuery(vrc));
  }
  return d;
}

List DerivedNodes(const std::vector<insight::Derived>& derived, const Descriptions& descriptions,
                  long& count) {
  List nodes;
  for (const insight::Derived& item : derived) {
    ++count;
    Data node = ScopeData(item.scope, item.known, descriptions);
    List children = DerivedNodes(item.derived, descriptions, count);
    node.set("has_children", Flag(!children.empty()));
    node.set("children", children);
    nodes.push_back(node);
  }
  return nodes;
}

Descriptions AllDescriptions(WebApp& app) {
  Descriptions descriptions;
  for (const ProfileSummary& p : ListProfiles(app.db(), "")) descriptions[p.mprf] = p.description;
  return descriptions;
}

void LineageRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Descriptions descriptions = AllDescriptions(app);
  const insight::ProfileLineage lineage = app::Lineage(app.core, session->principal, profile->mprf);
  Data data = ScopeData(lineage.profile, true, descriptions);
  // Ancestors come nearest first; the page draws them from the top down.
  List ancestors;
  for (auto it = lineage.ancestors.rbegin(); it != lineage.ancestors.rend(); ++it) {
    const insight::Scope scope{
        it->profile.IsNull() ? 0 : static_cast<long long>(it->profile.ToDouble()), it->vers,
        it->rele, it->cust};
    Data a = ScopeData(scope, true, descriptions);
    a.set("level", it->level.IsNull() ? std::string() : it->level.ToString());
    ancestors.push_back(a);
  }
  long count = 0;
  List derived = DerivedNodes(lineage.derived, descriptions, count);
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
List UseRows(const std::vector<insight::Use>& uses, const Descriptions& descriptions) {
  List rows;
  for (const insight::Use& use : uses) {
    Data row = ScopeData(use.scope, true, descriptions);
    std::string items;
    for (const String& item : use.tables) items += (items.empty() ? "" : ", ") + item;
    row.set("items", items);
    row.set("stat", "");
    rows.push_back(row);
  }
  return rows;
}

void WhereUsedRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  const std::string table = Param(req, "table");
  const std::string function = Param(req, "function");
  const Descriptions descriptions = AllDescriptions(app);
  Data data;
  data.set("table", table);
  data.set("function", function);
  data.set("has_table", Flag(false));
  data.set("has_function", Flag(false));
  data.set("table_problem", Flag(false));
  if (!table.empty()) {
    if (std::optional<TableKey> key = app::ParseTableCode(table)) {
      const insight::TableUsage use =
          app::TableUse(app.core, session->principal, key->tcpac, key->tcmod, key->tflno);
      List rows = UseRows(use.used_by, descriptions);
      data.set("has_table", Flag(true));
      data.set("table_uses", rows);
      data.set("table_used", Flag(!rows.empty()));
      data.set("table_count", std::to_string(rows.size()));
    } else {
      data.set("table_problem", Flag(true));
    }
  }
  if (!function.empty()) {
    const insight::FunctionUsage use = app::FunctionUse(app.core, session->principal, function);
    List holds;
    for (const insight::FunctionHolder& holder : use.holds) {
      Data row = ScopeData(holder.scope, true, descriptions);
      row.set("items", "");
      row.set("stat", holder.status);
      holds.push_back(row);
    }
    List calls = UseRows(use.calls, descriptions);
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
