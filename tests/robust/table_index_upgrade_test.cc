// An embedded file made before the rule tables' table code indexes (where
// used), or with their earlier form, gets them from the upgrade, exactly as
// a new file has them.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "component/sqlite/database_file.h"
#include "schema/schema.h"

namespace migprof::testing {
namespace {

std::vector<std::string> Column(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  std::vector<std::string> values;
  sqlite3_exec(
      db, sql.c_str(),
      [](void* out, int, char** row, char**) {
        static_cast<std::vector<std::string>*>(out)->push_back(row[0] ? row[0] : "");
        return 0;
      },
      &values, nullptr);
  sqlite3_close(db);
  return values;
}

TEST(TableIndexUpgrade, GivesAnOlderFileTheIndexesOfANewOne) {
  const char* tmp = std::getenv("TMPDIR");
  const std::filesystem::path folder =
      std::filesystem::path(tmp ? tmp : "/tmp") / ("migprof_index_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "old.db").string();
  schema::CreateEmbeddedDatabase(path);
  const std::string indexes =
      "select name || ' ' || sql from sqlite_master where type = 'index' and sql is not null "
      "order by name";
  const std::vector<std::string> fresh = Column(path, indexes);
  const std::vector<std::string> table_indexes = Column(
      path,
      "select name from sqlite_master where type = 'index' and (name like '%\\_table' escape '\\' "
      "or name like '%\\_source' escape '\\' or name like '%\\_base' escape '\\' or name like "
      "'%\\_child' escape '\\') and name like 'qzmap1%' or name like '%\\_checked\\_out' escape "
      "'\\' order by name");
  ASSERT_EQ(table_indexes.size(), 15u);
  std::vector<std::string> expected;
  for (const std::string& name : table_indexes) {
    Column(path, "drop index " + name);
    expected.push_back("index " + name);
  }
  std::vector<String> changed = sqlite::UpgradeDatabase(path);
  std::sort(changed.begin(), changed.end());
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(Column(path, indexes), fresh);
  EXPECT_TRUE(sqlite::UpgradeDatabase(path).empty());

  // The version before had the table and field rules' indexes on the table
  // code alone: they are made again with the profile and VRC.
  for (const char* table : {"qzmap120", "qzmap140"}) {
    Column(path, std::string("drop index ") + table + "_table; create index " + table +
                     "_table on " + table + " (tcpac, tcmod, tflno)");
  }
  EXPECT_EQ(sqlite::UpgradeDatabase(path),
            (std::vector<String>{"index qzmap120_table", "index qzmap140_table"}));
  EXPECT_EQ(Column(path, indexes), fresh);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace migprof::testing
