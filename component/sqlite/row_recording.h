// The rows changes touch in an embedded database file, and the values each
// held before the first change touched it: what a preview compares with the
// rows as the change left them, without a second copy of the file.
#ifndef MIGPROF_COMPONENT_SQLITE_ROW_RECORDING_H_
#define MIGPROF_COMPONENT_SQLITE_ROW_RECORDING_H_

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "migprof/automation.h"

struct sqlite3;
struct sqlite3_value;

namespace migprof::sqlite {

// A table whose rows are recorded, with the columns whose values are kept,
// in the order they are wanted.
struct RecordedTable {
  String table;
  std::vector<String> columns;
};

// By table, the row ids touched and, for each, the values of the recorded
// columns before the first touch; none for a row that was not there (its
// first touch inserted it).
using TouchedRows = std::map<String, std::map<long long, std::optional<std::vector<Variant>>>>;

// What the pre-update hook of a file's connections writes into while a
// recording lasts; connections keep it as long as they have the hook.
class TouchLog {
 public:
  explicit TouchLog(const std::vector<RecordedTable>& tables);

  // Learns the order of the tables' columns from db, a connection to the
  // file, the first time it is called; before the hook goes on db.
  void Attach(sqlite3* db);
  // Notes a change the pre-update hook of db reports (op: SQLite's
  // SQLITE_INSERT, SQLITE_UPDATE or SQLITE_DELETE), while the log is open.
  void Note(sqlite3* db, int op, const char* database, const char* table, long long old_rowid,
            long long new_rowid);
  // Stops the noting.
  void Close();
  // What was noted; raises ComError when a table lacks a recorded column or
  // a changed row's old values could not be read.
  TouchedRows Touched() const;

 private:
  struct Table {
    std::vector<String> wanted;
    // Per wanted column, its index among the table's columns.
    std::vector<int> positions;
    std::map<long long, std::optional<std::vector<Variant>>> rows;
  };

  mutable std::mutex mutex_;
  std::map<String, Table> tables_;
  bool attached_ = false;
  bool open_ = true;
  String failure_;
};

// Records, through SQLite's pre-update hook, every row inserted, updated or
// deleted in the tables given, while the object lives, by each session of the
// data-access layer opened on the database file from its start on (an idle
// handle kept from before gets the hook when a session takes it again).
// Every connection to a private snapshot is one of them.
class RowRecording {
 public:
  // Starts recording at path; tables: those to record.
  RowRecording(const String& path, const std::vector<RecordedTable>& tables);
  // Ends the recording: the file's connections note nothing more.
  ~RowRecording();
  RowRecording(const RowRecording&) = delete;
  RowRecording& operator=(const RowRecording&) = delete;

  // What was recorded so far.
  TouchedRows Touched() const { return log_->Touched(); }

  // The log of the recording under way at path, if any.
  static std::shared_ptr<TouchLog> At(const String& path);

 private:
  String path_;
  std::shared_ptr<TouchLog> log_;
};

// A stored value as the data-access layer reads it: an integer that fits in
// 32 bits as a Long, a larger one as a Double, texts, binaries and nulls.
Variant ValueOf(sqlite3_value* value);

// Puts on db the hook that passes each change on to log, or, without a log,
// takes the hook away.
void InstallRecordingHook(sqlite3* db, TouchLog* log);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_ROW_RECORDING_H_
