// The change lock of an embedded database file (component/change_lock.h):
// an exclusive flock() on the file "<database>-lock" beside it.
#ifndef MIGPROF_COMPONENT_SQLITE_LOCK_FILE_H_
#define MIGPROF_COMPONENT_SQLITE_LOCK_FILE_H_

#include <memory>

#include "component/change_lock.h"

namespace migprof::sqlite {

// The lock file of the database at database_path: its real path (symbolic
// links followed, so every name of one file shares one lock) with "-lock".
String LockFilePath(const String& database_path);

// Takes the lock of the database file at database_path, creating the lock
// file when missing (never removed: a removed lock file would let two
// holders lock two files). The lock belongs to this open of the file, so
// threads and processes exclude each other alike, and the system releases
// it when the process ends however it ends. Waits up to timeout_seconds
// (errc::kQueryTimeout); a lock file that cannot be opened raises
// kProviderFailure.
std::shared_ptr<detail::ChangeLock> TakeFileLock(const String& database_path, long timeout_seconds);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_LOCK_FILE_H_
