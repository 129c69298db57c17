// Open check-outs: the qzcfg100 rows of the component, and library
// functions marked checked out (qzlib100 stat "C") without such a row, as
// other tools and older data leave them.
#ifndef MIGPROF_CONFIGMGT_CHECKOUT_STORE_H_
#define MIGPROF_CONFIGMGT_CHECKOUT_STORE_H_

#include <memory>
#include <optional>
#include <vector>

#include "configmgt/item.h"
#include "migprof/ado.h"

namespace migprof::configmgt {

struct CheckOutRecord {
  Item item;
  // The user holding it; may be empty for a function marked "C" with no
  // curn.
  String holder;
  // When it was checked out; Null when unrecorded.
  Variant since;
  // The item's rows when it was checked out (encoded); empty when unrecorded.
  String snapshot;
  // False for a function marked "C" that has no qzcfg100 row.
  bool recorded = true;
};

// The check-out of item, if it is checked out.
std::optional<CheckOutRecord> FindCheckOut(const std::shared_ptr<ado::Connection>& connection,
                                           const Item& item);

// Every open check-out, of one profile when mprf is given, recorded ones
// first, each group ordered by profile, VRC and name.
std::vector<CheckOutRecord> ListCheckOuts(const std::shared_ptr<ado::Connection>& connection,
                                          std::optional<Integer> mprf);

// Records that user holds item since now, with the item's rows as they are.
void InsertCheckOut(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                    const String& user, const Snapshot& rows);
// Hands the recorded check-out of item to user.
void SetCheckOutHolder(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                       const String& user);
// Removes the record of the check-out of item.
void DeleteCheckOut(const std::shared_ptr<ado::Connection>& connection, const Item& item);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_CHECKOUT_STORE_H_
