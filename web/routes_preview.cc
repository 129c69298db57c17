// The preview page shown before every change: the route's own member call
// runs on a snapshot, and the plan table shows what it would do.
#include <set>

#include "migprof/insight.h"
#include "web/preview.h"

namespace migprof::web {
namespace {

using Json = nlohmann::ordered_json;

// Fields of a request that are not part of the change itself.
bool IsControlField(const std::string& name) {
  return name == "csrf" || name == "apply" || name == "plan_page" || name == "confirm";
}

std::string ValueText(const Json& value) {
  if (value.is_null()) return "NULL";
  if (value.is_string()) return value.get<std::string>();
  if (value.is_object() && value.contains("binary")) {
    return "0x" + value["binary"].get<std::string>();
  }
  return value.dump();
}

Data CellData(const Json& value) {
  Data cell;
  cell.set("value", ValueText(value));
  cell.set("null", Flag(value.is_null()));
  return cell;
}

// One row of the plan: a whole row added or removed, or a changed row with
// its changed cells holding the old value too.
Data RowData(const char* kind, const Json& row, const Json* old_row,
             const std::set<std::string>& changed) {
  Data r;
  r.set("kind", kind);
  r.set("is_added", Flag(std::string(kind) == "added"));
  r.set("is_removed", Flag(std::string(kind) == "removed"));
  r.set("is_changed", Flag(old_row != nullptr));
  List cells;
  for (const auto& [column, value] : row.items()) {
    Data cell = CellData(value);
    const bool differs = old_row != nullptr && changed.count(column) > 0;
    cell.set("differs", Flag(differs));
    if (differs) cell.set("old", ValueText((*old_row)[column]));
    cells.push_back(cell);
  }
  r.set("cells", cells);
  return r;
}

}  // namespace

bool ApplyRequested(const httplib::Request& req) { return Param(req, "apply") == "yes"; }

Data PlanData(const Json& changes, long page) {
  const long long offset = (page - 1) * kPlanRows;
  List summary, tables;
  long long totals[3] = {};
  bool more = false;
  for (const auto& [name, diff] : changes.items()) {
    const Json& added = diff["added"];
    const Json& changed = diff["changed"];
    const Json& removed = diff["removed"];
    const long long counts[3] = {static_cast<long long>(added.size()),
                                 static_cast<long long>(changed.size()),
                                 static_cast<long long>(removed.size())};
    const long long total = counts[0] + counts[1] + counts[2];
    Data s;
    s.set("table", name);
    s.set("added", std::to_string(counts[0]));
    s.set("changed", std::to_string(counts[1]));
    s.set("removed", std::to_string(counts[2]));
    summary.push_back(s);
    for (int i = 0; i < 3; ++i) totals[i] += counts[i];

    const Json& first = counts[0] ? added[0] : counts[1] ? changed[0]["new"] : removed[0];
    List columns;
    for (const auto& [column, value] : first.items()) columns.push_back(Data(column));
    List rows;
    const long long end = std::min(total, offset + kPlanRows);
    for (long long i = offset; i < end; ++i) {
      if (i < counts[0]) {
        rows.push_back(RowData("added", added[i], nullptr, {}));
      } else if (i < counts[0] + counts[1]) {
        const Json& change = changed[i - counts[0]];
        std::set<std::string> names;
        for (const Json& column : change["columns"]) names.insert(column.get<std::string>());
        rows.push_back(RowData("changed", change["new"], &change["old"], names));
      } else {
        rows.push_back(RowData("removed", removed[i - counts[0] - counts[1]], nullptr, {}));
      }
    }
    more = more || total > end;
    Data t;
    t.set("table", name);
    t.set("columns", columns);
    t.set("rows", rows);
    t.set("has_rows", Flag(!rows.empty()));
    t.set("total", std::to_string(total));
    t.set("one_row", Flag(total == 1));
    t.set("from", std::to_string(offset + 1));
    t.set("to", std::to_string(end));
    t.set("partial", Flag(total > kPlanRows));
    tables.push_back(t);
  }
  Data data;
  data.set("summary", summary);
  data.set("tables", tables);
  data.set("has_changes", Flag(!changes.empty()));
  data.set("added_total", std::to_string(totals[0]));
  data.set("changed_total", std::to_string(totals[1]));
  data.set("removed_total", std::to_string(totals[2]));
  data.set("plan_page", std::to_string(page));
  data.set("plan_rows", std::to_string(kPlanRows));
  data.set("has_prev_rows", Flag(page > 1));
  data.set("has_next_rows", Flag(more));
  data.set("plan_paged", Flag(page > 1 || more));
  data.set("prev_page", std::to_string(page - 1));
  data.set("next_page", std::to_string(page + 1));
  return data;
}

PreviewResult RunPreview(WebApp& app, const std::vector<Integer>& profiles,
                         const MemberCall& call) {
  const DbSettings& settings = app.db.settings();
  Outcome outcome;
  Json plan =
      insight::Preview(insight::DataSource{settings.database, settings.user, settings.password},
                       profiles, [&](const insight::DataSource& snapshot) {
                         HandleSlot slot;
                         slot.settings.database = snapshot.name;
                         slot.settings.user = snapshot.user;
                         slot.settings.password = snapshot.password;
                         outcome = CallMember(slot, call);
                         return Json{{"ok", outcome.ok}};
                       });
  return PreviewResult{outcome, std::move(plan["changes"])};
}

void SendPreview(WebApp& app, const SessionRecord& session, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change, const PreviewResult& result) {
  const Outcome& outcome = result.outcome;
  long page = 1;
  if (std::string text = Param(req, "plan_page");
      !text.empty() && text.size() < 7 &&
      text.find_first_not_of("0123456789") == std::string::npos) {
    page = std::max(1L, std::stol(text));
  }
  Data data = PlanData(result.changes, page);
  data.set("title", change.title);
  data.set("ok", Flag(outcome.ok));
  data.set("outcome", OutcomeData(outcome));
  data.set("action_url", change.action_url);
  data.set("apply_label", change.apply_label);
  data.set("cancel_url", change.cancel_url);
  data.set("destructive", Flag(change.destructive));
  data.set("confirm_number", change.confirm_number);
  data.set("has_confirm", Flag(!change.confirm_number.empty()));
  data.set("problem", change.problem);
  data.set("has_problem", Flag(!change.problem.empty()));
  data.set("page_url", req.path);
  data.set("post", Flag(req.method == "POST"));
  data.set("method", req.method == "POST" ? "post" : "get");
  List fields;
  for (const auto& [name, value] : req.params) {
    if (IsControlField(name)) continue;
    Data field;
    field.set("name", name);
    field.set("value", value);
    fields.push_back(field);
  }
  data.set("fields", fields);
  SendHtml(res, RenderPage(Frame(app, session, change.title, change.crumbs), "preview", data),
           outcome.ok ? 200 : 422);
}

}  // namespace migprof::web
