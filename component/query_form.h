// The standard query form of the component's members: a recordset opened on
// a connection of its own, dynamic cursor, optimistic locking, unspecified
// command type.
#ifndef MIGPROF_COMPONENT_QUERY_FORM_H_
#define MIGPROF_COMPONENT_QUERY_FORM_H_

#include <memory>
#include <utility>

#include "migprof/ado.h"

namespace migprof::query {

inline void OpenQuery(ado::Recordset& recordset, const String& sql,
                      std::shared_ptr<ado::Connection> connection) {
  recordset.Open(sql, std::move(connection), ado::adOpenDynamic, ado::adLockOptimistic,
                 ado::adCmdUnspecified);
}

// A query has a row when its recordset is neither at BOF nor at EOF.
inline bool HasRow(ado::Recordset& recordset) { return !recordset.BOF() && !recordset.EndOfFile(); }

// Closes recordset when it is open; for failure paths.
inline void CloseIfOpen(const std::shared_ptr<ado::Recordset>& recordset) {
  if (recordset && recordset->State() == ado::adStateOpen) recordset->Close();
}

}  // namespace migprof::query

#endif  // MIGPROF_COMPONENT_QUERY_FORM_H_
