// The embedded database: a SQLite file that answers the component's SQL
// Server statements as SQL Server does.
#ifndef MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_
#define MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_

#include <memory>

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

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_SQLITE_SESSION_H_
