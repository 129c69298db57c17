#include "component/odbc/odbc_session.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "component/ado/native_trace.h"
#include "component/odbc/bound_parameters.h"
#include "component/odbc/caller_statement.h"
#include "component/odbc/connection_socket.h"
#include "component/odbc/mariadb_dialect.h"
#include "component/odbc/odbc_api.h"
#include "component/odbc/result_reader.h"
#include "component/odbc/row_statements.h"
#include "component/odbc/row_target.h"
#include "component/odbc/wide_text.h"
#include "component/sql/statement_shape.h"
#include "component/sql/tsql_lexer.h"
#include "component/text/ascii.h"

namespace migprof::odbc {
namespace {

using ado::detail::ResultRows;

constexpr const char* kTransactionActive = "Only one transaction can be active on this session.";

// MariaDB's largest lock wait (innodb_lock_wait_timeout), standing for "no
// limit"; its metadata lock wait (lock_wait_timeout) stops at one year.
constexpr long kMaxRowLockWait = 1073741824;
constexpr long kMaxMetadataLockWait = 31536000;

SQLPOINTER AsPointer(long long value) {
  return reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(value));
}

using text::EqualsIgnoreCase;

// Whether the connection string names a driver or a file DSN, which stand in
// for a data source name.
bool NamesADriver(const String& connection_string) {
  std::size_t start = 0;
  while (start < connection_string.size()) {
    std::size_t end = connection_string.find(';', start);
    if (end == String::npos) end = connection_string.size();
    const std::string_view item = std::string_view(connection_string).substr(start, end - start);
    const std::string_view key = item.substr(0, item.find('='));
    if (EqualsIgnoreCase(key, "driver") || EqualsIgnoreCase(key, "filedsn")) return true;
    start = end + 1;
  }
  return false;
}

bool HasDefaultDataSource(SQLHENV environment) {
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[256];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT description_length = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    const SQLRETURN rc = SQLDataSources(environment, direction, name, sizeof name, &name_length,
                                        description, sizeof description, &description_length);
    if (!SQL_SUCCEEDED(rc)) return false;
    if (EqualsIgnoreCase(reinterpret_cast<const char*>(name), "default")) return true;
  }
}

// A statement a connection has prepared, the buffers its markers are bound
// to, and the columns its result had (none before it first gave a result).
// The buffers outlive the statement's handle.
struct PreparedStatement {
  BoundParameters bound;
  StatementHandle handle;
  ResultColumns columns;
  std::uint64_t last_run = 0;  // when it last ran, in runs of all statements
};

// Counts the runs of prepared statements, to find the one run longest ago.
std::atomic<std::uint64_t> prepared_runs{0};

// Statements with parameter markers a connection has prepared, by text.
using PreparedStatements = std::map<String, PreparedStatement>;

// A connected driver connection and what its session learned when it
// connected, kept for the next session on the same connection string.
struct LiveConnection {
  SQLHDBC dbc = SQL_NULL_HDBC;
  DriverTraits traits;
  MariaDbTextType text_type;
  long command_timeout = 0;
  String connection_string;
  ConnectionSocket socket;
  PreparedStatements prepared;
  std::set<String> keyed_reads_run;
  std::chrono::steady_clock::time_point released;
};

void Disconnect(LiveConnection& live) {
  live.prepared.clear();
  SQLDisconnect(live.dbc);
  FreeConnection(live.dbc);
}

// Released connections, per connection string, for reuse instead of a new
// login (which costs a server round trip per step of the handshake). Only a
// connection that is exactly as a new one would be comes back here: see
// OdbcSession::NoteCallerStatement() and OdbcSession::Reset().
class IdleConnections {
 public:
  static IdleConnections& Instance() {
    static IdleConnections* idle = [] {
      // Never destroyed, as sessions may end during exit; at exit the kept
      // connections are closed, so that the server sees each one end.
      std::atexit([] {
        Instance().CloseAll(/*for_good=*/true);
        FreeEnvironmentIfUnused();
      });
      return new IdleConnections();
    }();
    return *idle;
  }

  // A kept connection for connection_string that the driver still finds
  // alive, or none.
  std::optional<LiveConnection> Acquire(const String& connection_string) {
    for (;;) {
      LiveConnection live;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = idle_.find(connection_string);
        if (found == idle_.end()) return std::nullopt;
        live = std::move(found->second);
        idle_.erase(found);
      }
      // One the server may have dropped meanwhile (idle too long, server
      // restarted) is closed, as is one the driver reports dead.
      if (std::chrono::steady_clock::now() - live.released < kMaxIdle && Alive(live)) return live;
      Disconnect(live);
    }
  }

  // A server that ends a connection closes its socket: while the socket is
  // open with nothing to read, the connection is as it was released, and no
  // round trip is needed. Otherwise the driver asks the server (a ping).
  static bool Alive(const LiveConnection& live) {
    switch (Probe(live.socket)) {
      case SocketState::kOpen:
        return true;
      case SocketState::kClosed:
        return false;
      case SocketState::kUnknown:
        break;
    }
    SQLUINTEGER dead = SQL_CD_TRUE;
    return SQL_SUCCEEDED(
               SQLGetConnectAttr(live.dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_FALSE;
  }

  void Release(LiveConnection live) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!closed_ && idle_.count(live.connection_string) < kMaxPerDataSource) {
        live.released = std::chrono::steady_clock::now();
        idle_.emplace(live.connection_string, std::move(live));
        return;
      }
    }
    Disconnect(live);
  }

  // Closes the kept connections; for_good (at exit) also those released
  // afterwards.
  void CloseAll(bool for_good = false) {
    std::multimap<String, LiveConnection> closing;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = closed_ || for_good;
      closing.swap(idle_);
    }
    for (auto& entry : closing) Disconnect(entry.second);
  }

 private:
  static constexpr std::size_t kMaxPerDataSource = 8;
  static constexpr std::chrono::seconds kMaxIdle{60};
  std::mutex mutex_;
  bool closed_ = false;
  std::multimap<String, LiveConnection> idle_;
};

// Whether the text holds more than one statement; a text without ';' never
// does.
bool SeveralStatements(const String& sql) {
  return sql.find(';') != String::npos && tsql::HasSeveralStatements(sql);
}

// What preparing a statement told about its columns and their table, per
// data source and statement shape (the text with the literal values of its
// conditions and values taken out, which decide neither): the component
// opens the same few statements again and again, each on a new connection,
// and differing only in those values. Preparing one costs a round trip to
// the server. A statement of the caller's that may change tables, or any
// failure of a statement, empties the cache of its data source, so that a
// statement that no longer fits its tables is prepared, and fails, as
// before.
class DescribedStatements {
 public:
  struct Entry {
    std::vector<String> columns;
    bool has_target = false;
    ado::detail::RowTarget target;
  };

  static DescribedStatements& Instance() {
    static DescribedStatements* described = new DescribedStatements();
    return *described;
  }

  // Shared, so that a lookup copies nothing under the lock.
  std::shared_ptr<const Entry> Find(const String& connection_string, const String& shape) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find({connection_string, shape});
    if (found == entries_.end()) return nullptr;
    return found->second;
  }

  void Store(const String& connection_string, const String& shape, Entry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= kMaxEntries) entries_.clear();
    entries_[{connection_string, shape}] = std::make_shared<const Entry>(std::move(entry));
  }

  void Forget(const String& connection_string) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto first = entries_.lower_bound({connection_string, String()});
    auto last = first;
    while (last != entries_.end() && last->first.first == connection_string) ++last;
    entries_.erase(first, last);
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;
  std::mutex mutex_;
  std::map<std::pair<String, String>, std::shared_ptr<const Entry>> entries_;
};

class OdbcSession final : public ado::detail::Session {
 public:
  OdbcSession() = default;
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  ~OdbcSession() override {
    if (dbc_ == SQL_NULL_HDBC) return;
    if (connected_ && reusable_ && Reset()) {
      IdleConnections::Instance().Release({dbc_,
                                           traits_,
                                           text_type_,
                                           command_timeout_,
                                           connection_string_,
                                           socket_,
                                           std::move(prepared_),
                                           std::move(keyed_reads_run_),
                                           {}});
      return;
    }
    prepared_.clear();
    if (connected_) {
      // The standard leaves an open transaction in place on disconnect (and
      // refuses to disconnect); drivers differ, so it is ended here.
      if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
      SQLDisconnect(dbc_);
    }
    FreeConnection(dbc_);
  }

  // Takes over a kept connection; returns false when there is none.
  bool Reuse(const String& connection_string, long command_timeout) {
    std::optional<LiveConnection> live = IdleConnections::Instance().Acquire(connection_string);
    if (!live) return false;
    dbc_ = live->dbc;
    connected_ = true;
    traits_ = live->traits;
    text_type_ = live->text_type;
    command_timeout_ = live->command_timeout;
    connection_string_ = connection_string;
    socket_ = live->socket;
    prepared_ = std::move(live->prepared);
    keyed_reads_run_ = std::move(live->keyed_reads_run);
    if (command_timeout_ != std::max(0L, command_timeout)) {
      try {
        SetCommandTimeout(command_timeout);
      } catch (const ComError& error) {
        throw ComError(errc::kProviderFailure, error.description());
      }
    }
    return true;
  }

  void Connect(const String& connection_string, long login_timeout, long command_timeout) {
    const SQLHENV environment = Environment();
    // An empty data source name stands for the one named "Default"; unixODBC
    // would take the first data source defined instead, which may be
    // another database altogether.
    if (ado::detail::ParseConnectionString(connection_string).dsn.empty() &&
        !NamesADriver(connection_string) && !HasDefaultDataSource(environment)) {
      throw ComError(errc::kProviderFailure, errtext::kDataSourceNotFound);
    }
    dbc_ = AllocateConnection(traits_);
    // A driver that cannot apply the timeout still connects.
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, AsPointer(std::max(0L, login_timeout)), 0);
    // Connected through the narrow function, the driver manager hands narrow
    // calls to the driver unchanged; after SQLDriverConnectW unixODBC would
    // convert them to UTF-16 from the process's locale, which is not UTF-8.
    traits_.wide = false;
    SQLCHAR completed[1024];
    SQLSMALLINT completed_length = 0;
    ConnectCheck(SQLDriverConnect(dbc_, nullptr, Narrow(connection_string),
                                  static_cast<SQLSMALLINT>(connection_string.size()), completed,
                                  sizeof completed, &completed_length, SQL_DRIVER_NOPROMPT));
    connected_ = true;
    connection_string_ = connection_string;
    SQLCHAR dbms[256] = {};
    SQLSMALLINT dbms_length = 0;
    ConnectCheck(SQLGetInfo(dbc_, SQL_DBMS_NAME, dbms, sizeof dbms, &dbms_length));
    traits_.server = ServerFromDbmsName(reinterpret_cast<const char*>(dbms));
    if (traits_.server != Server::kMariaDb) traits_.wide = true;
    try {
      if (traits_.server == Server::kMariaDb) PrepareMariaDb();
      SetCommandTimeout(command_timeout);
    } catch (const ComError& error) {
      // A session that cannot be set up is a connection that failed.
      throw ComError(errc::kProviderFailure, error.description());
    }
  }

  void SetCommandTimeout(long seconds) override {
    command_timeout_ = std::max(0L, seconds);
    prepared_.clear();  // they carry the query timeout they were made with
    if (traits_.server != Server::kMariaDb) return;
    // SQL Server lets a statement wait for a lock until its query timeout;
    // MariaDB gives up after its own lock wait limits unless told otherwise.
    const long row =
        command_timeout_ == 0 ? kMaxRowLockWait : std::min(command_timeout_, kMaxRowLockWait);
    const long metadata = command_timeout_ == 0 ? kMaxMetadataLockWait
                                                : std::min(command_timeout_, kMaxMetadataLockWait);
    RunOwn("SET SESSION innodb_lock_wait_timeout = " + std::to_string(row) +
           ", SESSION lock_wait_timeout = " + std::to_string(metadata));
  }

  std::vector<String> Describe(const String& sql, ado::detail::RowTarget* target) override {
    // One reading of the text serves the session's reading and its shape.
    const std::vector<tsql::Token> tokens = tsql::Tokenize(sql);
    const MariaDbCallerText text(sql, tokens);
    const bool may_change_tables = NoteCallerStatement(text.Caller()).may_change_tables;
    const FailureWatch watch(*this);
    if (may_change_tables) DescribedStatements::Instance().Forget(connection_string_);
    const String shape = tsql::ShapeOf(sql, tokens).text;
    if (std::shared_ptr<const DescribedStatements::Entry> known =
            DescribedStatements::Instance().Find(connection_string_, shape);
        known && (known->has_target || target == nullptr)) {
      RefuseSeveralStatements(sql);
      if (target) *target = known->target;
      return known->columns;
    }
    StatementHandle statement = NewStatement();
    const String native = Native(text, sql);
    if (traits_.wide) {
      WideString text = ToWide(native);
      statement.Check(
          SQLPrepareW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())));
    } else {
      statement.Check(
          SQLPrepare(statement.get(), Narrow(native), static_cast<SQLINTEGER>(native.size())));
    }
    DescribedStatements::Entry entry;
    entry.columns = ColumnNames(statement);
    if (target && !entry.columns.empty()) *target = DescribeTarget(statement);
    if (target) {
      entry.has_target = true;
      entry.target = *target;
    }
    std::vector<String> columns = entry.columns;
    DescribedStatements::Instance().Store(connection_string_, shape, std::move(entry));
    return columns;
  }

  // The catalog is read once per data source and table in the process: the
  // component never changes a table's columns or keys, and every query
  // opens a connection of its own.
  ado::detail::RowKey KeyOf(const String& table) override {
    static std::mutex mutex;
    static std::map<std::pair<String, String>, ado::detail::RowKey> keys;
    const std::pair<String, String> entry(connection_string_, table);
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (auto found = keys.find(entry); found != keys.end()) return found->second;
    }
    ado::detail::RowKey key = DescribeKey(dbc_, traits_, table);
    std::lock_guard<std::mutex> lock(mutex);
    return keys.emplace(entry, std::move(key)).first->second;
  }

  ResultRows Run(const String& sql) override {
    const MariaDbCallerText text(sql);
    if (NoteCallerStatement(text.Caller()).may_change_tables) {
      DescribedStatements::Instance().Forget(connection_string_);
    }
    RefuseSeveralStatements(sql);
    if (traits_.server == Server::kMariaDb && !traits_.wide) {
      if (std::optional<ParameterizedQuery> query = text.Parameterize(text_type_)) {
        // A keyed read of a shape run before: its compared literals go as
        // values to a statement prepared once on this connection.
        const FailureWatch watch(*this);
        if (std::optional<PreparedStatements::iterator> kept = KeptKeyedRead(query->sql)) {
          std::vector<Variant> values;
          values.reserve(query->values.size());
          for (std::string& value : query->values) values.emplace_back(std::move(value));
          return RunPrepared(*kept, values);
        }
      }
    }
    return Execute(Translated(text, sql), {});
  }

  void InsertRow(const String& table, const std::vector<String>& columns,
                 const std::vector<Variant>& values) override {
    RowStatement statement = InsertRowStatement(traits_.server, table, columns, values);
    Execute(statement.sql, statement.parameters);
  }

  ado::detail::RowUpdate UpdateRow(const String& table, const ado::detail::RowKey& key,
                                   const std::vector<Variant>& key_values,
                                   const std::vector<String>& set_columns,
                                   const std::vector<Variant>& set_values) override {
    RowStatement statement =
        UpdateRowStatement(traits_.server, table, key.columns, key_values, set_columns, set_values);
    const long changed = Execute(statement.sql, statement.parameters).rows_affected;
    if (changed != 0 || traits_.server != Server::kMariaDb) return {changed, changed};
    // MariaDB counts the rows an UPDATE changed, not the rows it found: a
    // row given the values it already holds counts 0. Whether the row is
    // still there decides between "written" and "not located".
    RowStatement exists = RowExistsStatement(traits_.server, table, key.columns, key_values);
    return {Execute(exists.sql, exists.parameters).rows.empty() ? 0 : 1, 0};
  }

  long DeleteRow(const String& table, const ado::detail::RowKey& key,
                 const std::vector<Variant>& key_values) override {
    RowStatement statement = DeleteRowStatement(traits_.server, table, key.columns, key_values);
    return Execute(statement.sql, statement.parameters).rows_affected;
  }

  // CHECKSUM TABLE reads each table on the server and answers one row per
  // table, in the order named: the table's qualified name and its checksum,
  // NULL for a table that does not exist.
  std::optional<std::vector<String>> TableChecksums(const std::vector<String>& tables) override {
    if (traits_.server != Server::kMariaDb || tables.empty()) return std::nullopt;
    String sql = "checksum table ";
    for (std::size_t i = 0; i < tables.size(); ++i) sql += (i == 0 ? "" : ", ") + tables[i];
    const FailureWatch watch(*this);
    ResultRows result = RunOwn(sql);
    if (result.rows.size() != tables.size()) return std::nullopt;
    std::vector<String> checksums;
    for (const std::vector<Variant>& row : result.rows) {
      if (row.size() < 2 || row[1].IsNull() || row[1].IsEmpty()) return std::nullopt;
      checksums.push_back(row[1].ToString());
    }
    return checksums;
  }

  void Begin() override {
    if (in_transaction_) throw ComError(errc::kErrorsInCommand, kTransactionActive);
    StatementCheck(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, AsPointer(SQL_AUTOCOMMIT_OFF),
                                     SQL_IS_UINTEGER));
    in_transaction_ = true;
  }

  void Commit() override { EndTransaction(SQL_COMMIT); }
  void Rollback() override { EndTransaction(SQL_ROLLBACK); }
  bool InTransaction() const override { return in_transaction_; }

 private:
  SQLRETURN ConnectCheck(SQLRETURN rc) const {
    return Check(rc, SQL_HANDLE_DBC, dbc_, Stage::kConnect, traits_);
  }

  SQLRETURN StatementCheck(SQLRETURN rc) const {
    return Check(rc, SQL_HANDLE_DBC, dbc_, Stage::kStatement, traits_);
  }

  // The narrow functions take the text as SQLCHAR* without changing it.
  static SQLCHAR* Narrow(const String& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data()));
  }

  // The text the server runs. MariaDB gets one statement at a time, as the
  // embedded database does: its driver (Connector/ODBC 3.1) keeps its
  // connection lock after the server rejects a batch, and a pooled
  // connection would carry that lock to the next thread that takes it.
  String Native(const MariaDbCallerText& text, const String& sql) const {
    RefuseSeveralStatements(sql);
    return Translated(text, sql);
  }

  // The text in the server's dialect, its statements already checked.
  String Translated(const MariaDbCallerText& text, const String& sql) const {
    return traits_.server == Server::kMariaDb ? text.Translate(text_type_) : sql;
  }

  void RefuseSeveralStatements(const String& sql) const {
    if (traits_.server == Server::kMariaDb && SeveralStatements(sql)) {
      throw ComError(errc::kErrorsInCommand, errtext::kOneStatementOnly);
    }
  }

  StatementHandle NewStatement() const {
    StatementHandle statement(dbc_, traits_);
    // Drivers that cannot apply these attributes still run the statement.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT, AsPointer(command_timeout_),
                   SQL_IS_UINTEGER);
    // The text goes to the server as written: no ODBC escape sequences.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_NOSCAN, AsPointer(SQL_NOSCAN_ON), SQL_IS_UINTEGER);
    return statement;
  }

  ResultRows Execute(const String& native_sql, const std::vector<Variant>& parameters) {
    const FailureWatch watch(*this);
    if (!parameters.empty() && !traits_.wide) return ExecutePrepared(native_sql, parameters);
    StatementHandle statement = NewStatement();
    BoundParameters bound;
    bound.Bind(statement, parameters);
    if (ado::detail::NativeTraceOn()) ado::detail::TraceNative({native_sql, parameters, dbc_});
    SQLRETURN rc;
    if (traits_.wide) {
      WideString text = ToWide(native_sql);
      rc = statement.Check(
          SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())));
    } else {
      rc = statement.Check(SQLExecDirect(statement.get(), Narrow(native_sql),
                                         static_cast<SQLINTEGER>(native_sql.size())));
    }
    if (rc == SQL_NO_DATA) {
      // A searched UPDATE or DELETE that found no row.
      ResultRows none;
      none.rows_affected = 0;
      return none;
    }
    return ReadResult(statement);
  }

  // A statement with parameter markers (the row changes of a recordset, the
  // same few texts again and again) is prepared once per connection and
  // executed with the values written into its bound buffers each time: the
  // server parses it once, and each run is one message. A statement that
  // failed is prepared anew next time.
  ResultRows ExecutePrepared(const String& native_sql, const std::vector<Variant>& parameters) {
    return RunPrepared(Prepared(native_sql), parameters);
  }

  // The connection's prepared statement of the text, prepared now when it
  // has none. Raises the driver's refusal.
  PreparedStatements::iterator Prepared(const String& native_sql) {
    auto found = prepared_.find(native_sql);
    if (found != prepared_.end()) return found;
    if (prepared_.size() >= kMaxPrepared) {
      // The statement run longest ago makes room.
      prepared_.erase(std::min_element(
          prepared_.begin(), prepared_.end(),
          [](const auto& a, const auto& b) { return a.second.last_run < b.second.last_run; }));
    }
    StatementHandle statement = NewStatement();
    statement.Check(SQLPrepare(statement.get(), Narrow(native_sql),
                               static_cast<SQLINTEGER>(native_sql.size())));
    return prepared_.emplace(native_sql, PreparedStatement{{}, std::move(statement), {}, 0}).first;
  }

  ResultRows RunPrepared(PreparedStatements::iterator found,
                         const std::vector<Variant>& parameters) {
    try {
      PreparedStatement& prepared = found->second;
      prepared.last_run = ++prepared_runs;
      const StatementHandle& statement = prepared.handle;
      prepared.bound.Refill(statement, parameters);
      if (ado::detail::NativeTraceOn()) ado::detail::TraceNative({found->first, parameters, dbc_});
      ResultRows result;
      if (statement.Check(SQLExecute(statement.get())) == SQL_NO_DATA) {
        result.rows_affected = 0;  // a searched UPDATE or DELETE that found no row
      } else {
        result = ReadResult(statement, prepared.columns);
      }
      // The markers stay bound to the kept buffers for the next run.
      SQLFreeStmt(statement.get(), SQL_CLOSE);
      return result;
    } catch (...) {
      prepared_.erase(found);
      throw;
    }
  }

  // A keyed read goes to a prepared statement when this connection ran its
  // shape before (a shape a connection runs once costs less as a text) and
  // the server lets it prepare one: a server at its limit of prepared
  // statements, or one that refuses the statement, gets the text, which
  // then succeeds or fails as it always did.
  std::optional<PreparedStatements::iterator> KeptKeyedRead(const String& native_sql) {
    if (prepared_.find(native_sql) == prepared_.end()) {
      if (keyed_reads_run_.size() >= kMaxKeyedReadsRemembered) keyed_reads_run_.clear();
      if (keyed_reads_run_.insert(native_sql).second) return std::nullopt;
    }
    try {
      return Prepared(native_sql);
    } catch (const ComError&) {
      return std::nullopt;
    }
  }

  // Statements of the session's own, in the server's dialect.
  ResultRows RunOwn(const String& sql) { return Execute(sql, {}); }

  // A connection stays reusable while the caller's statements leave no
  // session state behind and no call on it failed: after a failure (a lost
  // connection, a timeout, a batch the driver kept its lock after) the
  // connection is in doubt, and a new one costs only a login.
  CallerStatement NoteCallerStatement(CallerStatement statement) {
    if (!statement.leaves_no_session_state) reusable_ = false;
    return statement;
  }

  class FailureWatch {
   public:
    explicit FailureWatch(OdbcSession& session)
        : session_(session), exceptions_(std::uncaught_exceptions()) {}
    ~FailureWatch() {
      if (std::uncaught_exceptions() > exceptions_) {
        session_.reusable_ = false;
        DescribedStatements::Instance().Forget(session_.connection_string_);
      }
    }
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;

   private:
    OdbcSession& session_;
    int exceptions_;
  };

  // Makes a released connection as a new one is: no transaction, autocommit
  // on. False when the driver refuses, and the connection is then closed.
  bool Reset() {
    if (!in_transaction_) return true;
    in_transaction_ = false;
    return SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK)) &&
           SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, AsPointer(SQL_AUTOCOMMIT_ON),
                                           SQL_IS_UINTEGER));
  }

  // Text travels as UTF-8; literals compare by the database's collation, as
  // SQL Server's take the database default; a backslash in a literal is an
  // ordinary character; readers see committed rows only, as SQL Server's
  // default isolation level has them. The server's port and the client's
  // port as the server sees it find the connection's socket.
  void PrepareMariaDb() {
    RunOwn(
        "SET SESSION character_set_client = utf8mb4, character_set_results = utf8mb4, "
        "collation_connection = @@collation_database, sql_mode = CONCAT_WS(',', "
        "NULLIF(@@SESSION.sql_mode, ''), 'NO_BACKSLASH_ESCAPES')");
    RunOwn("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");
    ResultRows database = RunOwn(
        "SELECT @@character_set_database, @@collation_database, @@port, (SELECT HOST FROM "
        "information_schema.PROCESSLIST WHERE ID = CONNECTION_ID())");
    if (database.rows.size() != 1 || database.rows[0].size() != 4) return;
    const std::vector<Variant>& row = database.rows[0];
    if (row[0].type() == Variant::Type::kString && row[1].type() == Variant::Type::kString) {
      text_type_.charset = row[0].AsString();
      text_type_.collation = row[1].AsString();
    }
    if (row[2].type() == Variant::Type::kLong && row[3].type() == Variant::Type::kString) {
      socket_ = FindConnectionSocket(ClientPortOf(row[3].AsString()), row[2].AsLong());
    }
  }

  void EndTransaction(SQLSMALLINT completion) {
    if (!in_transaction_) throw ComError(errc::kNoTransaction, errtext::kNoTransaction);
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, completion);
    std::optional<ComError> failure;
    if (!SQL_SUCCEEDED(rc)) {
      failure = ErrorFor(ReadDiagnostic(SQL_HANDLE_DBC, dbc_, traits_.wide), Stage::kStatement,
                         traits_.server);
    }
    // The transaction is over either way: a server that could not commit
    // has rolled back or lost the connection.
    in_transaction_ = false;
    const SQLRETURN autocommit =
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, AsPointer(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    if (failure) throw *failure;
    StatementCheck(autocommit);
  }

  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  DriverTraits traits_;
  MariaDbTextType text_type_;
  long command_timeout_ = 0;
  bool in_transaction_ = false;
  bool reusable_ = true;
  String connection_string_;
  ConnectionSocket socket_;
  PreparedStatements prepared_;
  std::set<String> keyed_reads_run_;  // keyed reads this connection ran as text
  static constexpr std::size_t kMaxKeyedReadsRemembered = 64;
  // Per connection: the row statements of a few tables and the keyed reads
  // of the pages and members that run again and again.
  static constexpr std::size_t kMaxPrepared = 16;
};

}  // namespace

std::unique_ptr<ado::detail::Session> OpenSession(const String& connection_string,
                                                  long login_timeout, long command_timeout) {
  auto session = std::make_unique<OdbcSession>();
  if (!session->Reuse(connection_string, command_timeout)) {
    session->Connect(connection_string, login_timeout, command_timeout);
  }
  return session;
}

void CloseIdleSessions() {
  // The environment stays until the process ends. unixODBC's pool (Pooling =
  // Yes) keeps connections made under an environment past its release and
  // hands them out under the next one; closing such a connection later frees
  // the driver's environment handle that other pooled connections still use,
  // and the driver crashes in a later SQLFreeHandle (SIGSEGV or SIGBUS).
  IdleConnections::Instance().CloseAll();
}

}  // namespace migprof::odbc
