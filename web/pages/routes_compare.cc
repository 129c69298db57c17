// Compare: the mapping rules and library functions of two profile/VRC pairs,
// rule by rule, by default a derived profile against its parent.
#include "app/insight.h"
#include "migprof/com_error.h"
#include "migprof/insight.h"
#include "web/pages/labels.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

// What the rows of each compared table are.
std::string ComparedRowsLabel(const std::string& table) {
  static const std::pair<const char*, const char*> kLabels[] = {
      {"qzmap120", "table rules"}, {"qzmap130", "source tables"},
      {"qzmap140", "field rules"}, {"qzmap160", "rule functions"},
      {"qzmap170", "table links"}, {"qzlib100", "library functions"},
  };
  for (const auto& [name, label] : kLabels) {
    if (table == name) return label;
  }
  return "";
}

// A side of the comparison from the request: profile number and an optional
// VRC; nullopt when the number is missing or not a number.
std::optional<insight::RuleSet> RequestSide(const httplib::Request& req, const char* number,
                                            const char* vrc_field, std::string& vrc_text) {
  std::optional<Integer> mprf = ParseProfileNumber(Param(req, number));
  vrc_text = Param(req, vrc_field);
  if (!mprf) return std::nullopt;
  insight::RuleSet set{*mprf, std::nullopt};
  if (vrc_text.empty()) return set;
  std::optional<Vrc> vrc = app::ParseVrc(vrc_text);
  if (!vrc) return std::nullopt;
  set.vrc = std::vector<String>{vrc->vers, vrc->rele, vrc->cust};
  return set;
}

Data SideData(const insight::Scope& side) {
  Data d;
  d.set("mprf", std::to_string(side.mprf));
  d.set("url", ProfileUrl(static_cast<Integer>(side.mprf)));
  d.set("vrc", side.vers + "_" + side.rele + "_" + side.cust);
  return d;
}

// The comparison as template data: per table its rules of this page, and
// counts of statuses and lineage.
Data ResultData(const insight::Comparison& result, bool only_differences, long page) {
  using insight::RuleLineage;
  using insight::RuleStatus;
  Data data;
  data.set("left", SideData(result.left));
  data.set("right", SideData(result.right));
  data.set("right_is_parent", Flag(result.right_is_parent));
  data.set("count_same", std::to_string(result.same));
  data.set("count_changed", std::to_string(result.changed));
  data.set("count_only_left", std::to_string(result.only_left));
  data.set("count_only_right", std::to_string(result.only_right));
  long lineage[4] = {};
  const long offset = (page - 1) * kPageSize;
  bool more = false;
  List tables;
  for (const insight::TableComparison& table : result.tables) {
    List rows;
    long shown = 0, differences = 0;
    for (const insight::RuleComparison& entry : table.rules) {
      ++lineage[static_cast<int>(entry.lineage)];
      if (entry.status != RuleStatus::kSame) ++differences;
      if (only_differences && entry.status == RuleStatus::kSame) continue;
      if (shown++ < offset || shown > offset + kPageSize) continue;
      Data r;
      // The key in words; its table (package, module, number) as one code
      // linking to the table page of the side that holds the rule.
      std::string key;
      TableKey code;
      for (const auto& [column, value] : entry.key) {
        if (column == "tcpac")
          code.tcpac = CellText(value);
        else if (column == "tcmod")
          code.tcmod = CellText(value);
        else if (column == "tflno")
          code.tflno = CellText(value);
        else if (column != "mprf" && column != "vers" && column != "rele" && column != "cust") {
          key +=
              (key.empty() ? "" : " · ") + ColumnLabel(table.table, column) + " " + CellText(value);
        }
      }
      r.set("key", key);
      const bool has_code = !code.tcpac.empty() && !code.tcmod.empty() && !code.tflno.empty();
      r.set("has_code", Flag(has_code));
      if (has_code) {
        const insight::Scope& side =
            entry.status == RuleStatus::kOnlyRight ? result.right : result.left;
        r.set("code", code.Label());
        r.set("table_url", TableUrl(static_cast<Integer>(side.mprf),
                                    Vrc{side.vers, side.rele, side.cust}, code));
      }
      r.set("status", insight::RuleStatusName(entry.status));
      r.set("same", Flag(entry.status == RuleStatus::kSame));
      r.set("changed", Flag(entry.status == RuleStatus::kChanged));
      r.set("only_left", Flag(entry.status == RuleStatus::kOnlyLeft));
      r.set("only_right", Flag(entry.status == RuleStatus::kOnlyRight));
      r.set("lineage", insight::RuleLineageName(entry.lineage));
      r.set("inherited", Flag(entry.lineage == RuleLineage::kInherited));
      r.set("overridden", Flag(entry.lineage == RuleLineage::kOverridden));
      r.set("local", Flag(entry.lineage == RuleLineage::kLocal));
      List changes;
      for (const insight::ColumnDifference& change : entry.changes) {
        Data c;
        c.set("column", ColumnLabel(table.table, change.column));
        c.set("left", CellText(change.left));
        c.set("right", CellText(change.right));
        changes.push_back(c);
      }
      r.set("changes", changes);
      rows.push_back(r);
    }
    more = more || shown > offset + kPageSize;
    if (only_differences && differences == 0) continue;
    Data t;
    t.set("table", table.table);
    t.set("label", ComparedRowsLabel(table.table));
    t.set("rules", std::to_string(table.rules.size()));
    t.set("differences", std::to_string(differences));
    t.set("rows", rows);
    t.set("has_rows", Flag(!rows.empty()));
    tables.push_back(t);
  }
  data.set("tables", tables);
  data.set("has_tables", Flag(!tables.empty()));
  data.set("count_inherited", std::to_string(lineage[static_cast<int>(RuleLineage::kInherited)]));
  data.set("count_overridden", std::to_string(lineage[static_cast<int>(RuleLineage::kOverridden)]));
  data.set("count_local", std::to_string(lineage[static_cast<int>(RuleLineage::kLocal)]));
  data.set("has_more", Flag(more));
  return data;
}

void CompareRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  Data data;
  data.set("has_refusal", Flag(false));
  std::string left_vrc, right_vrc;
  std::optional<insight::RuleSet> left = RequestSide(req, "left", "left_vrc", left_vrc);
  std::optional<insight::RuleSet> right = RequestSide(req, "right", "right_vrc", right_vrc);
  // Without a right side, a derived profile is compared with its parent.
  if (left && !right && Param(req, "right").empty()) {
    if (std::optional<ProfileSummary> profile = FindProfile(app.db(), left->mprf);
        profile && !profile->parent_vrc.Empty()) {
      if (std::optional<Integer> parent = FindProfileByVrc(app.db(), profile->parent_vrc)) {
        right = insight::RuleSet{*parent, std::nullopt};
      }
    }
  }
  for (const std::string* text : {&left_vrc, &right_vrc}) {
    if (!text->empty() && !app::ParseVrc(*text)) {
      data.set("has_refusal", Flag(true));
      data.set("refusal",
               "A VRC is written vers_rele_cust, such as 1_0_C; \"" + *text + "\" is not one.");
    }
  }
  const bool only_differences = Param(req, "only") == "differences";
  const long page = PageNumber(req);
  // Profiles are chosen by number (the form does not list the estate).
  data.set("left_value", left ? std::to_string(left->mprf) : Param(req, "left"));
  data.set("right_value", right ? std::to_string(right->mprf) : Param(req, "right"));
  data.set("left_vrc", left_vrc);
  data.set("right_vrc", right_vrc);
  data.set("only_differences", Flag(only_differences));
  data.set("has_result", Flag(false));
  if (left && right) {
    try {
      const insight::Comparison result = app::Compare(app.core, session->principal, *left, *right);
      Data shown = ResultData(result, only_differences, page);
      for (const char* key : {"left", "right", "right_is_parent", "count_same", "count_changed",
                              "count_only_left", "count_only_right", "count_inherited",
                              "count_overridden", "count_local", "tables", "has_tables"}) {
        data.set(key, *shown.get(key));
      }
      data.set("has_result", Flag(true));
      const std::string base =
          "/compare?left=" + std::to_string(left->mprf) + "&left_vrc=" + UrlEncode(left_vrc) +
          "&right=" + std::to_string(right->mprf) + "&right_vrc=" + UrlEncode(right_vrc) +
          (only_differences ? "&only=differences" : "");
      data.set("page", std::to_string(page));
      data.set("paged", Flag(page > 1 || shown.get("has_more")->is_true()));
      data.set("has_prev", Flag(page > 1));
      data.set("has_next", Flag(shown.get("has_more")->is_true()));
      data.set("prev_url", base + "&page=" + std::to_string(page - 1));
      data.set("next_url", base + "&page=" + std::to_string(page + 1));
      data.set("all_url", base.substr(0, base.find("&only=")));
      data.set("differences_url", base.substr(0, base.find("&only=")) + "&only=differences");
    } catch (const ComError& error) {
      if (error.number() != insight::kInsightRefused) throw;
      data.set("has_refusal", Flag(true));
      data.set("refusal", error.description());
    }
  }
  SendHtml(res, RenderPage(Frame(app, *session, "Compare rules",
                                 {{"Profiles", "/profiles"}, {"Compare", ""}}),
                           "compare", data));
}

}  // namespace

void AddCompareRoutes(httplib::Server& server, WebApp& app) {
  server.Get("/compare", [&app](const httplib::Request& req, httplib::Response& res) {
    CompareRoute(app, req, res);
  });
}

}  // namespace migprof::web
