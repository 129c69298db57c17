// Revision control of library functions and table rules: an item's page
// (check out, edit while checked out, check in, undo the check-out), its
// history with the differences between any two revisions, restoring an older
// revision, and the check-outs overview with undoing or taking over another
// user's check-out behind a confirmation page. Every change is made by the
// configuration-management component's RevisionControl, acting as the
// signed-in user.
#include <algorithm>
#include <map>

#include "app/revisions.h"
#include "migprof/com_error.h"
#include "web/pages/pages.h"
#include "web/pages/revision_view.h"
#include "web/pages/sanitize.h"

namespace migprof::web {
namespace {

using configmgt::CheckOutRecord;
using configmgt::Item;
using configmgt::ItemKind;

using Values = std::vector<std::pair<String, String>>;

configmgt::Vrc ItemVrc(const Vrc& vrc) { return {vrc.vers, vrc.rele, vrc.cust}; }
Vrc PageVrc(const configmgt::Vrc& vrc) { return {vrc.vers, vrc.rele, vrc.cust}; }

// The table of a rule item (ParseItem has made sure of six characters).
TableKey RuleKey(const Item& item) {
  return {item.name.substr(0, 2), item.name.substr(2, 3), item.name.substr(5)};
}

std::string ItemUrl(const Item& item) {
  return ProfileUrl(item.mprf) + "/revisions" + ItemQuery(item);
}
std::string HistoryUrl(const Item& item) {
  return ProfileUrl(item.mprf) + "/revisions/history" + ItemQuery(item);
}

// "function conv_date" / "table rule orsls400", for flash messages.
std::string ItemWords(const Item& item) {
  return (item.kind == ItemKind::kFunction ? "function " : "table rule ") + item.name;
}

String DateText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.type() == Variant::Type::kDate) return value.AsDate().ToString();
  return value.ToString();
}

// The component's answer to a change it did not make, as the alert shown in
// place: a refusal's message, or a database failure with its number.
std::string FailureHtml() {
  Data data;
  try {
    throw;
  } catch (const Forbidden& refusal) {
    data.set("message", EscapeHtml(refusal.what()));
    data.set("has_number", Flag(false));
  } catch (const configmgt::Refusal& refusal) {
    data.set("message", SanitizeMessage(refusal.what()));
    data.set("has_number", Flag(false));
  } catch (...) {
    ComError error = CurrentFailure();
    data.set("message", SanitizeMessage(error.description()));
    data.set("has_number", Flag(true));
    data.set("number", std::to_string(error.number()));
  }
  return RenderTemplate("revision_alert", data);
}

// A page-level refusal (no component call was made), in the same alert.
std::string NoticeHtml(const std::string& text) {
  Data data;
  data.set("message", EscapeHtml(text));
  data.set("has_number", Flag(false));
  return RenderTemplate("revision_alert", data);
}

Data ItemData(const Item& item) {
  Data data;
  data.set("mprf", std::to_string(item.mprf));
  data.set("vrc", item.vrc.Text());
  data.set("vers", item.vrc.vers);
  data.set("rele", item.vrc.rele);
  data.set("cust", item.vrc.cust);
  data.set("kind", KindWord(item.kind));
  data.set("name", item.name);
  data.set("is_function", Flag(item.kind == ItemKind::kFunction));
  data.set("is_rule", Flag(item.kind == ItemKind::kRule));
  data.set("label", item.kind == ItemKind::kFunction ? "Function" : "Table rule");
  data.set("label_lower", item.kind == ItemKind::kFunction ? "function" : "table rule");
  data.set("item_url", ItemUrl(item));
  data.set("post_url", ProfileUrl(item.mprf) + "/revisions");
  data.set("history_url", HistoryUrl(item));
  data.set("history_path", ProfileUrl(item.mprf) + "/revisions/history");
  data.set("restore_path", ProfileUrl(item.mprf) + "/revisions/restore");
  return data;
}

std::vector<Crumb> ItemCrumbs(const ProfileSummary& profile, const Item& item, bool current) {
  const std::string label = std::to_string(profile.mprf) + " " + profile.description;
  const Vrc vrc = PageVrc(item.vrc);
  const bool function = item.kind == ItemKind::kFunction;
  std::vector<Crumb> crumbs = {
      {"Profiles", "/profiles"},
      {label, ProfileUrl(profile.mprf)},
      {"VRC " + vrc.Text(), ""},
      {function ? "Function library" : "Rules",
       ProfileUrl(profile.mprf) + (function ? "/functions" : "/rules") + VrcQuery(vrc)}};
  crumbs.push_back({item.name, current ? "" : ItemUrl(item)});
  return crumbs;
}

// The changes as the diff partial shows them: one block per changed row,
// each changed column with its old and new value, multi-line values as
// coloured lines.
std::string DiffHtml(const std::vector<configmgt::Change>& changes) {
  List rows;
  for (std::size_t i = 0; i < changes.size();) {
    const configmgt::Change& first = changes[i];
    Data row;
    row.set("label", RowLabel(first));
    row.set("added", Flag(first.added));
    row.set("removed", Flag(first.removed));
    List columns;
    for (; i < changes.size() && changes[i].table == first.table && changes[i].row == first.row;
         ++i) {
      const configmgt::Change& change = changes[i];
      Data column;
      column.set("column", change.column);
      column.set("before", change.before.value_or(""));
      column.set("after", change.after.value_or(""));
      column.set("before_null", Flag(!change.before));
      column.set("after_null", Flag(!change.after));
      column.set("has_lines", Flag(!change.lines.empty()));
      List lines;
      for (const String& line : change.lines) {
        Data l;
        const char sign = line.empty() ? ' ' : line[0];
        l.set("sign", std::string(1, sign == ' ' ? ' ' : sign));
        l.set("text", line.size() > 2 ? line.substr(2) : "");
        l.set("added", Flag(sign == '+'));
        l.set("removed", Flag(sign == '-'));
        lines.push_back(l);
      }
      column.set("lines", lines);
      columns.push_back(column);
    }
    row.set("columns", columns);
    rows.push_back(row);
  }
  Data data;
  data.set("rows", rows);
  data.set("empty", Flag(changes.empty()));
  return RenderTemplate("revision_diff", data);
}

// What the item page needs beyond the database: a failure to show in place,
// and what the user typed into the form that failed.
struct Attempt {
  std::string problem_html;
  std::string form;  // "edit", "field" or "checkin"
  std::map<std::string, std::string> typed;
};

// A function's columns; false after answering 404 when it does not exist.
bool AddFunctionData(WebApp& app, httplib::Response& res, const Item& item, const Attempt& attempt,
                     Data& data) {
  std::optional<FunctionDetail> function =
      FindFunction(app.db(), item.mprf, PageVrc(item.vrc), item.name);
  if (!function) {
    SendProblem(res, 404, "No such function", "This VRC of the profile has no such function.");
    return false;
  }
  auto typed = [&](const std::string& field, const std::string& stored) {
    auto found = attempt.typed.find(field);
    return attempt.form == "edit" && found != attempt.typed.end() ? found->second : stored;
  };
  data.set("description", typed("description", function->description));
  data.set("definition", typed("definition", function->definition));
  data.set("comment", typed("comment", function->comment));
  data.set("status", function->status);
  data.set("last_user", function->last_user);
  data.set("last_date", function->last_date);
  return true;
}

// A table rule's summary, a page of its field rules and the edit form of
// the chosen field; false after answering 404 when the rule does not exist.
bool AddRuleData(WebApp& app, const httplib::Request& req, httplib::Response& res, const Item& item,
                 const Attempt& attempt, Data& data) {
  const Vrc vrc = PageVrc(item.vrc);
  const TableKey key = RuleKey(item);
  std::optional<TableRuleSummary> rule = FindTableRule(app.db(), item.mprf, vrc, key);
  if (!rule) {
    SendProblem(res, 404, "No such table rule", "This VRC holds no rule for that table.");
    return false;
  }
  data.set("status", rule->status);
  data.set("last_user", rule->last_user);
  data.set("rule_comment", rule->comment);
  data.set("has_rule_comment", Flag(!rule->comment.empty()));
  data.set("field_count", std::to_string(rule->fields));
  const long page = PageNumber(req);
  const std::string field =
      attempt.form == "field" ? attempt.typed.at("field") : Param(req, "field");
  List fields;
  for (const Row& row :
       FieldRules(app.db(), item.mprf, vrc, key, (page - 1) * kPageSize, kPageSize)) {
    Data f;
    List cells;
    for (const String& cell : row) cells.push_back(Data(cell));
    f.set("cells", cells);
    f.set("fdnm", row[0]);
    f.set("edit_url", ItemUrl(item) + "&field=" + UrlEncode(row[0]) + "#field-form");
    f.set("selected", Flag(row[0] == field));
    fields.push_back(f);
  }
  data.set("fields", fields);
  SetPaging(data, ItemUrl(item), page, rule->fields);
  std::optional<Values> values;
  if (!field.empty()) values = FieldRuleValues(app.db(), item.mprf, vrc, key, field);
  data.set("has_field", Flag(values.has_value()));
  if (!values) return true;
  static const std::map<std::string, std::string> kLabels = {
      {"mrul", "Rule"}, {"type", "Type"}, {"stat", "Status"}, {"txtn", "Text"}};
  data.set("field", field);
  List inputs;
  for (const auto& [column, value] : *values) {
    Data input;
    input.set("column", column);
    auto label = kLabels.find(column);
    input.set("label", label == kLabels.end() ? column : label->second);
    auto found = attempt.typed.find(column);
    input.set("value",
              attempt.form == "field" && found != attempt.typed.end() ? found->second : value);
    inputs.push_back(input);
  }
  data.set("field_values", inputs);
  return true;
}

void ShowItem(WebApp& app, const httplib::Request& req, httplib::Response& res,
              const SignedIn& session, const ProfileSummary& profile, const Item& item,
              const Attempt& failed, int status) {
  Data data = ItemData(item);
  std::optional<CheckOutRecord> held = app::FindCheckOut(app.core, item);
  const bool mine = held && held->holder == session.principal.name;
  // What the user typed goes back only into a form they can still send.
  // Once the item is no longer checked out to them (another account took it
  // over, say) the page is read-only and shows what is stored, not the text
  // that was refused.
  const Attempt attempt = mine ? failed : Attempt{failed.problem_html, "", {}};
  const bool found = item.kind == ItemKind::kFunction
                         ? AddFunctionData(app, res, item, attempt, data)
                         : AddRuleData(app, req, res, item, attempt, data);
  if (!found) return;
  const Vrc vrc = PageVrc(item.vrc);
  SetRights(data, RightsOn(app, session.principal, item.mprf));
  data.set("checked_out", Flag(held.has_value()));
  data.set("mine", Flag(mine));
  data.set("other", Flag(held && !mine));
  data.set("free", Flag(!held));
  if (held) {
    data.set("holder", held->holder.empty() ? "an unknown user" : held->holder);
    data.set("since", DateText(held->since));
    data.set("age", AgeText(DateText(held->since), DateTime::Now()));
    data.set("since_known", Flag(!DateText(held->since).empty()));
    data.set("undo_url", "/checkouts/confirm" + ItemQuery(item) +
                             "&mprf=" + std::to_string(item.mprf) + "&action=undo");
    data.set("takeover_url", "/checkouts/confirm" + ItemQuery(item) +
                                 "&mprf=" + std::to_string(item.mprf) + "&action=takeover");
  }
  std::vector<configmgt::Revision> revisions = app::History(app.core, session.principal, item);
  data.set("revision_count", std::to_string(revisions.size()));
  data.set("has_revisions", Flag(!revisions.empty()));
  if (!revisions.empty()) {
    const configmgt::Revision& last = revisions.back();
    data.set("last_revision", std::to_string(last.number));
    data.set("last_revision_user", last.user);
    data.set("last_revision_date", DateText(last.date));
  }
  data.set("next_revision", std::to_string(revisions.empty() ? 1 : revisions.back().number + 1));
  std::optional<Vrc> development = DevelopmentVrc(app.db(), item.mprf);
  data.set("development", Flag(development && *development == vrc));
  data.set("under_control", Flag(development.has_value()));
  if (development) {
    data.set("development_vrc", development->Text());
    Item there = item;
    there.vrc = ItemVrc(*development);
    data.set("development_url", ItemUrl(there));
  }
  data.set("problem", attempt.problem_html);
  data.set("has_problem", Flag(!attempt.problem_html.empty()));
  data.set("checkin_comment", attempt.form == "checkin" && attempt.typed.count("comment")
                                  ? attempt.typed.at("comment")
                                  : "");
  const std::string title =
      (item.kind == ItemKind::kFunction ? "Function " : "Table rule ") + item.name;
  SendHtml(res,
           RenderPage(Frame(app, session, title, ItemCrumbs(profile, item, true)), "revision_item",
                      data),
           status);
}

// The item the request names in the path's profile; nullopt after answering
// 400. The VRC defaults to the profile's development VRC, else its own.
std::optional<Item> RequestItem(WebApp& app, const httplib::Request& req, httplib::Response& res,
                                const ProfileSummary& profile) {
  const Vrc fallback = DevelopmentVrc(app.db(), profile.mprf).value_or(profile.vrc);
  std::optional<Item> item = ParseItem(profile.mprf, ItemVrc(RequestVrc(req, fallback)),
                                       Param(req, "kind"), Param(req, "name"));
  if (!item) {
    SendProblem(res, 400, "No such item",
                "Name a function (kind=function) or a table rule (kind=rule, with a table code "
                "of package, module and table number).");
  }
  return item;
}

void ItemRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  std::optional<Item> item = RequestItem(app, req, res, *profile);
  if (!item) return;
  ShowItem(app, req, res, *session, *profile, *item, Attempt{}, 200);
}

void ItemActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  std::optional<Item> item = RequestItem(app, req, res, *profile);
  if (!item) return;
  const std::string action = Param(req, "action");
  Attempt attempt;
  std::string done;
  const Principal& who = session->principal;
  try {
    if (action == "checkout") {
      app::CheckOut(app.core, who, *item, /*force=*/false);
      done = "Checked out " + ItemWords(*item) + " to you";
    } else if (action == "checkin") {
      attempt.form = "checkin";
      attempt.typed["comment"] = Param(req, "comment");
      if (attempt.typed["comment"].empty()) {
        attempt.problem_html = NoticeHtml("Say what changed: a check-in needs a comment.");
        ShowItem(app, req, res, *session, *profile, *item, attempt, 422);
        return;
      }
      Long number = app::CheckIn(app.core, who, *item, attempt.typed["comment"]);
      done = "Checked in " + ItemWords(*item) + " as revision " + std::to_string(number);
    } else if (action == "undo") {
      app::UndoCheckOut(app.core, who, *item, /*force=*/false);
      done = "Check-out of " + ItemWords(*item) + " undone: it is as it was before";
    } else if (action == "edit" && item->kind == ItemKind::kFunction) {
      attempt.form = "edit";
      for (const char* field : {"definition", "description", "comment"}) {
        attempt.typed[field] = UnixLines(Param(req, field));
      }
      app::EditFunction(
          app.core, who, *item,
          {attempt.typed["definition"], attempt.typed["description"], attempt.typed["comment"]});
      done = "Saved " + ItemWords(*item) + "; it stays checked out to you until you check it in";
    } else if (action == "field" && item->kind == ItemKind::kRule) {
      attempt.form = "field";
      const std::string field = Param(req, "field");
      attempt.typed["field"] = field;
      Values submitted;
      for (const char* column : app::kFieldRuleColumns) {
        attempt.typed[column] = UnixLines(Param(req, column));
        submitted.emplace_back(column, attempt.typed[column]);
      }
      std::optional<Values> current =
          FieldRuleValues(app.db(), item->mprf, PageVrc(item->vrc), RuleKey(*item), field);
      // Only the columns that changed are written, so a number column left
      // as it was is never rewritten from its text.
      Values changed = current ? ChangedValues(*current, submitted) : submitted;
      if (current && changed.empty()) {
        RedirectWithFlash(app, *session, res, ItemUrl(*item),
                          "Nothing changed in field rule " + field);
        return;
      }
      app::EditRule(app.core, who, *item, field, changed);
      done = "Saved field rule " + field + " of " + item->name +
             "; the table rule stays checked out to you until you check it in";
    } else {
      SendProblem(res, 400, "Unknown action",
                  "The form asked for an action this page does not know.");
      return;
    }
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  } catch (...) {
    attempt.problem_html = FailureHtml();
    ShowItem(app, req, res, *session, *profile, *item, attempt, 422);
    return;
  }
  RedirectWithFlash(app, *session, res, ItemUrl(*item), done);
}

std::optional<Long> RevisionParam(const httplib::Request& req, const std::string& name) {
  const std::string text = Param(req, name);
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const long number = std::stol(text);
  if (number < 1) return std::nullopt;
  return static_cast<Long>(number);
}

void HistoryRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  std::optional<Item> item = RequestItem(app, req, res, *profile);
  if (!item) return;
  std::vector<configmgt::Revision> revisions = app::History(app.core, session->principal, *item);
  // Without a choice: the last two revisions, or the only one against the
  // rows now. "to" missing or "now" compares with the rows now.
  std::optional<Long> from = RevisionParam(req, "from");
  std::optional<Long> to = RevisionParam(req, "to");
  if (!from && revisions.size() >= 2) {
    from = revisions[revisions.size() - 2].number;
    to = revisions.back().number;
  } else if (!from && revisions.size() == 1) {
    from = revisions.back().number;
  }
  const bool to_now = from && !to;
  Data data = ItemData(*item);
  List rows;
  for (auto it = revisions.rbegin(); it != revisions.rend(); ++it) {
    Data r;
    r.set("number", std::to_string(it->number));
    r.set("user", it->user);
    r.set("date", DateText(it->date));
    r.set("action", it->action);
    r.set("comment", it->comment);
    r.set("is_from", Flag(from && *from == it->number));
    r.set("is_to", Flag(!to_now && to && *to == it->number));
    r.set("latest", Flag(it == revisions.rbegin()));
    r.set("restore_url", ProfileUrl(item->mprf) + "/revisions/restore" + ItemQuery(*item) +
                             "&revision=" + std::to_string(it->number));
    rows.push_back(r);
  }
  data.set("revisions", rows);
  data.set("has_revisions", Flag(!revisions.empty()));
  data.set("to_now", Flag(to_now));
  data.set("has_diff", Flag(from.has_value()));
  if (from) {
    data.set("from", std::to_string(*from));
    data.set("to", to ? "revision " + std::to_string(*to) : std::string("the rows now"));
    try {
      data.set("diff", DiffHtml(app::Diff(app.core, session->principal, *item, *from, to)));
    } catch (const configmgt::Refusal&) {
      data.set("diff", FailureHtml());
    }
  }
  std::vector<Crumb> crumbs = ItemCrumbs(*profile, *item, false);
  crumbs.push_back({"History", ""});
  SendHtml(res, RenderPage(Frame(app, *session, "History of " + item->name, crumbs),
                           "revision_history", data));
}

void ShowRestore(WebApp& app, const httplib::Request& req, httplib::Response& res,
                 const SignedIn& session, const ProfileSummary& profile, const Item& item,
                 const std::string& problem_html, int status) {
  std::optional<Long> number = RevisionParam(req, "revision");
  Data data = ItemData(item);
  SetRights(data, RightsOn(app, session.principal, item.mprf));
  std::vector<configmgt::Revision> revisions = app::History(app.core, session.principal, item);
  auto chosen = std::find_if(revisions.begin(), revisions.end(),
                             [&](const auto& r) { return number && r.number == *number; });
  if (chosen == revisions.end()) {
    SendProblem(res, 404, "No such revision", "The item has no revision with this number.");
    return;
  }
  data.set("revision", std::to_string(chosen->number));
  data.set("revision_user", chosen->user);
  data.set("revision_date", DateText(chosen->date));
  data.set("revision_comment", chosen->comment);
  data.set("has_revision_comment", Flag(!chosen->comment.empty()));
  data.set("next", std::to_string(revisions.back().number + 1));
  data.set("diff", DiffHtml(Reversed(app::Diff(app.core, session.principal, item, chosen->number,
                                               std::nullopt))));
  std::optional<CheckOutRecord> held = app::FindCheckOut(app.core, item);
  data.set("checked_out", Flag(held.has_value()));
  if (held) data.set("holder", held->holder);
  data.set("comment", Param(req, "comment"));
  data.set("problem", problem_html);
  data.set("has_problem", Flag(!problem_html.empty()));
  std::vector<Crumb> crumbs = ItemCrumbs(profile, item, false);
  crumbs.push_back({"History", HistoryUrl(item)});
  crumbs.push_back({"Restore revision " + std::to_string(chosen->number), ""});
  SendHtml(
      res,
      RenderPage(Frame(app, session, "Restore " + item.name, crumbs), "revision_restore", data),
      status);
}

void RestoreFormRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  std::optional<Item> item = RequestItem(app, req, res, *profile);
  if (!item) return;
  ShowRestore(app, req, res, *session, *profile, *item, "", 200);
}

void RestoreRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  std::optional<Item> item = RequestItem(app, req, res, *profile);
  if (!item) return;
  std::optional<Long> number = RevisionParam(req, "revision");
  if (!number) {
    SendProblem(res, 400, "No revision", "Choose the revision to restore.");
    return;
  }
  Long made = 0;
  try {
    made = app::Restore(app.core, session->principal, *item, *number, Param(req, "comment"));
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  } catch (...) {
    ShowRestore(app, req, res, *session, *profile, *item, FailureHtml(), 422);
    return;
  }
  RedirectWithFlash(app, *session, res, HistoryUrl(*item),
                    "Revision " + std::to_string(*number) + " of " + ItemWords(*item) +
                        " restored as revision " + std::to_string(made));
}

void CheckoutsRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  std::vector<CheckOutRecord> open = app::CheckOuts(app.core, session->principal, std::nullopt);
  const long page = PageNumber(req);
  const std::size_t first = std::min(open.size(), static_cast<std::size_t>((page - 1) * kPageSize));
  const std::size_t last = std::min(open.size(), first + kPageSize);
  const DateTime now = DateTime::Now();
  List rows;
  for (std::size_t i = first; i < last; ++i) {
    const CheckOutRecord& held = open[i];
    const bool mine = held.holder == session->principal.name;
    Data d = ItemData(held.item);
    d.set("kind_label", held.item.kind == ItemKind::kFunction ? "Function" : "Rule");
    d.set("profile_url", ProfileUrl(held.item.mprf));
    d.set("holder", held.holder.empty() ? "unknown" : held.holder);
    d.set("mine", Flag(mine));
    d.set("since", DateText(held.since));
    d.set("since_known", Flag(!DateText(held.since).empty()));
    d.set("age", AgeText(DateText(held.since), now));
    d.set("confirm_url",
          "/checkouts/confirm" + ItemQuery(held.item) + "&mprf=" + std::to_string(held.item.mprf));
    rows.push_back(d);
  }
  Data data;
  data.set("checkouts", rows);
  data.set("has_checkouts", Flag(!open.empty()));
  data.set("total", std::to_string(open.size()));
  SetPaging(data, "/checkouts?", page, static_cast<long long>(open.size()));
  SendHtml(res,
           RenderPage(Frame(app, *session, "Check-outs", {{"Check-outs", ""}}), "checkouts", data));
}

// The item a check-outs form or link names by its mprf parameter.
std::optional<Item> CheckoutItem(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<Integer> mprf = ParseProfileNumber(Param(req, "mprf"));
  std::optional<Item> item;
  if (mprf && FindProfile(app.db(), *mprf)) {
    item =
        ParseItem(*mprf, ItemVrc(RequestVrc(req, Vrc{})), Param(req, "kind"), Param(req, "name"));
  }
  if (!item) SendProblem(res, 404, "No such check-out", "The link names no function or rule.");
  return item;
}

void ShowCheckoutConfirm(WebApp& app, const httplib::Request& req, httplib::Response& res,
                         const SignedIn& session, const Item& item, const std::string& problem_html,
                         int status) {
  std::optional<CheckOutRecord> held = app::FindCheckOut(app.core, item);
  if (!held) {
    RedirectWithFlash(app, session, res, "/checkouts",
                      "The " + ItemWords(item) + " of profile " + std::to_string(item.mprf) +
                          " is no longer checked out");
    return;
  }
  const bool takeover = Param(req, "action") == "takeover";
  Data data = ItemData(item);
  data.set("takeover", Flag(takeover));
  data.set("action", takeover ? "takeover" : "undo");
  data.set("holder", held->holder.empty() ? "an unknown user" : held->holder);
  data.set("mine", Flag(held->holder == session.principal.name));
  SetRights(data, RightsOn(app, session.principal, item.mprf));
  data.set("since", DateText(held->since));
  data.set("age", AgeText(DateText(held->since), DateTime::Now()));
  data.set("since_known", Flag(!DateText(held->since).empty()));
  data.set("recorded", Flag(held->recorded));
  if (held->recorded) {
    // What the holder changed since the check-out: undoing throws it away,
    // taking over keeps it.
    data.set("diff", DiffHtml(app::ChangesSinceCheckOut(app.core, *held)));
  }
  data.set("problem", problem_html);
  data.set("has_problem", Flag(!problem_html.empty()));
  SendHtml(res,
           RenderPage(Frame(app, session, takeover ? "Take over a check-out" : "Undo a check-out",
                            {{"Check-outs", "/checkouts"},
                             {(takeover ? "Take over " : "Undo ") + item.name, ""}}),
                      "checkout_confirm", data),
           status);
}

void CheckoutConfirmRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  std::optional<Item> item = CheckoutItem(app, req, res);
  if (!item) return;
  ShowCheckoutConfirm(app, req, res, *session, *item, "", 200);
}

// Undoing one's own check-out from the overview, and undoing or taking over
// another user's from the confirmation page (force is sent only there).
void CheckoutActionRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session || !CheckCsrf(app, *session, req, res)) return;
  std::optional<Item> item = CheckoutItem(app, req, res);
  if (!item) return;
  const std::string action = Param(req, "action");
  const bool force = Param(req, "force") == "yes";
  std::string done;
  try {
    if (action == "undo") {
      app::UndoCheckOut(app.core, session->principal, *item, force);
      done = "Check-out of " + ItemWords(*item) + " (profile " + std::to_string(item->mprf) +
             ") undone" + (force ? "; recorded in its history as done by you" : "");
    } else if (action == "takeover") {
      app::CheckOut(app.core, session->principal, *item, /*force=*/true);
      done = "You now hold the check-out of " + ItemWords(*item) + " (profile " +
             std::to_string(item->mprf) + "); recorded in its history";
    } else {
      SendProblem(res, 400, "Unknown action",
                  "The form asked for an action this page does not know.");
      return;
    }
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  } catch (...) {
    ShowCheckoutConfirm(app, req, res, *session, *item, FailureHtml(), 422);
    return;
  }
  RedirectWithFlash(app, *session, res, "/checkouts", done);
}

}  // namespace

void AddRevisionRoutes(httplib::Server& server, WebApp& app) {
  auto get = [&server, &app](const char* pattern, Route route) {
    AddGet(server, app, pattern, route);
  };
  auto post = [&server, &app](const char* pattern, Route route) {
    AddPost(server, app, pattern, route);
  };
  get(R"(/profiles/(-?\d+)/revisions)", ItemRoute);
  post(R"(/profiles/(-?\d+)/revisions)", ItemActionRoute);
  get(R"(/profiles/(-?\d+)/revisions/history)", HistoryRoute);
  get(R"(/profiles/(-?\d+)/revisions/restore)", RestoreFormRoute);
  post(R"(/profiles/(-?\d+)/revisions/restore)", RestoreRoute);
  get("/checkouts", CheckoutsRoute);
  get("/checkouts/confirm", CheckoutConfirmRoute);
  post("/checkouts", CheckoutActionRoute);
}

}  // namespace migprof::web
