// The driver manager's handles as the ODBC driver uses them: the process's
// one environment, the owner of a statement handle, and the one check every
// call's result goes through.
#ifndef MIGPROF_COMPONENT_ODBC_ODBC_API_H_
#define MIGPROF_COMPONENT_ODBC_ODBC_API_H_

#include <sql.h>
#include <sqlext.h>

#include "component/odbc/odbc_error.h"

namespace migprof::odbc {

// How a session talks to its driver: the server's kind, and whether text
// crosses the driver manager as UTF-16 through the wide functions or as UTF-8
// through the narrow ones. MariaDB Connector/ODBC 3.1 miscounts characters
// when it converts some results to UTF-16, so its sessions use UTF-8 (their
// connection character set is utf8mb4); SQL Server's drivers get UTF-16,
// which does not depend on the process's locale.
struct DriverTraits {
  Server server = Server::kSqlServer;
  bool wide = true;
};

// The process-wide ODBC 3 environment, created on first use. Raises
// kProviderFailure when the driver manager refuses to create it.
// Thread-safe.
SQLHENV Environment();

// A connection handle allocated on the environment; the environment stays
// while any is allocated. Raises like Environment() or Check().
SQLHDBC AllocateConnection(DriverTraits traits);
void FreeConnection(SQLHDBC dbc);

// Frees the environment when no connection handle is allocated on it (the
// next Environment() creates a new one). The driver manager may close the
// connections of its own pool with it; unixODBC 2.3.11 with Pooling = Yes
// was seen to keep them open until the process ended.
void FreeEnvironmentIfUnused();

// The first diagnostic record the last call left on a handle; all fields
// empty when there is none.
Diagnostic ReadDiagnostic(SQLSMALLINT handle_type, SQLHANDLE handle, bool wide);

// Returns rc when the call succeeded (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or
// SQL_NO_DATA); otherwise raises ErrorFor() of the handle's diagnostic.
SQLRETURN Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Stage stage,
                DriverTraits traits);

// A statement handle of a connection, freed with its owner.
class StatementHandle {
 public:
  // Allocates a statement on dbc; raises on failure.
  StatementHandle(SQLHDBC dbc, DriverTraits traits);
  ~StatementHandle();
  StatementHandle(StatementHandle&& other) noexcept
      : handle_(other.handle_), traits_(other.traits_) {
    other.handle_ = SQL_NULL_HSTMT;
  }
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;

  SQLHSTMT get() const { return handle_; }
  const DriverTraits& traits() const { return traits_; }
  // Check() for a call made on this statement.
  SQLRETURN Check(SQLRETURN rc) const {
    return odbc::Check(rc, SQL_HANDLE_STMT, handle_, Stage::kStatement, traits_);
  }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  DriverTraits traits_;
};

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_ODBC_API_H_
