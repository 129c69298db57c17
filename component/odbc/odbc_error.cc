#include "component/odbc/odbc_error.h"

#include <algorithm>
#include <cctype>

namespace migprof::odbc {
namespace {

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
  return std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         }) != text.end();
}

// MariaDB reports these with the general SQLSTATE HY000 (or 70100), so
// their native numbers decide.
bool IsMariaDbTimeout(long native) {
  return native == 1205      // lock wait timeout exceeded
         || native == 1969   // max_statement_time exceeded
         || native == 3024;  // MySQL's name for the same
}

bool IsMariaDbLostConnection(long native) {
  return native == 1927      // connection was killed
         || native == 2006   // server has gone away
         || native == 2013   // lost connection during query
         || native == 2055;  // lost connection at reading
}

}  // namespace

Server ServerFromDbmsName(std::string_view dbms_name) {
  return ContainsIgnoreCase(dbms_name, "mariadb") || ContainsIgnoreCase(dbms_name, "mysql")
             ? Server::kMariaDb
             : Server::kSqlServer;
}

ComError ErrorFor(const Diagnostic& diagnostic, Stage stage, Server server) {
  const std::string& state = diagnostic.sqlstate;
  if (state == "IM002") return ComError(errc::kProviderFailure, errtext::kDataSourceNotFound);
  std::string text = diagnostic.message;
  if (text.empty()) {
    text = "The ODBC driver reported a failure (SQLSTATE " + (state.empty() ? "none" : state) +
           ") without a message.";
  }
  const std::string_view state_class = std::string_view(state).substr(0, 2);
  if (stage == Stage::kConnect || state_class == "IM" || state_class == "08" ||
      state_class == "28") {
    return ComError(errc::kProviderFailure, text);
  }
  if (state == "HYT00" || state == "HYT01") return ComError(errc::kQueryTimeout, text);
  if (server == Server::kMariaDb) {
    if (IsMariaDbTimeout(diagnostic.native_error)) return ComError(errc::kQueryTimeout, text);
    if (IsMariaDbLostConnection(diagnostic.native_error)) {
      return ComError(errc::kProviderFailure, text);
    }
  }
  // A deadlock victim and a cluster's certification conflict: try again.
  if (state == "40001" || (server == Server::kMariaDb && diagnostic.native_error == 1213)) {
    return ComError(errc::kWriteConflict, errtext::kWriteConflict + text);
  }
  if (state_class == "23") return ComError(errc::kIntegrityViolation, text);
  return ComError(errc::kErrorsInCommand, text);
}

}  // namespace migprof::odbc
