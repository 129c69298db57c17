#include "component/sqlite/snapshot_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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

// Inserts into the table of main the rows of the same table of source that
// where selects ("" for all of them).
void InsertFromSource(sqlite3* db, const RowsToCopy& item, const String& where) {
  // A whole table whose columns are the same in both files goes as it is
  // stored, into an empty table: SQLite then moves its records and index
  // entries without comparing keys, many times faster than inserting row by
  // row. Other tables (a file from an older version) are copied by column
  // name.
  const bool alike =
      where.empty() && ColumnNames(db, "main", item.table) == ColumnNames(db, "source", item.table);
  raw::Exec(db,
            alike ? "INSERT INTO main." + item.table + " SELECT * FROM source." + item.table
                  : "INSERT INTO main." + item.table + " (" + item.columns + ") SELECT " +
                        item.columns + " FROM source." + item.table + where,
            errc::kProviderFailure);
}

// Runs work in a transaction of db, rolled back when work raises.
template <typename Work>
void InTransaction(sqlite3* db, Work work) {
  raw::Exec(db, "BEGIN", errc::kProviderFailure);
  try {
    work();
    raw::Exec(db, "COMMIT", errc::kProviderFailure);
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace

void CopyRows(const String& source_path, const String& target_path,
              const std::vector<RowsToCopy>& rows) {
  raw::Db db = OpenWithDialect(target_path);
  AttachReadOnly(db.get(), source_path);
  InTransaction(db.get(), [&] {
    for (const RowsToCopy& item : rows) InsertFromSource(db.get(), item, item.where);
  });
  raw::Exec(db.get(), "DETACH DATABASE source", errc::kProviderFailure);
}

SnapshotBase::SnapshotBase(const String& source_path, const String& base_path,
                           std::vector<RowsToCopy> whole)
    : source_path_(source_path), base_path_(base_path), whole_(std::move(whole)) {
  db_ = OpenWithDialect(base_path_);
  // The base is scratch: a copy of rows that can be read again. Its
  // journal stays in memory and nothing waits for the disk.
  raw::Exec(db_.get(), "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF",
            errc::kProviderFailure);
}

void SnapshotBase::AttachSource() {
  struct stat file {};
  if (::stat(source_path_.c_str(), &file) != 0) {
    throw ComError(errc::kProviderFailure,
                   "Cannot read the database " + source_path_ + ": " + std::strerror(errno));
  }
  device_ = file.st_dev;
  inode_ = file.st_ino;
  AttachReadOnly(db_.get(), source_path_);
  attached_ = true;
}

// A file put in the source's place (a restored or recreated database) is
// another database, whose commits the attached one never sees.
bool SnapshotBase::SourceReplaced() const {
  struct stat file {};
  return ::stat(source_path_.c_str(), &file) != 0 || file.st_dev != device_ ||
         file.st_ino != inode_;
}

void SnapshotBase::Fill(const std::vector<RowsToCopy>& some, const String& target) {
  std::lock_guard<std::mutex> guard(mutex_);
  BringUpToDate(some);
  // Committed with its journal in memory, the base file holds every row.
  std::filesystem::copy_file(base_path_, target);
  sqlite3* db = db_.get();
  InTransaction(db, [&] {
    for (const String& table : partial_) raw::Exec(db, "DELETE FROM main." + table);
  });
  partial_.clear();
}

bool SnapshotBase::Refresh() {
  std::lock_guard<std::mutex> guard(mutex_);
  BringUpToDate({});
  return refreshed_;
}

void SnapshotBase::BringUpToDate(const std::vector<RowsToCopy>& some) {
  sqlite3* db = db_.get();
  if (!attached_ || SourceReplaced()) {
    version_.reset();
    if (attached_) raw::Exec(db, "DETACH DATABASE source", errc::kProviderFailure);
    attached_ = false;
    AttachSource();
  }
  std::optional<String> version;
  try {
    InTransaction(db, [&] {
      // The data version begins the read transaction on the source: every
      // row below is read in the state it names. It moves whenever another
      // connection has committed since this connection last looked.
      version = raw::Column(db, "PRAGMA source.data_version").at(0);
      for (const String& table : partial_) raw::Exec(db, "DELETE FROM main." + table);
      refreshed_ = version != version_;
      if (refreshed_) {
        version_.reset();
        for (const RowsToCopy& item : whole_) {
          raw::Exec(db, "DELETE FROM main." + item.table, errc::kProviderFailure);
          InsertFromSource(db, item, "");
        }
      }
      for (const RowsToCopy& item : some) InsertFromSource(db, item, item.where);
    });
  } catch (...) {
    version_.reset();
    throw;
  }
  // Only now are the earlier snapshot's own rows gone: after a rollback
  // partial_ still names their tables.
  version_ = version;
  partial_.clear();
  for (const RowsToCopy& item : some) partial_.push_back(item.table);
}

}  // namespace migprof::sqlite
