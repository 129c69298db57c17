// Connections the process keeps for reuse behave as new ones: whatever state
// a released connection was left in, the next connection has none of it,
// commits each statement on its own and sees every committed row; and
// CloseIdleConnections ends them all without stopping new connections.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "component/odbc/connection_socket.h"
#include "testing/test_database.h"

namespace migprof {
namespace {

// unixODBC's own pool (odbcinst.ini: Pooling = Yes, as the MariaDB suite sets
// with MIGPROF_ODBC_POOLING=1) keeps the connections the layer closes, with
// their session state, and hands them out again.
bool DriverManagerPools() {
  const char* pooling = std::getenv("MIGPROF_ODBC_POOLING");
  return pooling != nullptr && std::string(pooling) == "1";
}

using testing::ComponentTest;
using testing::RaisedBy;

// The first value of a query's first row, in text form ("NULL" for null).
std::string ValueOn(ado::Connection& connection, const std::string& sql) {
  auto rs = connection.Execute(sql);
  if (rs->EndOfFile()) return "<no row>";
  const Variant value = rs->Fields().Item(Integer{0}).Value();
  return value.IsNull() ? "NULL" : value.ToString();
}

struct LeftState {
  const char* name;
  // Leaves the state on a connection about to be released.
  std::function<void(ado::Connection&, bool embedded)> leave;
  // A query and what a new connection answers to it, per backend.
  const char* embedded_probe;
  const char* embedded_answer;
  const char* server_probe;
  const char* server_answer;
};

TEST_F(ComponentTest, ReleasedConnectionLeavesNothingToTheNext) {
  const LeftState kCases[] = {
      {"open transaction",
       [](ado::Connection& c, bool) {
         c.BeginTrans();
         c.Execute("insert into qzusr100 (defa) values (7)");
       },
       "select count(*) from qzusr100", "0", "select count(*) from qzusr100", "0"},
      {"rows half read",
       [](ado::Connection& c, bool) {
         c.Execute("insert into qzusr100 (defa) values (7)");
         c.Execute("insert into qzusr100 (defa) values (8)");
         auto rs = ado::Recordset::Create();
         rs->Open("select defa from qzusr100", c.shared_from_this(), 2, 3, -1);
         rs->MoveNext();
       },
       "select count(*) from qzusr100", "2", "select count(*) from qzusr100", "2"},
      {"changed setting",
       [](ado::Connection& c, bool embedded) {
         c.Execute(embedded ? "PRAGMA synchronous = OFF"
                            : "SET SESSION TRANSACTION ISOLATION LEVEL SERIALIZABLE");
       },
       "PRAGMA synchronous", "2", "select @@tx_isolation", "READ-COMMITTED"},
      {"session object",
       [](ado::Connection& c, bool embedded) {
         c.Execute(embedded ? "create temp table probe (x int)" : "SET @probe = 5");
       },
       "select count(*) from sqlite_temp_master", "0", "select @probe", "NULL"},
      {"failed statement",
       [](ado::Connection& c, bool) {
         RaisedBy([&] { c.Execute("select nosuchcolumn from qzusr100"); });
       },
       "select count(*) from qzusr100", "0", "select count(*) from qzusr100", "0"},
  };
  const bool embedded = db_.embedded();
  for (const LeftState& state : kCases) {
    SCOPED_TRACE(state.name);
    db_.Exec("delete from qzusr100");
    ado::CloseIdleConnections();
    state.leave(*object_.getNewConnection(), embedded);

    auto next = object_.getNewConnection();
    if (!embedded && DriverManagerPools() && std::string(state.name) == "session object") continue;
    EXPECT_EQ(ValueOn(*next, embedded ? state.embedded_probe : state.server_probe),
              embedded ? state.embedded_answer : state.server_answer);
    // No transaction is open, and a statement commits on its own: another
    // connection sees its row at once, and it sees the other's.
    EXPECT_EQ(RaisedBy([&] { next->CommitTrans(); }).number(), errc::kNoTransaction);
    const long before = db_.Count("qzusr100");
    next->Execute("insert into qzusr100 (defa) values (9)");
    EXPECT_EQ(db_.Count("qzusr100"), before + 1);
    object_.getNewConnection()->Execute("insert into qzusr100 (defa) values (10)");
    EXPECT_EQ(ValueOn(*next, "select count(*) from qzusr100"), std::to_string(before + 2));
  }
}

TEST_F(ComponentTest, CloseIdleConnectionsEndsKeptConnectionsOnly) {
  auto in_use = object_.getNewConnection();
  in_use->Execute("insert into qzusr100 (defa) values (1)");
  std::string kept_id;
  if (!db_.embedded()) {
    kept_id = ValueOn(*object_.getNewConnection(), "select connection_id()");
    // A connection released clean is the next one handed out: no new login.
    EXPECT_EQ(ValueOn(*object_.getNewConnection(), "select connection_id()"), kept_id);
  }
  ado::CloseIdleConnections();
  // The connection in use goes on; new connections are made as before.
  EXPECT_EQ(ValueOn(*in_use, "select count(*) from qzusr100"), "1");
  auto fresh = object_.getNewConnection();
  fresh->Execute("insert into qzusr100 (defa) values (2)");
  EXPECT_EQ(ValueOn(*in_use, "select count(*) from qzusr100"), "2");
  if (!db_.embedded()) {
    if (!DriverManagerPools()) {
      EXPECT_NE(ValueOn(*fresh, "select connection_id()"), kept_id);
    }
    return;
  }
  // Once the last connection of the file is closed, its -wal file is written
  // back into the database file and removed.
  in_use.reset();
  fresh.reset();
  ado::CloseIdleConnections();
  EXPECT_FALSE(std::filesystem::exists(db_.path() + "-wal"));
  EXPECT_EQ(db_.Count("qzusr100"), 2);
}

// What a statement told about its columns is kept per statement shape; a
// table dropped through the layer makes the same shape fail at Open again.
TEST_F(ComponentTest, StatementOfADroppedTableFailsAtOpen) {
  auto rs = ado::Recordset::Create();
  rs->Open("select defa from qzusr100 where usrn = 'a'", object_.getNewConnection(), 2, 3, -1);
  EXPECT_TRUE(rs->EndOfFile());
  db_.Exec("drop table qzusr100");
  auto again = ado::Recordset::Create();
  EXPECT_EQ(RaisedBy([&] {
              again->Open("select defa from qzusr100 where usrn = 'b'", object_.getNewConnection(),
                          2, 3, -1);
            }).number(),
            errc::kErrorsInCommand);
}

// A kept connection is checked by looking at its socket: found by its port
// pair, open while the server keeps it, closed once the server ends it.
TEST(ConnectionSocket, FoundByPortsAndSeenClosedWhenThePeerEndsIt) {
  const struct {
    const char* host;
    int port;
  } kHosts[] = {
      {"127.0.0.1:54321", 54321}, {"[::1]:3306", 3306}, {"localhost", 0}, {"::1", 0}, {"host:", 0},
      {"host:99999", 0},          {"host:12a", 0}};
  for (const auto& host : kHosts) EXPECT_EQ(odbc::ClientPortOf(host.host), host.port) << host.host;

  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const int server = accept(listener, nullptr, nullptr);
  sockaddr_in local{};
  length = sizeof local;
  ASSERT_EQ(getsockname(client, reinterpret_cast<sockaddr*>(&local), &length), 0);

  const odbc::ConnectionSocket found =
      odbc::FindConnectionSocket(ntohs(local.sin_port), ntohs(address.sin_port));
  EXPECT_EQ(found.fd, client);
  EXPECT_EQ(odbc::Probe(found), odbc::SocketState::kOpen);
  EXPECT_EQ(write(server, "x", 1), 1);  // something the client did not ask for
  EXPECT_EQ(odbc::Probe(found), odbc::SocketState::kClosed);
  close(server);
  EXPECT_EQ(odbc::Probe(found), odbc::SocketState::kClosed);
  close(client);
  EXPECT_EQ(odbc::Probe(found), odbc::SocketState::kUnknown);
  EXPECT_EQ(odbc::FindConnectionSocket(ntohs(local.sin_port), ntohs(address.sin_port)).fd, -1);
  close(listener);
}

}  // namespace
}  // namespace migprof
