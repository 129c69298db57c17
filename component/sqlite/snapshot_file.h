// An embedded snapshot of a profile database: filled from another embedded
// file without a row passing through the data-access layer, and watched for
// the rows a change touches in it.
#ifndef MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_
#define MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <vector>

#include "component/sqlite/raw_db.h"
#include "migprof/automation.h"

namespace migprof::sqlite {

// Rows of one table to copy: the table, its columns ("a, b, c") and a
// condition on the rows (" where ...", "" for every row).
struct RowsToCopy {
  String table;
  String columns;
  String where;
};

// Copies the rows each item names from the database at source_path into the
// same table of the database at target_path. The source is attached read
// only and read in one transaction, so the copy is one consistent state of
// it however busy it is; the target is written in the same transaction.
void CopyRows(const String& source_path, const String& target_path,
              const std::vector<RowsToCopy>& rows);

// The tables of an embedded database that snapshots take whole, kept filled
// in a database file of their own between snapshots. Copying that file is
// cheap next to reading the tables again, which happens only when another
// connection has committed to the database since they were last read, or the
// database's file was replaced. Safe to use from several threads; snapshots
// are filled one at a time.
class SnapshotBase {
 public:
  // base_path: an existing database with the tables of the source and no
  // rows, which this object alone writes from now on. whole: the tables
  // taken whole (their conditions are not used).
  SnapshotBase(const String& source_path, const String& base_path, std::vector<RowsToCopy> whole);

  // Writes target, a new file: every row of the whole tables and the rows
  // that some names, read from the source in one read transaction, so that
  // all of them are one state of it.
  void Fill(const std::vector<RowsToCopy>& some, const String& target);

  // Reads the whole tables again if the source has changed since they were
  // last read, so that the next Fill need not; says whether it did.
  bool Refresh();

  // Whether the last Fill or Refresh read the whole tables again.
  bool refreshed() const { return refreshed_; }

 private:
  // In one transaction: the whole tables read again if the source has
  // changed, the rows of the last snapshot's own taken out and those that
  // some names put in (then listed in partial_).
  void BringUpToDate(const std::vector<RowsToCopy>& some);
  void AttachSource();
  bool SourceReplaced() const;

  std::mutex mutex_;
  String source_path_;
  String base_path_;
  std::vector<RowsToCopy> whole_;
  raw::Db db_;
  bool attached_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  // The source's data version when the whole tables were last read, as this
  // object's own connection sees it; none until they hold a complete copy.
  std::optional<String> version_;
  // Tables of the base that hold rows of one snapshot's own (some).
  std::vector<String> partial_;
  bool refreshed_ = false;
};

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_
