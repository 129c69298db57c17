// Revisions of functions and table rules: the qzcfg110 rows. Revisions of
// one item are numbered from 1 in the order they were made; none is ever
// changed, and only switching revision control off deletes them.
#ifndef MIGPROF_CONFIGMGT_REVISION_STORE_H_
#define MIGPROF_CONFIGMGT_REVISION_STORE_H_

#include <memory>
#include <optional>
#include <vector>

#include "configmgt/item.h"
#include "migprof/ado.h"

namespace migprof::configmgt {

struct Revision {
  Long number = 0;
  String user;
  Variant date;
  // What made it: "check-in", "restore of revision 2", ...
  String action;
  String comment;
  // The item's committed rows (encoded).
  String snapshot;
};

// Adds the next revision of item, made by user now, and returns its number.
Long AddRevision(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                 const String& user, const String& action, const String& comment,
                 const Snapshot& rows);

// Every revision of item, oldest first.
std::vector<Revision> ListRevisions(const std::shared_ptr<ado::Connection>& connection,
                                    const Item& item);

// Revision number of item, if there is one.
std::optional<Revision> FindRevision(const std::shared_ptr<ado::Connection>& connection,
                                     const Item& item, Long number);

// Deletes every revision of every item of profile mprf in vrc; returns how
// many there were.
long DeleteRevisionsOf(const std::shared_ptr<ado::Connection>& connection, Integer mprf,
                       const Vrc& vrc);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_REVISION_STORE_H_
