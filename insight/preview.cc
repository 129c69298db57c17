// Preview: the work runs on a snapshot, and the snapshot's rows before and
// after tell what it would change.
#include "insight/rows.h"
#include "insight/snapshot.h"
#include "insight/table_diff.h"

namespace migprof::insight {

Json Preview(const DataSource& source, const std::vector<Integer>& profiles,
             const PreviewRun& run) {
  Snapshot snapshot(source, profiles);
  DatabaseState before = ReadState(*Connect(snapshot.source()));
  Json outcome = run(snapshot.source());
  DatabaseState after = ReadState(*Connect(snapshot.source()));
  return Json{{"outcome", std::move(outcome)}, {"changes", DiffStates(before, after)}};
}

}  // namespace migprof::insight
