// The loadable extension (component/sqlite/extension.cc): SQLite's own tools
// read a profile database file as the component does once it is loaded.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "testing/test_database.h"

namespace migprof {
namespace {

class SqliteExtension : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.embedded()) GTEST_SKIP() << "the extension is for the embedded database";
    db_.Exec(
        "insert into qzlib100 (mprf, fnam, stat) values (1, 'f1', 'C'), (1, 'f2', 'c  '), "
        "(1, 'f3', 'N'), (1, 'f4', '\xC3\x89')");
  }
  testing::TestDatabase db_;
};

// What SQLite answers for sql on the file with the extension loaded (or
// the error), as the text of the first value.
std::string Query(const std::string& path, const std::string& sql, bool load) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::string out;
  char* error = nullptr;
  if (load) {
    sqlite3_enable_load_extension(db, 1);
    if (sqlite3_load_extension(db, MIGPROF_SQLITE_EXTENSION_FILE, nullptr, &error) != SQLITE_OK) {
      out = std::string("load: ") + (error ? error : "?");
      sqlite3_free(error);
      sqlite3_close(db);
      return out;
    }
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    out = sqlite3_errmsg(db);
  } else if (sqlite3_step(stmt) == SQLITE_ROW) {
    out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  } else {
    out = sqlite3_errmsg(db);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

TEST_F(SqliteExtension, GivesSqliteTheComponentsCollationAndFunctions) {
  const std::string count = "select count(*) from qzlib100 where stat <> 'C'";
  EXPECT_EQ(Query(db_.path(), count, false), "no such collation sequence: SQLSERVER");
  EXPECT_EQ(Query(db_.path(), count, true), "2");  // 'c  ' is 'C'; 'É' is not
  EXPECT_EQ(Query(db_.path(), "select count(*) from qzlib100 where stat = '\xC3\xA9'", true), "1");
  EXPECT_EQ(Query(db_.path(), "select mssql_varchar(fnam || 'xy', 3) from qzlib100", true), "f1x");
  EXPECT_EQ(Query(db_.path(), "select mssql_varchar_column('toolong', 3)", true),
            "String or binary data would be truncated.");
}

#if !defined(__SANITIZE_ADDRESS__)
// The sqlite3 shell as a user runs it; skipped where it is not installed.
// (A sanitizer build's extension loads only into a sanitized program.)
TEST_F(SqliteExtension, LoadsIntoTheSqliteShell) {
  if (!std::filesystem::exists("/usr/bin/sqlite3")) GTEST_SKIP() << "no /usr/bin/sqlite3";
  const std::string command = std::string("/usr/bin/sqlite3 ") + db_.path() + " -cmd \".load " +
                              MIGPROF_SQLITE_EXTENSION_FILE +
                              "\" \"select fnam from qzlib100 where stat <> 'C' order by fnam\"";
  FILE* shell = ::popen(command.c_str(), "r");
  ASSERT_NE(shell, nullptr);
  std::string out;
  std::array<char, 256> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), shell) != nullptr) out += buffer.data();
  EXPECT_EQ(::pclose(shell), 0);
  EXPECT_EQ(out, "f3\nf4\n");
}
#endif

}  // namespace
}  // namespace migprof
