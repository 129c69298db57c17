// The rows a statement changed, told apart from the rows it only rewrote:
// SQLite counts every row an UPDATE found, also one given the values it
// already held, where MariaDB counts the rows whose values changed.
#ifndef MIGPROF_COMPONENT_SQLITE_CHANGED_ROWS_H_
#define MIGPROF_COMPONENT_SQLITE_CHANGED_ROWS_H_

struct sqlite3;

namespace migprof::sqlite {

// While it lives, watches the rows the statements on db insert, update and
// delete (their own rows, not a trigger's) through SQLite's pre-update hook.
// Made only while a change count is taken: the hook makes SQLite read every
// updated row's old values.
class TouchLog;

class ChangedRows {
 public:
  // recording: the recording of changes whose hook db has, if any; it goes
  // on getting every change, and gets its hook back at the end.
  ChangedRows(sqlite3* db, TouchLog* recording);
  ~ChangedRows();
  ChangedRows(const ChangedRows&) = delete;
  ChangedRows& operator=(const ChangedRows&) = delete;

  // Of the `affected` rows the statement reported, those whose values
  // changed (inserted and deleted rows always count); -1 when the hook did
  // not see every affected row (a table it is not told about).
  long Changed(long affected) const;

 private:
  static void Hook(void* self, sqlite3* db, int op, const char* database, const char* table,
                   long long old_rowid, long long new_rowid);

  sqlite3* db_;
  TouchLog* recording_;
  long seen_ = 0;
  long changed_ = 0;
};

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_CHANGED_ROWS_H_
