// The preview page shown before every change: the route's own member call
// runs on a snapshot, and the plan table shows what it would do.
#include <algorithm>
#include <set>

#include "migprof/insight.h"
#include "web/pages/labels.h"
#include "web/pages/preview.h"

namespace migprof::web {
namespace {

// Fields of a request that are not part of the change itself.
bool IsControlField(const std::string& name) {
  return name == "csrf" || name == "apply" || name == "plan_page" || name == "confirm";
}

Data CellData(const std::string& table, const std::string& column, const Variant& value) {
  Data cell;
  cell.set("value", ValueText(table, column, value));
  cell.set("null", Flag(value.IsNull() || value.IsEmpty()));
  return cell;
}

// One row of the plan: a whole row added or removed, or a changed row with
// its changed cells holding the old value too.
Data RowData(const std::string& table, const char* kind, const std::vector<String>& columns,
             const insight::Values& row, const insight::Values* old_row,
             const std::set<std::string>& changed) {
  Data r;
  r.set("kind", kind);
  r.set("is_added", Flag(std::string(kind) == "added"));
  r.set("is_removed", Flag(std::string(kind) == "removed"));
  r.set("is_changed", Flag(old_row != nullptr));
  List cells;
  for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
    Data cell = CellData(table, columns[i], row[i]);
    const bool differs = old_row != nullptr && changed.count(columns[i]) > 0;
    cell.set("differs", Flag(differs));
    if (differs) cell.set("old", ValueText(table, columns[i], (*old_row)[i]));
    cells.push_back(cell);
  }
  r.set("cells", cells);
  return r;
}

}  // namespace

bool ApplyRequested(const httplib::Request& req) {
  return req.method == "POST" && Param(req, "apply") == "yes";
}

bool RedirectToPreview(const httplib::Request& req, httplib::Response& res,
                       const std::string& preview_url) {
  if (req.method != "POST" || ApplyRequested(req)) return false;
  res.status = 303;
  res.set_header("Location", preview_url + "?" + ChangeQuery(req));
  return true;
}

std::string ChangedVrcs(const std::vector<insight::TableChanges>& changes) {
  std::vector<std::string> seen;
  auto add = [&seen](const std::vector<String>& columns, const insight::Values& row) {
    std::string parts[3];
    bool found[3] = {};
    static const char* kNames[3] = {"vers", "rele", "cust"};
    for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
      for (int k = 0; k < 3; ++k) {
        if (columns[i] == kNames[k]) {
          parts[k] = CellText(row[i]);
          found[k] = true;
        }
      }
    }
    if (!found[0] || !found[1] || !found[2]) return;
    const std::string vrc = parts[0] + "_" + parts[1] + "_" + parts[2];
    if (std::find(seen.begin(), seen.end(), vrc) == seen.end()) seen.push_back(vrc);
  };
  for (const insight::TableChanges& diff : changes) {
    if (diff.table == "qzmap100" || diff.table == "qzmap101" || diff.table == "qzmap105") continue;
    for (const insight::Values& row : diff.added) add(diff.columns, row);
    for (const insight::RowChange& row : diff.changed) add(diff.columns, row.after);
    for (const insight::Values& row : diff.removed) add(diff.columns, row);
  }
  std::string out;
  for (const std::string& vrc : seen) out += (out.empty() ? "" : ", ") + vrc;
  return out;
}

Data PlanData(const std::vector<insight::TableChanges>& changes, long page) {
  const long long offset = (page - 1) * kPlanRows;
  List summary, tables;
  long long totals[3] = {};
  bool more = false;
  for (const insight::TableChanges& diff : changes) {
    const std::string& name = diff.table;
    const auto& added = diff.added;
    const auto& changed = diff.changed;
    const auto& removed = diff.removed;
    const long long counts[3] = {static_cast<long long>(added.size()),
                                 static_cast<long long>(changed.size()),
                                 static_cast<long long>(removed.size())};
    const long long total = counts[0] + counts[1] + counts[2];
    Data s;
    s.set("table", name);
    s.set("label", TableLabel(name));
    s.set("added", std::to_string(counts[0]));
    s.set("changed", std::to_string(counts[1]));
    s.set("removed", std::to_string(counts[2]));
    summary.push_back(s);
    for (int i = 0; i < 3; ++i) totals[i] += counts[i];

    List columns;
    for (const String& column : diff.columns) {
      Data c;
      c.set("label", ColumnLabel(name, column));
      c.set("name", column);
      columns.push_back(c);
    }
    List rows;
    const long long end = std::min(total, offset + kPlanRows);
    for (long long i = offset; i < end; ++i) {
      if (i < counts[0]) {
        rows.push_back(RowData(name, "added", diff.columns, added[i], nullptr, {}));
      } else if (i < counts[0] + counts[1]) {
        const insight::RowChange& change = changed[i - counts[0]];
        const std::set<std::string> names(change.columns.begin(), change.columns.end());
        rows.push_back(RowData(name, "changed", diff.columns, change.after, &change.before, names));
      } else {
        rows.push_back(RowData(name, "removed", diff.columns, removed[i - counts[0] - counts[1]],
                               nullptr, {}));
      }
    }
    more = more || total > end;
    Data t;
    t.set("table", name);
    t.set("label", TableLabel(name));
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

void ShowPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change, const app::Change& what) {
  if (RedirectToPreview(req, res,
                        change.preview_url.empty() ? change.action_url : change.preview_url)) {
    return;
  }
  app::PreviewResult result;
  try {
    result = app::Preview(app.core, signed_in.principal, what);
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  SendPreview(app, signed_in, req, res, change, result);
}

void SendPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change,
                 const app::PreviewResult& result) {
  if (RedirectToPreview(req, res,
                        change.preview_url.empty() ? change.action_url : change.preview_url)) {
    return;
  }
  const MemberOutcome& outcome = result.outcome;
  long page = 1;
  if (std::string text = Param(req, "plan_page");
      !text.empty() && text.size() < 7 &&
      text.find_first_not_of("0123456789") == std::string::npos) {
    page = std::max(1L, std::stol(text));
  }
  Data data = PlanData(result.changes, page);
  data.set("title", change.title);
  const bool changes = !result.changes.empty();
  data.set("ok", Flag(outcome.Succeeded()));
  data.set("may_apply", Flag(outcome.Succeeded() && changes));
  data.set("nothing", Flag(outcome.Succeeded() && !changes));
  data.set("acts_on", change.acts_on);
  data.set("has_acts_on", Flag(!change.acts_on.empty()));
  const std::string touched = ChangedVrcs(result.changes);
  data.set("touched_vrcs", touched);
  data.set("has_touched_vrcs", Flag(!touched.empty()));
  List notices;
  for (const std::string& notice : change.notices) notices.push_back(Data(notice));
  data.set("notices", notices);
  data.set("has_notices", Flag(!change.notices.empty()));
  data.set("alternative_url", change.alternative_url);
  data.set("alternative_label", change.alternative_label);
  data.set("has_alternative", Flag(!change.alternative_url.empty()));
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
  List fields;
  for (const auto& [name, value] : req.params) {
    if (IsControlField(name)) continue;
    Data field;
    field.set("name", name);
    field.set("value", value);
    fields.push_back(field);
  }
  data.set("fields", fields);
  SendHtml(res, RenderPage(Frame(app, signed_in, change.title, change.crumbs), "preview", data),
           200);  // a GET page; a console error is for failures of the page itself
}

}  // namespace migprof::web
