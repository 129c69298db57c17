#include "component/odbc/odbc_session.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "component/odbc/bound_parameters.h"
#include "component/odbc/mariadb_dialect.h"
#include "component/odbc/odbc_api.h"
#include "component/odbc/result_reader.h"
#include "component/odbc/row_statements.h"
#include "component/odbc/row_target.h"
#include "component/odbc/wide_text.h"
#include "component/sql/tsql_lexer.h"

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

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

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

class OdbcSession final : public ado::detail::Session {
 public:
  OdbcSession() = default;
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  ~OdbcSession() override {
    if (dbc_ == SQL_NULL_HDBC) return;
    if (connected_) {
      // The standard leaves an open transaction in place on disconnect (and
      // refuses to disconnect); drivers differ, so it is ended here.
      if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
      SQLDisconnect(dbc_);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
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
    Check(SQLAllocHandle(SQL_HANDLE_DBC, environment, &dbc_), SQL_HANDLE_ENV, environment,
          Stage::kConnect, traits_);
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
    StatementHandle statement = NewStatement();
    const String native = Native(sql);
    if (traits_.wide) {
      WideString text = ToWide(native);
      statement.Check(
          SQLPrepareW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())));
    } else {
      statement.Check(
          SQLPrepare(statement.get(), Narrow(native), static_cast<SQLINTEGER>(native.size())));
    }
    std::vector<String> columns = ColumnNames(statement);
    if (target && !columns.empty()) *target = DescribeTarget(statement);
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

  ResultRows Run(const String& sql) override { return Execute(Native(sql), {}); }

  void InsertRow(const String& table, const std::vector<String>& columns,
                 const std::vector<Variant>& values) override {
    RowStatement statement = InsertRowStatement(traits_.server, table, columns, values);
    Execute(statement.sql, statement.parameters);
  }

  long UpdateRow(const String& table, const ado::detail::RowKey& key,
                 const std::vector<Variant>& key_values, const std::vector<String>& set_columns,
                 const std::vector<Variant>& set_values) override {
    RowStatement statement =
        UpdateRowStatement(traits_.server, table, key.columns, key_values, set_columns, set_values);
    const long changed = Execute(statement.sql, statement.parameters).rows_affected;
    if (changed != 0 || traits_.server != Server::kMariaDb) return changed;
    // MariaDB counts the rows an UPDATE changed, not the rows it found: a
    // row given the values it already holds counts 0. Whether the row is
    // still there decides between "written" and "not located".
    RowStatement exists = RowExistsStatement(traits_.server, table, key.columns, key_values);
    return Execute(exists.sql, exists.parameters).rows.empty() ? 0 : 1;
  }

  long DeleteRow(const String& table, const ado::detail::RowKey& key,
                 const std::vector<Variant>& key_values) override {
    RowStatement statement = DeleteRowStatement(traits_.server, table, key.columns, key_values);
    return Execute(statement.sql, statement.parameters).rows_affected;
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
  String Native(const String& sql) const {
    if (traits_.server != Server::kMariaDb) return sql;
    if (tsql::HasSeveralStatements(sql)) {
      throw ComError(errc::kErrorsInCommand, errtext::kOneStatementOnly);
    }
    return TranslateForMariaDb(sql, text_type_);
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

  ResultRows Execute(const String& native_sql, const std::vector<Variant>& parameters) const {
    StatementHandle statement = NewStatement();
    BoundParameters bound;
    bound.Bind(statement, parameters);
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

  // Statements of the session's own, in the server's dialect.
  ResultRows RunOwn(const String& sql) const { return Execute(sql, {}); }

  // Text travels as UTF-8; literals compare by the database's collation, as
  // SQL Server's take the database default; a backslash in a literal is an
  // ordinary character; readers see committed rows only, as SQL Server's
  // default isolation level has them.
  void PrepareMariaDb() {
    RunOwn(
        "SET SESSION character_set_client = utf8mb4, character_set_results = utf8mb4, "
        "collation_connection = @@collation_database, sql_mode = CONCAT_WS(',', "
        "NULLIF(@@SESSION.sql_mode, ''), 'NO_BACKSLASH_ESCAPES')");
    RunOwn("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");
    ResultRows database = RunOwn("SELECT @@character_set_database, @@collation_database");
    if (database.rows.size() == 1 && database.rows[0].size() == 2 &&
        database.rows[0][0].type() == Variant::Type::kString &&
        database.rows[0][1].type() == Variant::Type::kString) {
      text_type_.charset = database.rows[0][0].AsString();
      text_type_.collation = database.rows[0][1].AsString();
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
  String connection_string_;
};

}  // namespace

std::unique_ptr<ado::detail::Session> OpenSession(const String& connection_string,
                                                  long login_timeout, long command_timeout) {
  auto session = std::make_unique<OdbcSession>();
  session->Connect(connection_string, login_timeout, command_timeout);
  return session;
}

}  // namespace migprof::odbc
