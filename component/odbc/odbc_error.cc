#include "component/odbc/odbc_error.h"

#include <algorithm>
#include <cctype>

#include "component/sql/sql_server_messages.h"

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

// MariaDB's refusals of a value that does not fit its column, with SQL
// Server's text for the same refusal after the driver's "[...][...]"
// prefixes; any other message as it is.
std::string SqlServerTextFor(const Diagnostic& diagnostic) {
  const std::string& text = diagnostic.message;
  std::size_t server_text = 0;
  while (server_text < text.size() && text[server_text] == '[') {
    const std::size_t close = text.find(']', server_text);
    if (close == std::string::npos) break;
    server_text = close + 1;
  }
  const std::string prefix = text.substr(0, server_text);
  const std::string_view message = std::string_view(text).substr(server_text);
  switch (diagnostic.native_error) {
    case 1406:  // Data too long for column '...' at row n
      return prefix + tsql::kTruncatedText;
    case 1264:  // Out of range value for column '...' at row n
      return prefix + tsql::kIntOverflowText;
    case 1366: {  // Incorrect integer value: '...' for column ... at row n
      static constexpr std::string_view kStart = "Incorrect integer value: '";
      const std::size_t end = message.rfind("' for column ");
      if (message.substr(0, kStart.size()) != kStart || end == std::string_view::npos ||
          end < kStart.size()) {
        return text;
      }
      return prefix +
             tsql::ConversionFailedText(message.substr(kStart.size(), end - kStart.size()));
    }
    default:
      return text;
  }
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
    if (!diagnostic.message.empty()) text = SqlServerTextFor(diagnostic);
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
