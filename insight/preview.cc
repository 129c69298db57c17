// Preview: the work runs on a snapshot, and the snapshot's rows before and
// after tell what it would change.
#include "insight/rows.h"
#include "insight/snapshot.h"
#include "insight/table_diff.h"

namespace migprof::insight {

std::vector<TableChanges> Preview(const DataSource& source, const std::vector<Integer>& profiles,
                                  const SnapshotRun& run) {
  Snapshot snapshot(source, profiles);
  DatabaseState before = ReadState(*Connect(snapshot.source()));
  run(snapshot.source());
  DatabaseState after = ReadState(*Connect(snapshot.source()));
  return DiffStates(before, after);
}

}  // namespace migprof::insight
