// The embedded database: a SQLite file that answers the component's SQL
// Server statements as SQL Server does.
#ifndef MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_
#define MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_

#include <functional>
#include <memory>
#include <vector>

#include "component/ado/session.h"

namespace migprof::sqlite {

// Opens a session on the existing database file at path. A file that does not
// exist is "data source not found"; nothing is ever created here. Native
// handles are pooled per file, so opening is cheap after the first time; each
// session still has a native handle of its own while it lives.
std::unique_ptr<ado::detail::Session> OpenSession(const String& path, long command_timeout);

// Closes the pooled idle handles of the file at path, so a file about to be
// removed keeps no open handle behind. Sessions still open are not touched.
void CloseIdleSessions(const String& path);

// Closes the pooled idle handles of every file; the last handle of a file
// to close checkpoints its -wal file into the database file. Pooling goes on
// for handles released afterwards.
void CloseIdleSessions();

// Creates a new database file at path with the given schema script, in WAL
// mode. Refuses (raises) when the file exists already.
void CreateDatabase(const String& path, const String& schema_sql);

// One statement as SQLite ran it: the text in SQLite's own dialect, the
// values bound to it, and the native handle (a connection of the database
// file) that ran it.
struct NativeStatement {
  String sql;
  std::vector<Variant> values;
  const void* handle = nullptr;
};

// Sees each statement the embedded sessions of this thread run, in order,
// while it lives (measurements replay them on SQLite directly).
class ScopedNativeTrace {
 public:
  explicit ScopedNativeTrace(std::function<void(const NativeStatement&)> observer);
  ~ScopedNativeTrace();
  ScopedNativeTrace(const ScopedNativeTrace&) = delete;
  ScopedNativeTrace& operator=(const ScopedNativeTrace&) = delete;

 private:
  std::function<void(const NativeStatement&)> previous_;
};

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_
