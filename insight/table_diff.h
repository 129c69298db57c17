// The rows of an embedded database before and after a change, and the
// row-level difference between the two.
#ifndef MIGPROF_INSIGHT_TABLE_DIFF_H_
#define MIGPROF_INSIGHT_TABLE_DIFF_H_

#include <map>
#include <set>
#include <string>
#include <vector>

#include "component/sqlite/row_recording.h"
#include "insight/rows.h"
#include "insight/tables.h"

namespace migprof::insight {

// The rows of every table a member may change (all but the dictionary), by
// table and row id. Row ids stay with a row when it is changed, so the same
// id before and after is the same row.
struct DatabaseState {
  std::vector<std::map<long long, Row>> tables;  // parallel to AllTables()
};

// Reads the rows of an embedded database whose row ids rows lists, by
// table name; the other rows are left out.
DatabaseState ReadState(ado::Connection& connection,
                        const std::map<std::string, std::set<long long>>& rows);

// The rows a recording noted, as they were before the change: those it kept
// the values of (not those the change added).
DatabaseState StateBefore(const sqlite::TouchedRows& touched);

// The ids of the rows a recording noted, by table.
std::map<std::string, std::set<long long>> RowIds(const sqlite::TouchedRows& touched);

// The tables whose rows differ, with the rows added, changed and removed, in
// row-id order.
std::vector<TableChanges> DiffStates(const DatabaseState& before, const DatabaseState& after);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_TABLE_DIFF_H_
