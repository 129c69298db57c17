// Revision control of library functions and table rules, acting as the
// principal: the changes (check out, edit, check in, undo, take over,
// restore) are allowed to a profile's owner and to administrators and are
// recorded; the reads are open to every principal. The configuration-
// management component enforces the check-outs themselves: only the holder
// edits, checks in or undoes, unless forced.
//
// Refusals of the component raise configmgt::Refusal, database failures
// ComError, a principal who may not raises Forbidden; each change is
// recorded in the activity log with its outcome. The entry points take the
// revision-control types (items, revisions, changes) from here.
#ifndef MIGPROF_APP_REVISIONS_H_
#define MIGPROF_APP_REVISIONS_H_

#include <optional>
#include <utility>
#include <vector>

#include "app/application.h"
#include "configmgt/checkout_store.h"
#include "configmgt/item.h"
#include "configmgt/refusal.h"
#include "configmgt/revision_control.h"
#include "configmgt/revision_store.h"
#include "configmgt/snapshot.h"
#include "configmgt/snapshot_diff.h"

namespace migprof::app {

using configmgt::Item;

void CheckOut(Application& app, const Principal& principal, const Item& item, bool force);
Long CheckIn(Application& app, const Principal& principal, const Item& item, const String& comment);
void UndoCheckOut(Application& app, const Principal& principal, const Item& item, bool force);
void EditFunction(Application& app, const Principal& principal, const Item& item,
                  const configmgt::FunctionEdit& edit);
void EditRule(Application& app, const Principal& principal, const Item& item,
              const std::optional<String>& field,
              const std::vector<std::pair<String, String>>& values);
Long Restore(Application& app, const Principal& principal, const Item& item, Long number,
             const String& comment);

std::vector<configmgt::Revision> History(Application& app, const Principal& principal,
                                         const Item& item);
std::vector<configmgt::Change> Diff(Application& app, const Principal& principal, const Item& item,
                                    Long from, std::optional<Long> to);
std::vector<configmgt::CheckOutRecord> CheckOuts(Application& app, const Principal& principal,
                                                 std::optional<Integer> mprf);
std::optional<configmgt::CheckOutRecord> FindCheckOut(Application& app, const Item& item);
// What the holder changed since the check-out (empty when the check-out
// recorded no rows).
std::vector<configmgt::Change> ChangesSinceCheckOut(Application& app,
                                                    const configmgt::CheckOutRecord& held);

}  // namespace migprof::app

#endif  // MIGPROF_APP_REVISIONS_H_
