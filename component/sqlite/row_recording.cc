// Debian's SQLite is built with the pre-update hook; its declarations need
// the option before sqlite3.h is read.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "component/sqlite/row_recording.h"

#include <sqlite3.h>

#include <cstring>

#include "migprof/com_error.h"

namespace migprof::sqlite {
namespace {

// The recordings under way, by file.
struct Registry {
  std::mutex mutex;
  std::map<String, std::shared_ptr<TouchLog>> logs;
};

Registry& Recordings() {
  static Registry* registry = new Registry();
  return *registry;
}

void Hook(void* log, sqlite3* db, int op, const char* database, const char* table,
          long long old_rowid, long long new_rowid) {
  static_cast<TouchLog*>(log)->Note(db, op, database, table, old_rowid, new_rowid);
}

}  // namespace

Variant ValueOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_value_int64(value);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<Long>(v));
      return Variant(static_cast<Double>(v));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_value_double(value));
    case SQLITE_TEXT: {
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return Variant(String(text, static_cast<std::size_t>(sqlite3_value_bytes(value))));
    }
    case SQLITE_BLOB: {
      const auto* data = static_cast<const std::uint8_t*>(sqlite3_value_blob(value));
      return Variant(Binary(data, data + sqlite3_value_bytes(value)));
    }
    default:
      return Variant::Null();
  }
}

RowRecording::RowRecording(const String& path, const std::vector<RecordedTable>& tables)
    : path_(path), log_(std::make_shared<TouchLog>(tables)) {
  Registry& registry = Recordings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.logs[path_] = log_;
}

TouchLog::TouchLog(const std::vector<RecordedTable>& tables) {
  for (const RecordedTable& table : tables) tables_[table.table].wanted = table.columns;
}

void TouchLog::Attach(sqlite3* db) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (attached_) return;
  attached_ = true;
  for (auto& [name, table] : tables_) {
    // The names of the table's columns in their order, from a statement
    // prepared and never run.
    sqlite3_stmt* stmt = nullptr;
    const String sql = "SELECT * FROM main.\"" + name + "\"";
    std::vector<String> names;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && stmt) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i)
        names.emplace_back(sqlite3_column_name(stmt, i));
    }
    sqlite3_finalize(stmt);
    for (const String& column : table.wanted) {
      int position = -1;
      for (std::size_t i = 0; i < names.size(); ++i) {
        if (sqlite3_stricmp(names[i].c_str(), column.c_str()) == 0) position = static_cast<int>(i);
      }
      if (position < 0) {
        failure_ = "The table " + name + " has no column " + column + ".";
        return;
      }
      table.positions.push_back(position);
    }
  }
}

RowRecording::~RowRecording() {
  log_->Close();
  Registry& registry = Recordings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.logs.find(path_);
  if (found != registry.logs.end() && found->second == log_) registry.logs.erase(found);
}

std::shared_ptr<TouchLog> RowRecording::At(const String& path) {
  Registry& registry = Recordings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.logs.empty()) return nullptr;
  auto found = registry.logs.find(path);
  return found == registry.logs.end() ? nullptr : found->second;
}

void TouchLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
}

TouchedRows TouchLog::Touched() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_.empty()) throw ComError(errc::kProviderFailure, failure_);
  TouchedRows touched;
  for (const auto& [name, table] : tables_) {
    if (!table.rows.empty()) touched[name] = table.rows;
  }
  return touched;
}

void TouchLog::Note(sqlite3* db, int op, const char* database, const char* table,
                    long long old_rowid, long long new_rowid) {
  if (std::strcmp(database, "main") != 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || !failure_.empty()) return;
  auto found = tables_.find(table);
  if (found == tables_.end()) return;
  Table& recorded = found->second;
  // A row's first touch tells what it was: its old values, or nothing when
  // the touch inserted it. Later touches leave that as it is.
  if (op != SQLITE_INSERT && !recorded.rows.count(old_rowid)) {
    std::vector<Variant> values;
    for (int position : recorded.positions) {
      sqlite3_value* value = nullptr;
      if (sqlite3_preupdate_old(db, position, &value) != SQLITE_OK || value == nullptr) {
        // Nothing may be thrown through SQLite: Touched() tells.
        failure_ = "The values of a changed row of " + found->first + " could not be read.";
        return;
      }
      values.push_back(ValueOf(value));
    }
    recorded.rows.emplace(old_rowid, std::move(values));
  }
  if (op != SQLITE_DELETE) recorded.rows.emplace(new_rowid, std::nullopt);
}

void InstallRecordingHook(sqlite3* db, TouchLog* log) {
  sqlite3_preupdate_hook(db, log ? &Hook : nullptr, log);
}

}  // namespace migprof::sqlite
