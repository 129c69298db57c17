#include "app/database_files.h"

#include "app/db.h"
#include "app/tables.h"
#include "component/sqlite/database_file.h"
#include "schema/schema.h"

namespace migprof::app {

void CreateDatabaseFile(const String& path) {
  schema::CreateEmbeddedDatabase(path);
  EnsureTables(Db(Settings{DataSource{"sqlite:" + path, "", ""}}));
}

void BackupDatabaseFile(const String& source_path, const String& target_path) {
  sqlite::BackupDatabase(source_path, target_path);
}

std::vector<String> UpgradeDatabaseFile(const String& path) {
  std::vector<String> changed = sqlite::UpgradeDatabase(path);
  EnsureTables(Db(Settings{DataSource{"sqlite:" + path, "", ""}}));
  return changed;
}

}  // namespace migprof::app
