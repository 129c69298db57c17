// Small steps the rule copies repeat on their cursors.
#ifndef MIGPROF_MAPRULES_CURSOR_ROWS_H_
#define MIGPROF_MAPRULES_CURSOR_ROWS_H_

#include <memory>

#include "component/query_form.h"
#include "maprules/rule_copy_context.h"
#include "migprof/ado.h"

namespace migprof::maprules {

// The value of column name in cursor's current row.
inline Variant ColumnValue(ado::Recordset& cursor, const char* name) {
  return cursor.Fields().Item(String(name)).Value();
}

// Writes value into column name of the row being added.
inline void WriteColumn(ado::Recordset& insert, const char* name, const Variant& value) {
  insert.Fields().Item(String(name)).Value(value);
}

// Copies column name from the source row into the row being added, Null
// included.
inline void CopyColumn(ado::Recordset& insert, ado::Recordset& source, const char* name) {
  WriteColumn(insert, name, ColumnValue(source, name));
}

// Copies column name only when the source holds a value; a Null leaves the
// column to the table's default.
inline void CopyColumnUnlessNull(ado::Recordset& insert, ado::Recordset& source, const char* name) {
  Variant value = ColumnValue(source, name);
  if (!value.IsNull()) WriteColumn(insert, name, value);
}

// Writes the key every copied row starts with: the target profile and VRC.
inline void WriteTargetKey(ado::Recordset& insert, const RuleCopyContext& context) {
  WriteColumn(insert, "mprf", Variant(context.target_mprf));
  WriteColumn(insert, "vers", Variant(context.target_vers));
  WriteColumn(insert, "rele", Variant(context.target_rele));
  WriteColumn(insert, "cust", Variant(context.target_cust));
}

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_CURSOR_ROWS_H_
