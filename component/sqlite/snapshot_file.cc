#include "component/sqlite/snapshot_file.h"

#include <sys/stat.h>

#include <algorithm>
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

// Whether table has the same columns in main and source: its rows are then
// copied as they are stored, with their row ids.
bool Alike(sqlite3* db, const String& table) {
  return ColumnNames(db, "main", table) == ColumnNames(db, "source", table);
}

// Inserts into the table of main the rows of the same table of source that
// where selects ("" for all of them).
void InsertFromSource(sqlite3* db, const RowsToCopy& item, const String& where) {
  // A whole table whose columns are the same in both files goes as it is
  // stored, into an empty table: SQLite then moves its records and index
  // entries without comparing keys, many times faster than inserting row by
  // row. Other tables (a file from an older version) are copied by column
  // name.
  const bool alike = where.empty() && Alike(db, item.table);
  raw::Exec(db,
            alike ? "INSERT INTO main." + item.table + " SELECT * FROM source." + item.table
                  : "INSERT INTO main." + item.table + " (" + item.columns + ") SELECT " +
                        item.columns + " FROM source." + item.table + where,
            errc::kProviderFailure);
}

struct Finalize {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

Statement Prepare(sqlite3* db, const String& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    throw ComError(errc::kProviderFailure, sqlite3_errmsg(db));
  }
  return Statement(stmt);
}

// Steps stmt: true for a row, false at its end.
bool Step(sqlite3* db, sqlite3_stmt* stmt) {
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw ComError(errc::kProviderFailure, sqlite3_errmsg(db));
}

// Whether the current rows of a and b hold the same values, stored alike:
// the same type and the same bytes (a text compared byte for byte, not
// through the column's collation).
bool SameRow(sqlite3_stmt* a, sqlite3_stmt* b) {
  const int columns = sqlite3_column_count(a);
  if (columns != sqlite3_column_count(b)) return false;
  for (int i = 0; i < columns; ++i) {
    const int type = sqlite3_column_type(a, i);
    if (type != sqlite3_column_type(b, i)) return false;
    switch (type) {
      case SQLITE_NULL:
        break;
      case SQLITE_INTEGER:
        if (sqlite3_column_int64(a, i) != sqlite3_column_int64(b, i)) return false;
        break;
      case SQLITE_FLOAT: {
        const double x = sqlite3_column_double(a, i);
        const double y = sqlite3_column_double(b, i);
        if (std::memcmp(&x, &y, sizeof x) != 0) return false;
        break;
      }
      default: {
        const void* x = sqlite3_column_blob(a, i);
        const int length = sqlite3_column_bytes(a, i);
        const void* y = sqlite3_column_blob(b, i);
        if (length != sqlite3_column_bytes(b, i) ||
            (length > 0 && std::memcmp(x, y, length) != 0)) {
          return false;
        }
      }
    }
  }
  return true;
}

// Brings main's table to the rows of source's, when main holds an earlier
// copy of them made with their row ids (the whole table as it is stored):
// the rows of both are compared in row id order, and only those that
// differ are taken out of main and put in again from source, with their
// row ids, so main ends as a fresh copy would. Taking out every row that
// goes before putting any in keeps the unique indexes satisfied at each
// step. Returns false, having changed nothing, when more than a quarter of
// the rows differ: copying the table afresh is then cheaper.
bool SyncFromSource(sqlite3* db, const String& table) {
  std::vector<sqlite3_int64> out;
  std::vector<sqlite3_int64> in;
  long long rows = 0;
  {
    Statement kept = Prepare(db, "SELECT rowid, * FROM main." + table + " ORDER BY rowid");
    Statement now = Prepare(db, "SELECT rowid, * FROM source." + table + " ORDER BY rowid");
    bool has_kept = Step(db, kept.get());
    bool has_now = Step(db, now.get());
    while (has_kept || has_now) {
      const sqlite3_int64 kept_id = has_kept ? sqlite3_column_int64(kept.get(), 0) : 0;
      const sqlite3_int64 now_id = has_now ? sqlite3_column_int64(now.get(), 0) : 0;
      if (has_kept && (!has_now || kept_id < now_id)) {
        out.push_back(kept_id);
        has_kept = Step(db, kept.get());
        continue;
      }
      ++rows;
      if (!has_kept || now_id < kept_id) {
        in.push_back(now_id);
      } else {
        if (!SameRow(kept.get(), now.get())) {
          out.push_back(kept_id);
          in.push_back(now_id);
        }
        has_kept = Step(db, kept.get());
      }
      has_now = Step(db, now.get());
    }
  }
  if (static_cast<long long>(std::max(out.size(), in.size())) > rows / 4) return false;
  Statement remove = Prepare(db, "DELETE FROM main." + table + " WHERE rowid = ?1");
  for (sqlite3_int64 id : out) {
    sqlite3_bind_int64(remove.get(), 1, id);
    Step(db, remove.get());
    sqlite3_reset(remove.get());
  }
  Statement add = Prepare(
      db, "INSERT INTO main." + table + " SELECT * FROM source." + table + " WHERE rowid = ?1");
  for (sqlite3_int64 id : in) {
    sqlite3_bind_int64(add.get(), 1, id);
    Step(db, add.get());
    sqlite3_reset(add.get());
  }
  return true;
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
        // Mostly a commit has changed a few rows of one whole table or
        // none (a copy of rules): a base that holds a complete copy is
        // brought up to date row by row.
        const bool complete = version_.has_value();
        version_.reset();
        for (const RowsToCopy& item : whole_) {
          if (complete && Alike(db, item.table) && SyncFromSource(db, item.table)) continue;
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
