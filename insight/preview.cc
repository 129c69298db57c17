// Preview: the work runs on a snapshot. Triggers in the snapshot note the
// rows the work touches; those rows, read from the snapshot's second copy,
// kept as it was, and from the snapshot after the work, tell what it would
// change.
#include "component/sqlite/snapshot_file.h"
#include "insight/rows.h"
#include "insight/snapshot.h"
#include "insight/table_diff.h"

namespace migprof::insight {

std::vector<TableChanges> Preview(const DataSource& source, const std::vector<Integer>& profiles,
                                  const SnapshotRun& run) {
  Snapshot snapshot(source, profiles);
  std::vector<String> watched;
  for (const TableInfo& table : AllTables()) {
    if (table.kind != TableKind::kDictionary) watched.push_back(table.name);
  }
  sqlite::RecordTouchedRows(snapshot.path(), watched);
  run(snapshot.source());
  const std::map<String, std::set<long long>> touched = sqlite::TouchedRows(snapshot.path());
  return DiffStates(ReadState(*Connect(snapshot.before()), touched),
                    ReadState(*Connect(snapshot.source()), touched));
}

}  // namespace migprof::insight
