#ifndef MIGPROF_COMPONENT_ADO_OBSERVER_H_
#define MIGPROF_COMPONENT_ADO_OBSERVER_H_

#include "migprof/automation.h"

namespace migprof::ado::detail {

// Tells the current thread's statement observer, if any, about a text passed
// to Execute or Recordset::Open.
void NotifyStatement(const String& text);

// Tells this thread's change counts, if any, that rows of table changed on
// connection (inside its open transaction or not).
void NotifyRowsChanged(const void* connection, bool in_transaction, const String& table,
                       long long rows);
// Tells this thread's change counts that connection's transaction ended.
void NotifyTransactionEnded(const void* connection, bool committed);
// Whether a change count is running on this thread.
bool CountingChanges();

// The table an INSERT, UPDATE or DELETE statement changes, in lower case
// and without brackets or schema ("DELETE FROM [dbo].[QZMAP120]" gives
// "qzmap120"); "" for any other statement.
String ChangedTable(const String& sql);

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_OBSERVER_H_
