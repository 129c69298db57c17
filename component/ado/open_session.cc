#ifdef MIGPROF_FAULT_SEAM
#include "component/ado/fault_plan.h"
#endif
#include "component/ado/session.h"
#include "component/odbc/odbc_session.h"
#include "component/odbc/server_lock.h"
#include "component/sqlite/sqlite_session.h"
#include "migprof/ado.h"

namespace migprof::ado::detail {
namespace {
constexpr std::string_view kSqlitePrefix = "sqlite:";

std::unique_ptr<Session> OpenNativeSession(const String& connection_string,
                                           const ConnectionParameters& parameters,
                                           long login_timeout, long command_timeout) {
  if (parameters.dsn.compare(0, kSqlitePrefix.size(), kSqlitePrefix) == 0) {
    return sqlite::OpenSession(parameters.dsn.substr(kSqlitePrefix.size()), command_timeout);
  }
  // Every other name is an ODBC data source; the driver manager gets the
  // connection string exactly as the caller wrote it.
  return odbc::OpenSession(connection_string, login_timeout, command_timeout);
}

}  // namespace

std::unique_ptr<Session> OpenSession(const String& connection_string,
                                     const ConnectionParameters& parameters, long login_timeout,
                                     long command_timeout) {
#ifdef MIGPROF_FAULT_SEAM
  return OpenUnderFaultPlan([&] {
    return OpenNativeSession(connection_string, parameters, login_timeout, command_timeout);
  });
#else
  return OpenNativeSession(connection_string, parameters, login_timeout, command_timeout);
#endif
}

}  // namespace migprof::ado::detail

namespace migprof::ado {

void CloseIdleConnections() {
  sqlite::CloseIdleSessions();
  odbc::CloseIdleLockConnections();
  odbc::CloseIdleSessions();
}

}  // namespace migprof::ado
