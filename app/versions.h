// The text of `migprof --version`.
#ifndef MIGPROF_APP_VERSIONS_H_
#define MIGPROF_APP_VERSIONS_H_

#include <string>

namespace migprof::app {

// The version of the unixODBC driver manager the process runs with and the
// ODBC version it implements, from SQL_DM_VER: "2.3 (ODBC 3.52)" (the
// driver manager names no patch level). Empty when it cannot be asked.
std::string DriverManagerVersion();

// Three lines (no final line break): the tool's version, then the SQLite library and the unixODBC
// driver manager the process runs with (not the ones it was built against).
std::string VersionText();

}  // namespace migprof::app

#endif  // MIGPROF_APP_VERSIONS_H_
