#include "component/odbc/server_lock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "component/odbc/odbc_api.h"
#include "component/odbc/result_reader.h"

namespace migprof::odbc {
namespace {

using Clock = std::chrono::steady_clock;

enum class LockKind { kSqlServer, kMariaDb, kGalera };

// A Galera holder renews its lease this often; a waiter that sees the same
// holder and heartbeat for kLease takes the lock over.
constexpr auto kHeartbeat = std::chrono::seconds(1);
constexpr auto kLease = std::chrono::seconds(15);

constexpr const char* kMariaDbLockName = "CONCAT('migprof.', MD5(IFNULL(DATABASE(), '')))";

// A connection that only lock statements run on.
struct LockConnection {
  SQLHDBC dbc = SQL_NULL_HDBC;
  DriverTraits traits{Server::kSqlServer, false};
  LockKind kind = LockKind::kSqlServer;
  bool lock_row_ready = false;  // Galera: qzlck100 holds the lock's row
  Clock::time_point released;
};

void Disconnect(LockConnection& connection) {
  SQLDisconnect(connection.dbc);
  FreeConnection(connection.dbc);
  connection.dbc = SQL_NULL_HDBC;
}

ado::detail::ResultRows Run(LockConnection& connection, const std::string& sql) {
  StatementHandle statement(connection.dbc, connection.traits);
  statement.Check(SQLExecDirect(statement.get(),
                                reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                static_cast<SQLINTEGER>(sql.size())));
  return ReadResult(statement);
}

// Lock connections released for the next lock, per connection string; one
// that waited more than a minute is closed instead (the server may have
// dropped it).
class IdleLockConnections {
 public:
  static IdleLockConnections& Instance() {
    // Never destroyed, as locks may end during exit; at exit the kept
    // connections are closed, so that the server sees each one end.
    static IdleLockConnections* instance = [] {
      std::atexit([] {
        Instance().CloseAll(/*for_good=*/true);
        FreeEnvironmentIfUnused();
      });
      return new IdleLockConnections();
    }();
    return *instance;
  }

  std::optional<LockConnection> Acquire(const String& connection_string) {
    std::vector<LockConnection> stale;
    std::optional<LockConnection> found;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::vector<LockConnection>& idle = idle_[connection_string];
      const auto now = Clock::now();
      while (!idle.empty() && !found) {
        LockConnection connection = idle.back();
        idle.pop_back();
        if (now - connection.released > std::chrono::seconds(60)) {
          stale.push_back(connection);
        } else {
          found = connection;
        }
      }
    }
    for (LockConnection& connection : stale) Disconnect(connection);
    return found;
  }

  void Release(const String& connection_string, LockConnection connection) {
    connection.released = Clock::now();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::vector<LockConnection>& idle = idle_[connection_string];
      if (!closed_ && idle.size() < 4) {
        idle.push_back(connection);
        return;
      }
    }
    Disconnect(connection);
  }

  // Closes the kept connections; for_good (at exit) also those released
  // afterwards.
  void CloseAll(bool for_good = false) {
    std::map<String, std::vector<LockConnection>> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = closed_ || for_good;
      all.swap(idle_);
    }
    for (auto& [name, connections] : all) {
      for (LockConnection& connection : connections) Disconnect(connection);
    }
  }

 private:
  std::mutex mutex_;
  bool closed_ = false;
  std::map<String, std::vector<LockConnection>> idle_;
};

LockConnection Connect(const String& connection_string, long login_timeout) {
  LockConnection connection;
  connection.dbc = AllocateConnection(connection.traits);
  try {
    SQLSetConnectAttr(
        connection.dbc, SQL_ATTR_LOGIN_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(std::max(0L, login_timeout))), 0);
    SQLCHAR completed[1024];
    SQLSMALLINT completed_length = 0;
    Check(SQLDriverConnect(connection.dbc, nullptr,
                           reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection_string.c_str())),
                           static_cast<SQLSMALLINT>(connection_string.size()), completed,
                           sizeof completed, &completed_length, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, connection.dbc, Stage::kConnect, connection.traits);
  } catch (...) {
    FreeConnection(connection.dbc);
    throw;
  }
  try {
    SQLCHAR dbms[256] = {};
    SQLSMALLINT dbms_length = 0;
    Check(SQLGetInfo(connection.dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &dbms_length),
          SQL_HANDLE_DBC, connection.dbc, Stage::kConnect, connection.traits);
    connection.traits.server = ServerFromDbmsName(reinterpret_cast<const char*>(dbms));
    if (connection.traits.server == Server::kMariaDb) {
      connection.kind = LockKind::kMariaDb;
      ado::detail::ResultRows wsrep = Run(connection, "SHOW VARIABLES LIKE 'wsrep_on'");
      if (!wsrep.rows.empty() && wsrep.rows[0].size() > 1 && wsrep.rows[0][1].ToString() == "ON") {
        connection.kind = LockKind::kGalera;
      }
    }
  } catch (const ComError& error) {
    Disconnect(connection);
    throw ComError(errc::kProviderFailure, error.description());
  }
  return connection;
}

std::string RandomToken() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device device;
  std::string token;
  for (int i = 0; i < 32; ++i) token += kHex[device() & 15];
  return token;
}

[[noreturn]] void RaiseTimeout() { throw ComError(errc::kQueryTimeout, errtext::kQueryTimeout); }

class ServerLock final : public detail::ChangeLock {
 public:
  ServerLock(String connection_string, LockConnection connection)
      : connection_string_(std::move(connection_string)), connection_(connection) {}

  ~ServerLock() override {
    if (heartbeat_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
      }
      wake_.notify_all();
      heartbeat_.join();
    }
    if (held_ && Release()) {
      IdleLockConnections::Instance().Release(connection_string_, connection_);
    } else {
      Disconnect(connection_);  // the server lets go of what the connection held
    }
  }
  ServerLock(const ServerLock&) = delete;
  ServerLock& operator=(const ServerLock&) = delete;

  void Take(long timeout_seconds) {
    switch (connection_.kind) {
      case LockKind::kSqlServer:
        TakeSqlServer(timeout_seconds);
        break;
      case LockKind::kMariaDb:
        TakeMariaDb(timeout_seconds);
        break;
      case LockKind::kGalera:
        TakeLockRow(timeout_seconds);
        heartbeat_ = std::thread([this] { Heartbeat(); });
        break;
    }
    held_ = true;
  }

 private:
  void TakeSqlServer(long timeout_seconds) {
    const long long milliseconds = timeout_seconds > 0 ? timeout_seconds * 1000LL : -1;
    ado::detail::ResultRows result =
        Run(connection_,
            "SET NOCOUNT ON; DECLARE @r int; EXEC @r = sp_getapplock @Resource = N'migprof', "
            "@LockMode = N'Exclusive', @LockOwner = N'Session', @LockTimeout = " +
                std::to_string(std::min(milliseconds, 2147483647LL)) + "; SELECT @r");
    const long answer = result.rows.empty() ? -999 : result.rows[0][0].ToLong();
    if (answer == -1) RaiseTimeout();
    if (answer < 0) {
      throw ComError(errc::kProviderFailure,
                     "sp_getapplock refused the change lock (" + std::to_string(answer) + ")");
    }
  }

  void TakeMariaDb(long timeout_seconds) {
    ado::detail::ResultRows result =
        Run(connection_, std::string("SELECT GET_LOCK(") + kMariaDbLockName + ", " +
                             std::to_string(timeout_seconds > 0 ? timeout_seconds : -1) + ")");
    const Variant answer = result.rows.empty() ? Variant::Null() : result.rows[0][0];
    if (answer.IsNull()) {
      throw ComError(errc::kProviderFailure, "GET_LOCK could not take the change lock");
    }
    if (answer.ToLong() != 1) RaiseTimeout();
  }

  // Compare-and-set on the lock's row: the UPDATE changes it only where no
  // holder is recorded (or the one whose lease ran out), and on a cluster
  // it commits only when no other node's change of the row came first.
  void TakeLockRow(long timeout_seconds) {
    if (!connection_.lock_row_ready) {
      try {
        Run(connection_,
            "INSERT IGNORE INTO qzlck100 (lckn, hold, beat) VALUES ('migprof', NULL, 0)");
      } catch (const ComError&) {
        Run(connection_, kLockTableSql);
        Run(connection_,
            "INSERT IGNORE INTO qzlck100 (lckn, hold, beat) VALUES ('migprof', NULL, 0)");
      }
      connection_.lock_row_ready = true;
    }
    token_ = RandomToken();
    const auto deadline = Clock::now() + std::chrono::seconds(timeout_seconds);
    std::string seen;  // holder and heartbeat last seen, and since when
    Clock::time_point seen_since = Clock::now();
    auto pause = std::chrono::microseconds(500);
    for (;;) {
      ado::detail::ResultRows row =
          Run(connection_, "SELECT hold, beat FROM qzlck100 WHERE lckn = 'migprof'");
      std::string condition;
      if (row.rows.empty() || row.rows[0][0].IsNull()) {
        condition = "hold IS NULL";
      } else {
        const std::string holder = row.rows[0][0].ToString();
        const std::string beat = row.rows[0][1].ToString();
        const std::string now_seen = holder + " " + beat;
        if (now_seen != seen) {
          seen = now_seen;
          seen_since = Clock::now();
        } else if (Clock::now() - seen_since >= kLease) {
          condition = "hold = '" + holder + "' AND beat = " + beat;
        }
      }
      if (!condition.empty()) {
        try {
          if (Run(connection_, "UPDATE qzlck100 SET hold = '" + token_ +
                                   "', beat = beat + 1 WHERE lckn = 'migprof' AND " + condition)
                  .rows_affected == 1) {
            return;
          }
        } catch (const ComError& error) {
          // Another node's change of the row came first, or the row stayed
          // locked past the server's lock wait: a node that held it was
          // killed, and the cluster applies nothing until it has been
          // dropped. Either way the row is read again, until the deadline.
          if (error.number() != errc::kWriteConflict && error.number() != errc::kQueryTimeout) {
            throw;
          }
        }
      }
      if (timeout_seconds > 0 && Clock::now() >= deadline) RaiseTimeout();
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(16000));
    }
  }

  void Heartbeat() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kHeartbeat, [this] { return stopping_; })) {
      try {
        Run(connection_, "UPDATE qzlck100 SET beat = beat + 1 WHERE lckn = 'migprof' AND hold = '" +
                             token_ + "'");
      } catch (const ComError&) {
        // A conflict with a waiter's look, or a lost node: the next beat
        // tries again; a holder that cannot beat loses the lock by its lease.
      }
    }
  }

  // Whether the lock was given back and the connection is as good as new.
  bool Release() {
    try {
      switch (connection_.kind) {
        case LockKind::kSqlServer:
          Run(connection_,
              "EXEC sp_releaseapplock @Resource = N'migprof', @LockOwner = N'Session'");
          return true;
        case LockKind::kMariaDb:
          Run(connection_, std::string("SELECT RELEASE_LOCK(") + kMariaDbLockName + ")");
          return true;
        case LockKind::kGalera:
          for (int attempt = 0; attempt < 50; ++attempt) {
            try {
              Run(connection_,
                  "UPDATE qzlck100 SET hold = NULL WHERE lckn = 'migprof' AND hold = '" + token_ +
                      "'");
              return true;
            } catch (const ComError& error) {
              if (error.number() != errc::kWriteConflict) throw;
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
          }
          return false;
      }
    } catch (const ComError&) {
    }
    return false;
  }

  String connection_string_;
  LockConnection connection_;
  bool held_ = false;
  std::string token_;
  std::thread heartbeat_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
};

}  // namespace

std::shared_ptr<detail::ChangeLock> TakeServerLock(const String& connection_string,
                                                   long login_timeout, long timeout_seconds) {
  std::optional<LockConnection> connection =
      IdleLockConnections::Instance().Acquire(connection_string);
  if (!connection) connection = Connect(connection_string, login_timeout);
  auto lock = std::make_shared<ServerLock>(connection_string, *connection);
  try {
    lock->Take(timeout_seconds);
  } catch (const ComError& error) {
    // A kept connection the server dropped meanwhile: once more on a new one.
    if (error.number() != errc::kProviderFailure) throw;
    lock.reset();
    lock =
        std::make_shared<ServerLock>(connection_string, Connect(connection_string, login_timeout));
    lock->Take(timeout_seconds);
  }
  return lock;
}

void CloseIdleLockConnections() { IdleLockConnections::Instance().CloseAll(); }

}  // namespace migprof::odbc
