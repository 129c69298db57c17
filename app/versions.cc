#include "app/versions.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <cstdio>

#include "component/odbc/odbc_api.h"
#include "migprof/version.h"

namespace migprof::app {

std::string DriverManagerVersion() {
  SQLHDBC dbc = SQL_NULL_HDBC;
  try {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, odbc::Environment(), &dbc))) return "";
  } catch (...) {
    return "";  // no environment: the driver manager refused to start
  }
  // The driver manager answers SQL_DM_VER itself, before any connection.
  SQLCHAR text[64] = {};
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetInfo(dbc, SQL_DM_VER, text, sizeof text, &length);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  if (!SQL_SUCCEEDED(rc)) return "";
  // "03.52.0002.0003": the ODBC version the driver manager implements, then
  // its own major and minor version (unixODBC 2.3).
  const std::string answer = reinterpret_cast<const char*>(text);
  int odbc_major = 0, odbc_minor = 0, major = 0, minor = 0;
  if (std::sscanf(answer.c_str(), "%d.%d.%d.%d", &odbc_major, &odbc_minor, &major, &minor) != 4) {
    return answer;
  }
  return std::to_string(major) + "." + std::to_string(minor) + " (ODBC " +
         std::to_string(odbc_major) + "." + std::to_string(odbc_minor) + ")";
}

std::string VersionText() {
  std::string manager = DriverManagerVersion();
  return std::string("migprof ") + MIGPROF_VERSION + "\nSQLite " + sqlite3_libversion() +
         "\nunixODBC " + (manager.empty() ? "unavailable" : manager);
}

}  // namespace migprof::app
