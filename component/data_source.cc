#include "migprof/data_source.h"

namespace migprof {

String ConnectionString(const DataSource& source) {
  return "DSN=" + source.name + ";uid=" + source.user + ";pwd=" + source.password + ";";
}

std::shared_ptr<ado::Connection> OpenDataSource(const DataSource& source, Timeouts timeouts) {
  std::shared_ptr<ado::Connection> connection = ado::Connection::Create();
  connection->ConnectionTimeout(timeouts.connection);
  connection->CommandTimeout(timeouts.command);
  connection->Open(ConnectionString(source));
  return connection;
}

}  // namespace migprof
