// Debian's SQLite is built with the pre-update hook; its declarations need
// the option before sqlite3.h is read.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "component/sqlite/changed_rows.h"

#include <sqlite3.h>

#include <cstring>

#include "component/sqlite/row_recording.h"

namespace migprof::sqlite {
namespace {

// Whether two stored values are the same value: same type and bytes, a
// number also equal to the same number of the other numeric type (a REAL
// column may hand back an integral value as either).
bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  const int type = sqlite3_value_type(a);
  const int other = sqlite3_value_type(b);
  const auto numeric = [](int t) { return t == SQLITE_INTEGER || t == SQLITE_FLOAT; };
  if (type != other) {
    return numeric(type) && numeric(other) && sqlite3_value_double(a) == sqlite3_value_double(b);
  }
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT:
      return sqlite3_value_double(a) == sqlite3_value_double(b);
    default: {
      const void* left = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(a))
                                             : sqlite3_value_blob(a);
      const int left_size = sqlite3_value_bytes(a);
      const void* right = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(b))
                                              : sqlite3_value_blob(b);
      const int right_size = sqlite3_value_bytes(b);
      return left_size == right_size &&
             (left_size == 0 || std::memcmp(left, right, static_cast<std::size_t>(left_size)) == 0);
    }
  }
}

// Whether the row being updated gets values other than those it holds.
bool RowChanges(sqlite3* db, long long old_rowid, long long new_rowid) {
  if (old_rowid != new_rowid) return true;
  const int columns = sqlite3_preupdate_count(db);
  for (int i = 0; i < columns; ++i) {
    sqlite3_value* before = nullptr;
    sqlite3_value* after = nullptr;
    if (sqlite3_preupdate_old(db, i, &before) != SQLITE_OK ||
        sqlite3_preupdate_new(db, i, &after) != SQLITE_OK || before == nullptr ||
        after == nullptr) {
      return true;  // not to be read: counted as changed, as before
    }
    if (!SameValue(before, after)) return true;
  }
  return false;
}

}  // namespace

ChangedRows::ChangedRows(sqlite3* db, TouchLog* recording) : db_(db), recording_(recording) {
  sqlite3_preupdate_hook(db_, &Hook, this);
}

ChangedRows::~ChangedRows() { InstallRecordingHook(db_, recording_); }

long ChangedRows::Changed(long affected) const { return seen_ == affected ? changed_ : -1; }

void ChangedRows::Hook(void* self, sqlite3* db, int op, const char* database, const char* table,
                       long long old_rowid, long long new_rowid) {
  auto& rows = *static_cast<ChangedRows*>(self);
  if (rows.recording_) rows.recording_->Note(db, op, database, table, old_rowid, new_rowid);
  // Rows a trigger changes are not the statement's rows (nor in its count).
  if (sqlite3_preupdate_depth(db) != 0) return;
  ++rows.seen_;
  if (op != SQLITE_UPDATE || RowChanges(db, old_rowid, new_rowid)) ++rows.changed_;
}

}  // namespace migprof::sqlite
