// The embedded database as a file: made new (with the application's tables,
// and the demo estate when asked), copied while in use, and brought up to
// the current version.
#ifndef MIGPROF_APP_DATABASE_FILES_H_
#define MIGPROF_APP_DATABASE_FILES_H_

#include <vector>

#include "migprof/automation.h"

namespace migprof::app {

// A new embedded database at path with the component's schema, the
// revision-control tables and the application's own. Raises ComError when it
// cannot be made; refuses (ComError) an existing file.
void CreateDatabaseFile(const String& path);

// Copies the embedded database at source_path into the new file
// target_path, consistently while others use it.
void BackupDatabaseFile(const String& source_path, const String& target_path);

// Gives a file made by an older version the current keys and tables; the
// names of what changed (empty when it was up to date).
std::vector<String> UpgradeDatabaseFile(const String& path);

}  // namespace migprof::app

#endif  // MIGPROF_APP_DATABASE_FILES_H_
