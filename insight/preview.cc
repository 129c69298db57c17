// Preview: the work runs on a snapshot. A recording notes the rows the work
// touches and keeps the values they had; those values and the rows as the
// work left them tell what it would change.
#include "component/sqlite/row_recording.h"
#include "insight/kept_base.h"
#include "insight/rows.h"
#include "insight/snapshot.h"
#include "insight/table_diff.h"

namespace migprof::insight {

std::vector<TableChanges> Preview(const DataSource& source, const std::vector<Integer>& profiles,
                                  const SnapshotRun& run) {
  Snapshot snapshot(source, profiles);
  sqlite::TouchedRows touched;
  {
    const sqlite::RowRecording recording(snapshot.path(), RecordedTables());
    run(snapshot.source());
    touched = recording.Touched();
  }
  return DiffStates(StateBefore(touched), ReadState(*Connect(snapshot.source()), RowIds(touched)));
}

}  // namespace migprof::insight
