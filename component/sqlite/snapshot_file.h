// An embedded snapshot of a profile database: filled from another embedded
// file without a row passing through the data-access layer, and watched for
// the rows a change touches in it.
#ifndef MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_
#define MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_

#include <map>
#include <set>
#include <vector>

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

// From now on every row inserted, updated or deleted in tables of the
// database at path, by any connection, has its row id recorded: triggers
// write them into the table migprof_touched, which nothing else reads.
// Statements' own change counts do not include the triggers' rows.
void RecordTouchedRows(const String& path, const std::vector<String>& tables);

// The row ids recorded so far, by table: an inserted row's id, a deleted
// row's, and an updated row's before and after.
std::map<String, std::set<long long>> TouchedRows(const String& path);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_SNAPSHOT_FILE_H_
