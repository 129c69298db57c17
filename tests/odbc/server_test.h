// Helpers for the tests that need a real database server. They run when
// MIGPROF_TEST_DSN names an ODBC data source and are skipped otherwise.
#ifndef MIGPROF_TESTS_ODBC_SERVER_TEST_H_
#define MIGPROF_TESTS_ODBC_SERVER_TEST_H_

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "testing/test_database.h"

namespace migprof::testing {

class OdbcServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (db_.embedded()) GTEST_SKIP() << "needs a server: set MIGPROF_TEST_DSN";
  }

  // A new connection whose statements wait at most command_timeout seconds.
  std::shared_ptr<ado::Connection> Connect(long command_timeout = 60) const {
    auto connection = ado::Connection::Create();
    connection->CommandTimeout(command_timeout);
    connection->Open("DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() + ";");
    return connection;
  }

  // The data source is a MariaDB or MySQL server (SQL Server has no
  // version()).
  bool IsMariaDb() const {
    try {
      return db_.Value("select version()").find('.') != std::string::npos;
    } catch (const ComError&) {
      return false;
    }
  }

  // The server's id of a connection (MariaDB).
  static long ConnectionId(ado::Connection& connection) {
    return connection.Execute("select connection_id()")->Fields().Item(Integer{0}).Value().ToLong();
  }

  // Ends a connection from the server's side, as an administrator would.
  void Kill(long id) const { Connect()->Execute("kill connection " + std::to_string(id)); }

  // Waits up to 20 seconds for a statement whose text contains `fragment`
  // to be running on another connection of this user, and returns that
  // connection's id (0 when none appears).
  long WaitForStatement(const std::string& fragment) const {
    auto watcher = Connect();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      auto rs = watcher->Execute(
          "select id from information_schema.processlist where id <> connection_id() and "
          "command = 'Query' and info like '%" +
          fragment + "%'");
      if (!rs->EndOfFile()) return rs->Fields().Item(Integer{0}).Value().ToLong();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
  }

  TestDatabase db_;
};

// Rejects a test that needs MariaDB on another server.
#define MIGPROF_REQUIRE_MARIADB()                                    \
  do {                                                               \
    if (!IsMariaDb()) GTEST_SKIP() << "needs a MariaDB data source"; \
  } while (false)

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_ODBC_SERVER_TEST_H_
