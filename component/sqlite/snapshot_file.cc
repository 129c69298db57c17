#include "component/sqlite/snapshot_file.h"

#include "component/sql_text.h"
#include "component/sqlite/dialect.h"
#include "component/sqlite/raw_db.h"

namespace migprof::sqlite {
namespace {

// A handle on the file at path with the dialect's collation and functions,
// which the tables' indexes need, waiting for other writers as a session
// does.
raw::Db OpenWithDialect(const String& path) {
  raw::Db db = raw::OpenDb(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI);
  sqlite3_busy_timeout(db.get(), 10000);
  sqlite_dialect::Register(db.get());
  return db;
}

// Attaches the file at path read only as "source"; the name is bound, not
// spliced into the statement.
void AttachReadOnly(sqlite3* db, const String& path) {
  const String uri = raw::FileUri(path) + "?mode=ro";
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS source", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, uri.c_str(), -1, SQLITE_TRANSIENT);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw ComError(errc::kProviderFailure, sqlite3_errmsg(db));
}

// The names of table's columns in the database schema, in order.
std::vector<String> ColumnNames(sqlite3* db, const String& schema, const String& table) {
  return raw::Column(db, "SELECT name FROM pragma_table_info(" + SqlQuoted(table) + ", " +
                             SqlQuoted(schema) + ")");
}

}  // namespace

void CopyRows(const String& source_path, const String& target_path,
              const std::vector<RowsToCopy>& rows) {
  raw::Db db = OpenWithDialect(target_path);
  AttachReadOnly(db.get(), source_path);
  raw::Exec(db.get(), "BEGIN", errc::kProviderFailure);
  try {
    for (const RowsToCopy& item : rows) {
      // A whole table whose columns are the same in both files goes as it is
      // stored: SQLite then moves its records and index entries without
      // comparing keys, many times faster than inserting row by row. Other
      // tables (a file from an older version) are copied by column name.
      const bool alike = item.where.empty() && ColumnNames(db.get(), "main", item.table) ==
                                                   ColumnNames(db.get(), "source", item.table);
      raw::Exec(db.get(),
                alike ? "INSERT INTO main." + item.table + " SELECT * FROM source." + item.table
                      : "INSERT INTO main." + item.table + " (" + item.columns + ") SELECT " +
                            item.columns + " FROM source." + item.table + item.where,
                errc::kProviderFailure);
    }
    raw::Exec(db.get(), "COMMIT", errc::kProviderFailure);
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  raw::Exec(db.get(), "DETACH DATABASE source", errc::kProviderFailure);
}

void RecordTouchedRows(const String& path, const std::vector<String>& tables) {
  raw::Db db = OpenWithDialect(path);
  String script = "BEGIN; CREATE TABLE migprof_touched (tab TEXT NOT NULL, id INTEGER NOT NULL);";
  for (const String& table : tables) {
    const String prefix = " CREATE TRIGGER migprof_touched_" + table;
    const String name = SqlQuoted(table);
    const String record = " BEGIN INSERT INTO migprof_touched VALUES (" + name + ", ";
    script += prefix + "_insert AFTER INSERT ON " + table + record + "new.rowid); END;";
    script += prefix + "_update AFTER UPDATE ON " + table + record + "old.rowid), (" + name +
              ", new.rowid); END;";
    script += prefix + "_delete AFTER DELETE ON " + table + record + "old.rowid); END;";
  }
  raw::Exec(db.get(), script + " COMMIT;", errc::kProviderFailure);
}

std::map<String, std::set<long long>> TouchedRows(const String& path) {
  raw::Db db = OpenWithDialect(path);
  std::map<String, std::set<long long>> touched;
  for (const String& pair : raw::Column(db.get(), "SELECT tab || ' ' || id FROM migprof_touched")) {
    const std::size_t blank = pair.find(' ');
    touched[pair.substr(0, blank)].insert(std::stoll(pair.substr(blank + 1)));
  }
  return touched;
}

}  // namespace migprof::sqlite
