#include "configmgt/tables.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "component/ado/session.h"

namespace migprof::configmgt {

std::vector<std::string> ScriptStatements(const std::string& script) {
  std::istringstream in(script);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("--", 0) != 0) text += line + "\n";
  }
  std::vector<std::string> statements;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string piece = text.substr(start, end - start);
    if (piece.find_first_not_of(" \t\r\n") != std::string::npos) statements.push_back(piece);
    start = end + 1;
  }
  return statements;
}

Dialect DialectOf(ado::Connection& connection) {
  if (ado::detail::ParseConnectionString(connection.ConnectionString()).dsn.rfind("sqlite:", 0) ==
      0) {
    return Dialect::kEmbedded;
  }
  try {
    connection.Execute("select version()");
    return Dialect::kMariaDb;
  } catch (const ComError&) {
    return Dialect::kSqlServer;  // SQL Server has no version()
  }
}

void EnsureTables(ado::Connection& connection) {
  try {
    connection.Execute("select count(*) from qzcfg110 where 1 = 0");
    return;
  } catch (const ComError&) {
    // Missing: created below. Any other trouble shows again there.
  }
  try {
    for (const std::string& statement : ScriptStatements(TableScript(DialectOf(connection)))) {
      connection.Execute(statement);
    }
  } catch (const ComError&) {
    // Another process starting at the same moment may be creating them: its
    // first table makes ours fail while its last one is still to come. Wait a
    // little for the last one before calling the failure ours.
    for (int attempt = 0; attempt < 50; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      try {
        connection.Execute("select count(*) from qzcfg110 where 1 = 0");
        return;
      } catch (const ComError&) {
      }
    }
    throw;
  }
}

}  // namespace migprof::configmgt
