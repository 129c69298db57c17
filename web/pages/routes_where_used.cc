// Where used: a profile's ancestors and the whole tree derived from it, and
// every profile and VRC that uses a table or a library function.
#include <algorithm>
#include <map>

#include "app/insight.h"
#include "migprof/insight.h"
#include "web/pages/labels.h"
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

// The descriptions of the profiles a page shows, read together.
template <typename Item, typename ScopeOf>
Descriptions DescriptionsOf(WebApp& app, const std::vector<Item>& items, ScopeOf scope_of) {
  std::vector<Integer> numbers;
  for (const Item& item : items) numbers.push_back(static_cast<Integer>(scope_of(item).mprf));
  Descriptions descriptions;
  for (const ProfileSummary& p : FindProfiles(app.db(), numbers)) {
    descriptions[p.mprf] = p.description;
  }
  return descriptions;
}

// The profile numbers of a derived tree, at every depth.
void CollectDerived(const std::vector<insight::Derived>& derived, std::vector<long long>& into) {
  for (const insight::Derived& item : derived) {
    into.push_back(item.scope.mprf);
    CollectDerived(item.derived, into);
  }
}

void LineageRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const insight::ProfileLineage lineage = app::Lineage(app.core, session->principal, profile->mprf);
  // The descriptions of the profiles the page shows only.
  std::vector<long long> shown{lineage.profile.mprf};
  for (const insight::Ancestor& a : lineage.ancestors) {
    if (!a.profile.IsNull()) shown.push_back(static_cast<long long>(a.profile.ToDouble()));
  }
  CollectDerived(lineage.derived, shown);
  const Descriptions descriptions = DescriptionsOf(app, shown, [](long long mprf) {
    return insight::Scope{mprf, "", "", ""};
  });
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

// A table's use in words: "Field rules" for qzmap140, "Source tables (as
// the source)" for "qzmap130 source"; a table code stays as it is.
std::string UseLabel(const std::string& item) {
  const std::size_t blank = item.find(' ');
  if (blank == std::string::npos) return TableLabel(item);
  return TableLabel(item.substr(0, blank)) + " (as the " + item.substr(blank + 1) + ")";
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
  std::string function = Param(req, "function");
  // A function name typed with blanks around it is the same name.
  function.erase(0, function.find_first_not_of(" \t"));
  function.erase(function.find_last_not_of(" \t") + 1);
  const long page = PageNumber(req);
  long long longest = 0;  // the longest list, for the page links
  bool more = false;      // the table's list goes on past longest
  Data data;
  data.set("table", table);
  data.set("function", function);
  data.set("has_table", Flag(false));
  data.set("has_function", Flag(false));
  data.set("table_problem", Flag(false));
  if (!table.empty()) {
    if (std::optional<TableKey> key = app::ParseTableCode(table)) {
      const insight::UsagePage<insight::Use> use =
          app::TableUsePage(app.core, session->principal, *key, (page - 1) * kPageSize, kPageSize);
      const std::vector<insight::Use>& shown = use.items;
      const Descriptions descriptions =
          DescriptionsOf(app, shown, [](const insight::Use& u) { return u.scope; });
      longest = std::max(longest, use.total);
      List rows;
      for (const insight::Use& one : shown) {
        Data row = UseRows({one}, descriptions)[0];
        std::string roles;
        for (const String& role : one.tables) roles += (roles.empty() ? "" : ", ") + UseLabel(role);
        row.set("items", roles);
        const Vrc vrc{one.scope.vers, one.scope.rele, one.scope.cust};
        // A profile that uses the table as a source or a link but has no
        // rule of it (no qzmap120 row among its uses) has no table page.
        if (std::find(one.tables.begin(), one.tables.end(), "qzmap120") != one.tables.end()) {
          row.set("table_url", TableUrl(static_cast<Integer>(one.scope.mprf), vrc, *key));
        }
        rows.push_back(row);
      }
      data.set("table", key->Label());
      data.set("has_table", Flag(true));
      data.set("table_uses", rows);
      data.set("table_used", Flag(!rows.empty()));
      data.set("table_past_end", Flag(rows.empty() && use.total > 0));
      data.set("first_url", "/where-used?table=" + UrlEncode(table));
      data.set("table_count", (use.more ? "more than " : "") + std::to_string(use.total));
      more = use.more;
    } else {
      data.set("table_problem", Flag(true));
    }
  }
  if (!function.empty()) {
    const insight::UsagePage<insight::FunctionHolder> held = app::FunctionHoldersPage(
        app.core, session->principal, function, (page - 1) * kPageSize, kPageSize);
    const insight::UsagePage<insight::Use> called = app::FunctionCallsPage(
        app.core, session->principal, function, (page - 1) * kPageSize, kPageSize);
    const std::vector<insight::FunctionHolder>& holders = held.items;
    const std::vector<insight::Use>& callers = called.items;
    longest = std::max({longest, held.total, called.total});
    Descriptions descriptions =
        DescriptionsOf(app, holders, [](const insight::FunctionHolder& h) { return h.scope; });
    descriptions.merge(DescriptionsOf(app, callers, [](const insight::Use& u) { return u.scope; }));
    List holds;
    for (const insight::FunctionHolder& holder : holders) {
      Data row = ScopeData(holder.scope, true, descriptions);
      row.set("items", "");
      row.set("stat", holder.status);
      holds.push_back(row);
    }
    List calls = UseRows(callers, descriptions);
    data.set("has_function", Flag(true));
    data.set("holds", holds);
    data.set("has_holds", Flag(!holds.empty()));
    data.set("calls", calls);
    data.set("has_calls", Flag(!calls.empty()));
  }
  SetPaging(data, "/where-used?table=" + UrlEncode(table) + "&function=" + UrlEncode(function),
            page, longest);
  if (more) {
    // The table's uses were counted only part of the way: more pages follow.
    data.set("pages", "more than " + std::to_string(std::max(1LL, longest / kPageSize)));
    data.set("has_next", Flag(true));
    data.set("paged", Flag(true));
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
