#include "app/revisions.h"

#include "app/members.h"
#include "configmgt/snapshot_diff.h"
#include "migprof/com_error.h"

namespace migprof::app {
namespace {

std::shared_ptr<ado::Connection> Connect(Application& app) {
  return OpenDataSource(app.source(), kComponentTimeouts);
}

Arguments ItemArguments(const Item& item) {
  return {{"kind", item.kind == configmgt::ItemKind::kFunction ? "function" : "rule"},
          {"name", item.name},
          {"vrc", item.vrc.Text()}};
}

// Runs change as principal on a revision-control object of its own, with
// the permission check before it and the activity record after it.
template <typename Change>
auto Revise(Application& app, const Principal& principal, const char* operation, const Item& item,
            const Arguments& details, Change&& change) {
  Arguments arguments = ItemArguments(item);
  arguments.insert(arguments.end(), details.begin(), details.end());
  Require(app, principal, Operation::kRevise, item.mprf, operation, arguments);
  ado::ScopedChangeCount count;
  try {
    configmgt::RevisionControl control(Connect(app), principal.name);
    auto result = change(control);
    RecordChange(app, principal, operation, item.mprf, arguments, Outcome::kDone, "", "",
                 count.rows());
    return result;
  } catch (const configmgt::Refusal& refusal) {
    RecordChange(app, principal, operation, item.mprf, arguments, Outcome::kRefused, "",
                 refusal.what(), count.rows());
    throw;
  } catch (...) {
    const ComError error = CurrentFailure();
    RecordChange(app, principal, operation, item.mprf, arguments, Outcome::kFailed,
                 std::to_string(error.number()), error.description(), count.rows());
    throw;
  }
}

String YesNo(bool on) { return on ? "yes" : "no"; }

}  // namespace

void CheckOut(Application& app, const Principal& principal, const Item& item, bool force) {
  Revise(app, principal, force ? "take-over" : "check-out", item, {{"force", YesNo(force)}},
         [&](configmgt::RevisionControl& control) {
           control.CheckOut(item, force);
           return 0;
         });
}

Long CheckIn(Application& app, const Principal& principal, const Item& item,
             const String& comment) {
  return Revise(
      app, principal, "check-in", item, {{"comment", comment}},
      [&](configmgt::RevisionControl& control) { return control.CheckIn(item, comment); });
}

void UndoCheckOut(Application& app, const Principal& principal, const Item& item, bool force) {
  Revise(app, principal, "undo-check-out", item, {{"force", YesNo(force)}},
         [&](configmgt::RevisionControl& control) {
           control.UndoCheckOut(item, force);
           return 0;
         });
}

void EditFunction(Application& app, const Principal& principal, const Item& item,
                  const configmgt::FunctionEdit& edit) {
  Arguments arguments;
  if (edit.definition) arguments.emplace_back("definition", *edit.definition);
  if (edit.description) arguments.emplace_back("description", *edit.description);
  if (edit.comment) arguments.emplace_back("comment", *edit.comment);
  Revise(app, principal, "edit-function", item, arguments,
         [&](configmgt::RevisionControl& control) {
           control.EditFunction(item, edit);
           return 0;
         });
}

void EditRule(Application& app, const Principal& principal, const Item& item,
              const std::optional<String>& field,
              const std::vector<std::pair<String, String>>& values) {
  Arguments arguments;
  if (field) arguments.emplace_back("field", *field);
  for (const auto& value : values) arguments.push_back(value);
  Revise(app, principal, "edit-rule", item, arguments, [&](configmgt::RevisionControl& control) {
    control.EditRule(item, field, values);
    return 0;
  });
}

Long Restore(Application& app, const Principal& principal, const Item& item, Long number,
             const String& comment) {
  return Revise(
      app, principal, "restore", item, {{"revision", std::to_string(number)}, {"comment", comment}},
      [&](configmgt::RevisionControl& control) { return control.Restore(item, number, comment); });
}

std::vector<configmgt::Revision> History(Application& app, const Principal& principal,
                                         const Item& item) {
  return configmgt::RevisionControl(Connect(app), principal.name).History(item);
}

std::vector<configmgt::Change> Diff(Application& app, const Principal& principal, const Item& item,
                                    Long from, std::optional<Long> to) {
  return configmgt::RevisionControl(Connect(app), principal.name).Diff(item, from, to);
}

std::vector<configmgt::CheckOutRecord> CheckOuts(Application& app, const Principal& principal,
                                                 std::optional<Integer> mprf) {
  return configmgt::RevisionControl(Connect(app), principal.name).CheckOuts(mprf);
}

std::optional<configmgt::CheckOutRecord> FindCheckOut(Application& app, const Item& item) {
  return configmgt::FindCheckOut(Connect(app), item);
}

std::vector<configmgt::Change> ChangesSinceCheckOut(Application& app,
                                                    const configmgt::CheckOutRecord& held) {
  if (!held.recorded) return {};
  return configmgt::DiffSnapshots(configmgt::DecodeSnapshot(held.snapshot),
                                  configmgt::ReadItem(Connect(app), held.item));
}

}  // namespace migprof::app
