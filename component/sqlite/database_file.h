// Work on an embedded database file as a whole: the check that a file is a
// profile database before anything writes to it, online backup and the
// upgrade of files made by older versions of the tool.
#ifndef MIGPROF_COMPONENT_SQLITE_DATABASE_FILE_H_
#define MIGPROF_COMPONENT_SQLITE_DATABASE_FILE_H_

#include <vector>

#include "migprof/automation.h"

namespace migprof::sqlite {

// Raises ComError (errc::kProviderFailure) unless the existing regular file
// at path is a SQLite database holding at least one of the profile tables,
// and the file (and, while it has no -wal file, its folder) can be written.
// Only reads the file: a refused file is left byte for byte as it was and no
// side file (-wal, -shm, -journal) is created.
void CheckProfileDatabase(const String& path);

// Copies the database at source_path, committed rows of its -wal file
// included, into a new file at target_path, consistently even while other
// connections write. Raises ComError when the source is not a profile
// database or the target exists already or cannot be written; a partly
// written target is removed.
void BackupDatabase(const String& source_path, const String& target_path);

// Copies the database at source_path into a new file at target_path, as
// BackupDatabase does, for a file no connection of another process uses:
// this process's idle connections to it are closed first, the last of them
// writing its -wal file back, so that the file alone is copied, without
// opening it. A -wal file still holding rows (a connection in use) makes it
// a backup.
void CopyDatabaseFile(const String& source_path, const String& target_path);

// Brings a database made by an older version up to the current keys, in one
// transaction: the profile-number index of qzmap100 and the number-and-level
// index of qzmap101 become unique, and every table gets its primary key
// rowkey (AddSurrogateKeys). Returns what it changed, one item each
// ("unique qzmap100_mprf", "primary key rowkey of qzmap120"; none when the
// file is current). When existing rows break a key, nothing changes and
// ComError (errc::kIntegrityViolation) names the duplicated numbers.
std::vector<String> UpgradeDatabase(const String& path);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_DATABASE_FILE_H_
