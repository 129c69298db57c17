#include "component/sqlite/raw_db.h"

#include <cctype>
#include <cstring>
#include <filesystem>

#include "component/sqlite/overlay_file.h"

namespace migprof::sqlite::raw {

Db OpenDb(const String& name, int flags) {
  sqlite3* handle = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &handle, flags, OverlayVfs(name));
  Db db(handle);
  if (rc != SQLITE_OK) {
    throw ComError(errc::kProviderFailure, handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
  }
  sqlite3_extended_result_codes(handle, 1);
  return db;
}

void Exec(sqlite3* db, const String& sql, std::int32_t number) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    String text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw ComError(number, text);
  }
}

std::vector<String> Column(sqlite3* db, const String& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw ComError(errc::kErrorsInCommand, sqlite3_errmsg(db));
  }
  std::vector<String> values;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw ComError(errc::kErrorsInCommand, sqlite3_errmsg(db));
  return values;
}

String FileUri(const String& path) {
  String absolute = std::filesystem::absolute(path).lexically_normal().string();
  String uri = "file:";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : absolute) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace migprof::sqlite::raw
