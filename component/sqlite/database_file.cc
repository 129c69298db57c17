#include "component/sqlite/database_file.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "component/sqlite/dialect.h"
#include "component/sqlite/overlay_file.h"
#include "component/sqlite/raw_db.h"
#include "component/sqlite/sqlite_session.h"
#include "component/sqlite/surrogate_keys.h"
#include "migprof/com_error.h"

namespace migprof::sqlite {
namespace {

using raw::Column;
using raw::Db;
using raw::Exec;
using raw::FileUri;
using raw::OpenDb;

// The tables whose presence marks a profile database. A database that lost
// some of them is still one (the members then fail on the missing table).
constexpr const char* kProfileTables =
    "'qzmap100','qzmap101','qzmap105','qzmap120','qzusr110','qzlib100','qzddi100'";

[[noreturn]] void Refuse(const String& text) { throw ComError(errc::kProviderFailure, text); }

bool Exists(const String& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The first 100 bytes hold SQLite's header; an empty file is not a database
// here, although SQLite would take it for an empty one. Read through the
// connection's own descriptor: closing a descriptor of our own would drop
// every POSIX lock this process holds on the file, the locks by which its
// other connections keep other processes from removing the -wal and -shm
// files they use.
bool HasSqliteHeader(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return false;
  }
  char header[100];
  return file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK &&
         std::memcmp(header, "SQLite format 3", 16) == 0;
}

bool Writable(const String& path, const struct stat& info) {
  // Root may write a file without write permission; the file's mode still
  // says it is meant to be read only.
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

void CheckProfileDatabase(const String& path) {
  // An overlay's pages come from an image of a profile database; the file
  // at its path is empty and only carries its locks.
  if (OverlayVfs(path)) return;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    Refuse(errtext::kDataSourceNotFound);
  }
  const String not_profile = "The file " + path + " is not a profile database.";
  // Whether the file, opened so, has the header and a table of the profile
  // database.
  auto holds_profile_tables = [&](const String& name, int flags) {
    Db db = OpenDb(name, flags);
    sqlite3_busy_timeout(db.get(), 10000);
    if (!HasSqliteHeader(db.get())) return false;
    try {
      return !Column(db.get(), String("select name from sqlite_master where type = 'table' and "
                                      "name in (") +
                                   kProfileTables + ")")
                  .empty();
    } catch (const ComError&) {
      return false;  // "file is not a database" and the like
    }
  };
  // Without a -wal file, the file alone holds the whole database and an
  // immutable open reads it without locks and without side files. With one,
  // the database is in use or was left by a crash; a normal read-only open
  // sees its committed rows.
  bool has_wal = false;
  bool profile = false;
  for (int attempt = 1; attempt <= 4 && !profile; ++attempt) {
    // An immutable read does not see the locks of a process that opened the
    // file after the -wal file was looked for: what it read may be torn by
    // that process's checkpoint. A failed read is tried again a little
    // later, before the file is called no profile database.
    if (attempt > 1) std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    has_wal = Exists(path + "-wal");
    profile = has_wal ? holds_profile_tables(path, SQLITE_OPEN_READONLY)
                      : holds_profile_tables(FileUri(path) + "?immutable=1",
                                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
  }
  if (!profile) Refuse(not_profile);
  if (!Writable(path, info)) {
    Refuse("The profile database " + path +
           " is read-only; the component must be able to write it.");
  }
  if (!has_wal) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (::access(parent.empty() ? "." : parent.c_str(), W_OK) != 0) {
      Refuse("The folder of the profile database " + path +
             " is read-only; the database needs its -wal and -shm files beside it.");
    }
  }
}

void BackupDatabase(const String& source_path, const String& target_path) {
  CheckProfileDatabase(source_path);
  if (Exists(target_path)) Refuse("The file " + target_path + " exists already.");
  Db source = OpenDb(source_path, SQLITE_OPEN_READWRITE);
  sqlite_dialect::Register(source.get());
  try {
    Db target = OpenDb(target_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (backup == nullptr) Refuse(sqlite3_errmsg(target.get()));
    // One step copies everything under one read transaction: a consistent
    // snapshot however busy the source is.
    int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) Refuse(sqlite3_errstr(rc));
    // The copy is one self-contained file: no rows left in a -wal file.
    Exec(target.get(), "PRAGMA journal_mode=DELETE");
  } catch (...) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::filesystem::remove(target_path + suffix, ignored);
    }
    throw;
  }
}

void CopyDatabaseFile(const String& source_path, const String& target_path) {
  CloseIdleSessions(source_path);
  std::error_code missing;
  if (std::filesystem::file_size(source_path + "-wal", missing) > 0 && !missing) {
    BackupDatabase(source_path, target_path);
    return;
  }
  if (Exists(target_path)) Refuse("The file " + target_path + " exists already.");
  std::error_code error;
  std::filesystem::copy_file(source_path, target_path, error);
  if (error) Refuse("The file " + source_path + " could not be copied: " + error.message());
}

std::vector<String> UpgradeDatabase(const String& path) {
  struct Key {
    const char* index;
    const char* table;
    const char* columns;
  };
  static constexpr Key kKeys[] = {{"qzmap100_mprf", "qzmap100", "mprf"},
                                  {"qzmap101_mprf", "qzmap101", "mprf, levl"}};
  // The indexes that find the rules naming a table (where used), as
  // schema/sqlite.sql has them. The table and field rules' indexes also hold
  // each rule's profile and VRC, so where used of a table that thousands of
  // profiles use reads the index alone; a file that has them without these
  // columns (made by the version before) gets them made again.
  static constexpr Key kTableIndexes[] = {
      {"qzmap110_table", "qzmap110", "tcpac, tcmod, tflno"},
      {"qzmap120_table", "qzmap120", "tcpac, tcmod, tflno, mprf, vers, rele, cust"},
      {"qzmap125_table", "qzmap125", "tcpac, tcmod, tflno"},
      {"qzmap130_table", "qzmap130", "tcpac, tcmod, tflno"},
      {"qzmap130_source", "qzmap130", "scpac, scmod, sflno"},
      {"qzmap135_table", "qzmap135", "tcpac, tcmod, tflno"},
      {"qzmap140_table", "qzmap140", "tcpac, tcmod, tflno, mprf, vers, rele, cust, fdnm"},
      {"qzmap145_table", "qzmap145", "tcpac, tcmod, tflno"},
      {"qzmap160_table", "qzmap160", "tcpac, tcmod, tflno"},
      {"qzmap165_table", "qzmap165", "tcpac, tcmod, tflno"},
      {"qzmap170_base", "qzmap170", "bpac, bmod, bflno"},
      {"qzmap170_child", "qzmap170", "cpac, cmod, cflno"},
      {"qzmap175_base", "qzmap175", "bpac, bmod, bflno"}};
  CheckProfileDatabase(path);
  Db db = OpenDb(path, SQLITE_OPEN_READWRITE);
  sqlite_dialect::Register(db.get());
  sqlite3_busy_timeout(db.get(), 10000);
  Exec(db.get(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE");
  std::vector<String> changed;
  try {
    for (const Key& key : kKeys) {
      std::vector<String> unique =
          Column(db.get(), String("select \"unique\" from pragma_index_list('") + key.table +
                               "') where name = '" + key.index + "'");
      if (!unique.empty() && unique[0] == "1") continue;
      std::vector<String> duplicates =
          Column(db.get(), String("select ") + key.columns + " from " + key.table +
                               " where mprf is not null group by " + key.columns +
                               " having count(*) > 1 limit 10");
      if (!duplicates.empty()) {
        String list;
        for (const String& value : duplicates) list += (list.empty() ? "" : ", ") + value;
        throw ComError(errc::kIntegrityViolation,
                       String("Cannot add the key on ") + key.table + " (" + key.columns +
                           "): rows share the profile numbers " + list +
                           ". Remove the extra rows, then upgrade again; nothing was changed.");
      }
      Exec(db.get(), String("DROP INDEX IF EXISTS ") + key.index + "; CREATE UNIQUE INDEX " +
                         key.index + " ON " + key.table + " (" + key.columns + ")");
      changed.emplace_back(String("unique ") + key.index);
    }
    for (String& table : AddSurrogateKeys(db.get())) changed.push_back(std::move(table));
    for (const Key& index : kTableIndexes) {
      String columns;
      for (const String& name : Column(db.get(), String("select name from pragma_index_info('") +
                                                     index.index + "') order by seqno")) {
        columns += (columns.empty() ? "" : ", ") + name;
      }
      if (columns == index.columns) continue;
      Exec(db.get(), String("DROP INDEX IF EXISTS ") + index.index + "; CREATE INDEX " +
                         index.index + " ON " + index.table + " (" + index.columns + ")");
      changed.emplace_back(String("index ") + index.index);
    }
    // The checked-out rules and functions (the list of check-outs): partial
    // indexes, which only a statement naming stat = 'C' can use.
    for (const char* table : {"qzmap120", "qzlib100"}) {
      const String name = String(table) + "_checked_out";
      if (!Column(db.get(), String("select name from pragma_index_list('") + table +
                                "') where name = '" + name + "'")
               .empty()) {
        continue;
      }
      Exec(db.get(), "CREATE INDEX " + name + " ON " + table + " (stat) WHERE stat = 'C'");
      changed.emplace_back("index " + name);
    }
    Exec(db.get(), "COMMIT");
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return changed;
}

}  // namespace migprof::sqlite
