#include "component/change_lock.h"

#include "component/ado/session.h"
#include "component/odbc/server_lock.h"
#include "component/sqlite/lock_file.h"

namespace migprof::detail {

std::shared_ptr<ChangeLock> TakeChangeLock(const String& connection_string, long login_timeout,
                                           long timeout_seconds) {
  static constexpr std::string_view kSqlitePrefix = "sqlite:";
  const ado::detail::ConnectionParameters parameters =
      ado::detail::ParseConnectionString(connection_string);
  if (parameters.dsn.compare(0, kSqlitePrefix.size(), kSqlitePrefix) == 0) {
    return sqlite::TakeFileLock(parameters.dsn.substr(kSqlitePrefix.size()), timeout_seconds);
  }
  return odbc::TakeServerLock(connection_string, login_timeout, timeout_seconds);
}

}  // namespace migprof::detail
