// The change lock of a database server (component/change_lock.h), taken on
// a connection of its own that no statement of a member runs on:
//   - SQL Server: sp_getapplock on N'migprof', exclusive, owned by the
//     session;
//   - MariaDB: GET_LOCK('migprof.' + MD5 of the database name);
//   - a MariaDB Galera node (wsrep_on = ON), where GET_LOCK is node-local:
//     the row 'migprof' of qzlck100, taken by an UPDATE that commits only
//     where no other holder's commit came first (the cluster certifies it),
//     kept alive by a heartbeat each second, and taken over by a waiter
//     that saw no heartbeat for 15 seconds (its holder's program or node is
//     gone).
// The server releases the first two when the connection ends; released
// locks leave their connection for the next lock on the same data source.
#ifndef MIGPROF_COMPONENT_ODBC_SERVER_LOCK_H_
#define MIGPROF_COMPONENT_ODBC_SERVER_LOCK_H_

#include <memory>

#include "component/change_lock.h"

namespace migprof::odbc {

// The lock table of a Galera cluster, created by the first lock when
// missing (schema/mariadb.sql has it too).
inline constexpr const char* kLockTableSql =
    "CREATE TABLE IF NOT EXISTS qzlck100 (lckn varchar(64) NOT NULL PRIMARY KEY, "
    "hold varchar(64), beat bigint NOT NULL DEFAULT 0)";

// Takes the lock of the database that connection_string's data source
// holds. Raises kProviderFailure when the lock connection fails and
// errc::kQueryTimeout when timeout_seconds pass without the lock.
std::shared_ptr<detail::ChangeLock> TakeServerLock(const String& connection_string,
                                                   long login_timeout, long timeout_seconds);

// Closes the lock connections kept for reuse.
void CloseIdleLockConnections();

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_SERVER_LOCK_H_
