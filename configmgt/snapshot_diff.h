// The differences between two states of a function or table rule, column by
// column.
#ifndef MIGPROF_CONFIGMGT_SNAPSHOT_DIFF_H_
#define MIGPROF_CONFIGMGT_SNAPSHOT_DIFF_H_

#include <optional>
#include <vector>

#include "configmgt/snapshot.h"

namespace migprof::configmgt {

// One column that differs. A row only one side has gives one change per
// column, with the other side nullopt and `added` or `removed` set.
struct Change {
  String table;
  // Which row: the field name (fdnm) for field rules, else "#1", "#2", ...
  // by position within the table.
  String row;
  String column;
  std::optional<String> before;  // nullopt: Null, or no such row
  std::optional<String> after;
  bool added = false;
  bool removed = false;
  // For a changed value with more than one line: LineDiff of the two.
  std::vector<String> lines;
  bool operator==(const Change&) const = default;
};

// The changes that turn `before` into `after`, table by table in the order
// the tables first appear, rows in their order.
std::vector<Change> DiffSnapshots(const Snapshot& before, const Snapshot& after);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_SNAPSHOT_DIFF_H_
