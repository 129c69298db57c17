#include "robust/robust_support.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "component/sqlite/dialect.h"

namespace migprof::testing {

void LongCopySource(const TestDatabase& db, int elements) {
  const std::string table = "'SV', 'SR', 'SC', 'xy', 'uvw', '123'";
  db.Exec(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'SAPP'), "
      "(2, 'UV', 'UR', 'UC', 'UAPP')");
  db.Exec(
      "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values ('UAPP', 'xy', "
      "'uvw', '123', 'qty', " +
      std::to_string(elements) + ", 'xyDOM')");
  db.Exec("insert into qzddi220 (appl, cpac, cdom) values ('UAPP', 'xy', 'DOM')");
  db.Exec("insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx) values (1, " +
          table + ", 'p')");
  db.Exec("insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) values (1, " +
          table + ", 'f')");
  std::string rows;
  for (int i = 1; i <= elements; ++i) {
    rows += (i > 1 ? ", (1, " : "(1, ") + table + ", 'qty(" + std::to_string(i) + ")', " +
            std::to_string(i) + ", 'r')";
  }
  db.Exec(
      "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul) "
      "values " +
      rows);
}

std::vector<std::string> FolderSnapshot(const std::string& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    if (entry.is_regular_file()) bytes << in.rdbuf();
    entries.push_back(entry.path().lexically_relative(folder).string() + " " +
                      std::to_string(bytes.str().size()) + " " +
                      std::to_string(std::hash<std::string>{}(bytes.str())));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::vector<std::string> SqliteColumn(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> values;
  const int mode = path.rfind("file:", 0) == 0 ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI
                                               : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, mode, nullptr), SQLITE_OK) << path;
  sqlite_dialect::Register(db);
  char* message = nullptr;
  EXPECT_EQ(sqlite3_exec(
                db, sql.c_str(),
                [](void* out, int, char** row, char**) {
                  static_cast<std::vector<std::string>*>(out)->push_back(row[0] ? row[0] : "NULL");
                  return 0;
                },
                &values, &message),
            SQLITE_OK)
      << (message ? message : "") << " in " << sql;
  sqlite3_free(message);
  sqlite3_close(db);
  return values;
}

}  // namespace migprof::testing
