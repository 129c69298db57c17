#include "component/odbc/odbc_api.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "component/odbc/wide_text.h"

namespace migprof::odbc {

namespace {

std::mutex environment_mutex;
SQLHENV environment = SQL_NULL_HENV;
long allocated_connections = 0;

SQLHENV EnvironmentLocked() {
  if (environment == SQL_NULL_HENV) {
    SQLHENV handle = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
      throw ComError(errc::kProviderFailure, "The ODBC driver manager could not be initialised.");
    }

    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    environment = handle;
  }
  return environment;
}

}  // namespace

SQLHENV Environment() {
  std::lock_guard<std::mutex> lock(environment_mutex);
  return EnvironmentLocked();
}

SQLHDBC AllocateConnection(DriverTraits traits) {
  std::lock_guard<std::mutex> lock(environment_mutex);
  const SQLHENV env = EnvironmentLocked();
  SQLHDBC dbc = SQL_NULL_HDBC;
  Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env, Stage::kConnect, traits);
  ++allocated_connections;
  return dbc;
}

void FreeConnection(SQLHDBC dbc) {
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  std::lock_guard<std::mutex> lock(environment_mutex);
  --allocated_connections;
}

void FreeEnvironmentIfUnused() {
  std::lock_guard<std::mutex> lock(environment_mutex);
  if (environment == SQL_NULL_HENV || allocated_connections > 0) return;
  if (SQL_SUCCEEDED(SQLFreeHandle(SQL_HANDLE_ENV, environment))) environment = SQL_NULL_HENV;
}

namespace {

// SQLGetDiagRec(W) for record 1, with a message buffer grown to fit.
template <typename Char, typename GetRecord>
Diagnostic ReadRecord(GetRecord get_record) {
  Diagnostic diagnostic;
  Char state[6] = {};
  SQLINTEGER native = 0;
  std::vector<Char> message(1024);
  SQLSMALLINT length = 0;
  SQLRETURN rc =
      get_record(state, &native, message.data(), static_cast<SQLSMALLINT>(message.size()), &length);
  if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(length) >= message.size()) {
    message.resize(static_cast<std::size_t>(length) + 1);
    rc = get_record(state, &native, message.data(), static_cast<SQLSMALLINT>(message.size()),
                    &length);
  }
  if (!SQL_SUCCEEDED(rc)) return diagnostic;
  const std::size_t used = std::min(static_cast<std::size_t>(length), message.size() - 1);
  if constexpr (sizeof(Char) == 1) {
    diagnostic.sqlstate.assign(reinterpret_cast<const char*>(state), 5);
    diagnostic.message.assign(reinterpret_cast<const char*>(message.data()), used);
  } else {
    diagnostic.sqlstate = FromWide(state, 5);
    diagnostic.message = FromWide(message.data(), used);
  }
  diagnostic.native_error = native;
  return diagnostic;
}

}  // namespace

Diagnostic ReadDiagnostic(SQLSMALLINT handle_type, SQLHANDLE handle, bool wide) {
  if (handle == SQL_NULL_HANDLE) return {};
  if (wide) {
    return ReadRecord<SQLWCHAR>([&](SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                    SQLSMALLINT size, SQLSMALLINT* length) {
      return SQLGetDiagRecW(handle_type, handle, 1, state, native, message, size, length);
    });
  }
  return ReadRecord<SQLCHAR>([&](SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                 SQLSMALLINT size, SQLSMALLINT* length) {
    return SQLGetDiagRec(handle_type, handle, 1, state, native, message, size, length);
  });
}

SQLRETURN Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Stage stage,
                DriverTraits traits) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return rc;
  throw ErrorFor(ReadDiagnostic(handle_type, handle, traits.wide), stage, traits.server);
}

StatementHandle::StatementHandle(SQLHDBC dbc, DriverTraits traits) : traits_(traits) {
  odbc::Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_), SQL_HANDLE_DBC, dbc,
              Stage::kStatement, traits);
}

StatementHandle::~StatementHandle() {
  if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

}  // namespace migprof::odbc
