// Revision control of library functions and table rules for one acting
// user: check-out, editing while checked out, check-in as a new revision,
// undoing a check-out, history, differences and restore.
//
// A check-out is recorded in qzcfg100 with the item's rows as they were; a
// function checked out is also marked in its own row (stat "C", curn the
// holder), which the function-library members respect. Only the holder may
// edit, check in or undo; taking over or undoing another user's check-out
// needs `force` and is itself recorded as a revision. Every change runs in
// one transaction. Refusals raise Refusal with a message naming the item
// and, where it matters, the holder; database failures raise ComError.
#ifndef MIGPROF_CONFIGMGT_REVISION_CONTROL_H_
#define MIGPROF_CONFIGMGT_REVISION_CONTROL_H_

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "configmgt/checkout_store.h"
#include "configmgt/item.h"
#include "configmgt/refusal.h"
#include "configmgt/revision_store.h"
#include "configmgt/snapshot_diff.h"
#include "migprof/ado.h"

namespace migprof::configmgt {

// The columns of a function an edit may change; those not given stay.
struct FunctionEdit {
  std::optional<String> definition;   // fdef
  std::optional<String> description;  // dsca
  std::optional<String> comment;      // comt
};

class RevisionControl {
 public:
  // Works on connection as user; creates the component's tables when the
  // database lacks them. Every change refuses an empty user; reading
  // (History, Diff, CheckOuts) needs none.
  RevisionControl(std::shared_ptr<ado::Connection> connection, String user);

  // Checks item out to the user. The item must exist in the development VRC
  // of a profile under revision control. With force, a check-out held by
  // another user passes to this user (recorded as a revision entry);
  // without, it is refused.
  void CheckOut(const Item& item, bool force);
  // Commits the user's check-out as the next revision (returned): the
  // function's status goes back to what it was before the check-out ("M" if
  // that was "C"), its holder is cleared and lurn/ldat record the user and
  // now; a table rule's lusr/ldat the same.
  Long CheckIn(const Item& item, const String& comment);
  // Puts the item's rows back as they were at check-out and ends it. With
  // force also another user's check-out (recorded as a revision entry).
  void UndoCheckOut(const Item& item, bool force);

  // Changes the given columns of a function the user has checked out.
  void EditFunction(const Item& item, const FunctionEdit& edit);
  // Sets columns (name, value) of the table rule (qzmap120) or, with field,
  // of that field's rule (qzmap140) of a table rule the user has checked
  // out. Key columns cannot be set.
  void EditRule(const Item& item, const std::optional<String>& field,
                const std::vector<std::pair<String, String>>& values);

  std::vector<Revision> History(const Item& item);
  // The changes from revision `from` to revision `to`, or to the rows as
  // they are now when `to` is nullopt.
  std::vector<Change> Diff(const Item& item, Long from, std::optional<Long> to);
  // Writes revision `number` back as the item's rows and records that as the
  // next revision (returned). Refused while the item is checked out.
  Long Restore(const Item& item, Long number, const String& comment);

  // Every open check-out, of one profile when mprf is given.
  std::vector<CheckOutRecord> CheckOuts(std::optional<Integer> mprf);
  // Undoes the user's own check-outs in profile mprf's vrc; returns how many.
  int UndoOwnCheckOuts(Integer mprf, const Vrc& vrc);

 private:
  void RequireUser() const;
  void RequireDevelopmentVrc(const Item& item);
  CheckOutRecord RequireHeld(const Item& item);

  std::shared_ptr<ado::Connection> connection_;
  String user_;
};

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_REVISION_CONTROL_H_
