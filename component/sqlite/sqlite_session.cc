#include "component/sqlite/sqlite_session.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "component/ado/native_trace.h"
#include "component/ado/observer.h"
#include "component/sql/row_key_select.h"
#include "component/sql/statement_shape.h"
#include "component/sqlite/changed_rows.h"
#include "component/sqlite/database_file.h"
#include "component/sqlite/dialect.h"
#include "component/sqlite/overlay_file.h"
#include "component/sqlite/row_recording.h"
#include "component/text/cp1252.h"
#include "migprof/com_error.h"

namespace migprof::sqlite {
namespace {

using ado::detail::ResultRows;
using tsql::ShapeOf;
using tsql::StatementShape;

// Raises the failure of a SQLite call, translated to the catalogue: a busy
// database that outlasted the command timeout is a query timeout, a refused
// constraint an integrity violation, anything else a rejected statement.
[[noreturn]] void RaiseSqlite(sqlite3* db, int rc) {
  String text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw ComError(errc::kQueryTimeout, String(errtext::kQueryTimeout) + ": " + text);
    case SQLITE_CONSTRAINT:
      throw ComError(errc::kIntegrityViolation, text);
    default:
      throw ComError(errc::kErrorsInCommand, text);
  }
}

[[noreturn]] void RaiseNotFound() {
  throw ComError(errc::kProviderFailure, errtext::kDataSourceNotFound);
}

// The table the statement's rows come from, as SQLite resolved it: the one
// table of every column that is read from a table.
ado::detail::RowTarget TargetOf(sqlite3_stmt* stmt) {
  ado::detail::RowTarget target;
  const int count = sqlite3_column_count(stmt);
  std::vector<String> tables;
  for (int i = 0; i < count; ++i) {
    const char* table = sqlite3_column_table_name(stmt, i);
    if (table && std::find(tables.begin(), tables.end(), String(table)) == tables.end()) {
      tables.emplace_back(table);
    }
  }
  if (tables.size() != 1) {
    target.refusal = tsql::TablesRefusal(tables);
    return target;
  }
  target.table = tables.front();
  for (int i = 0; i < count; ++i) {
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    target.base_columns.emplace_back(table && origin ? origin : "");
  }
  return target;
}

String QuoteName(const String& name) {
  String out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// A native connection with its cache of prepared statements, keyed by the
// statement's text as the component wrote it (so a hit also skips the
// translation).
class NativeHandle {
 public:
  explicit NativeHandle(sqlite3* db) : db_(db) {}
  ~NativeHandle() {
    for (auto& entry : lru_) sqlite3_finalize(entry.second);
    sqlite3_close_v2(db_);
  }
  NativeHandle(const NativeHandle&) = delete;
  NativeHandle& operator=(const NativeHandle&) = delete;

  sqlite3* db() const { return db_; }

  // The recording of changes to the file under way, if any: its hook goes
  // on the handle while it is set.
  TouchLog* recording() const { return recording_.get(); }
  void SetRecording(std::shared_ptr<TouchLog> recording) {
    if (recording == recording_) return;
    recording_ = std::move(recording);
    if (recording_) recording_->Attach(db_);
    InstallRecordingHook(db_, recording_.get());
    // SQLite decides when it prepares a statement whether the hook must see
    // its rows (a DELETE without WHERE empties the table in one step when no
    // hook is there): statements prepared before are prepared again.
    for (auto& entry : lru_) sqlite3_finalize(entry.second);
    lru_.clear();
    index_.clear();
    described_.clear();
  }

  // False once a statement prepared here may leave state on the connection
  // that a new one would not have (a pragma, an attached database, a
  // temporary table, index, view or trigger): such a handle is closed
  // instead of being kept for reuse.
  bool reusable() const { return reusable_; }
  void WatchSessionState() { sqlite3_set_authorizer(db_, &NativeHandle::Authorize, this); }

  // The prepared statement for text, reset and ready to bind and step.
  sqlite3_stmt* Prepare(const String& text) {
    auto found = index_.find(text);
    if (found != index_.end()) {
      lru_.splice(lru_.begin(), lru_, found->second);
      return found->second->second;
    }
    // Texts that start with a NUL are the layer's own, already in SQLite's
    // dialect; a text the component sends never does.
    String sql =
        !text.empty() && text[0] == '\0' ? text.substr(1) : sqlite_dialect::Translate(text);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK) RaiseSqlite(db_, rc);
    if (stmt == nullptr) throw ComError(errc::kErrorsInCommand, "The statement is empty.");
    for (; tail && *tail; ++tail) {
      if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';') {
        sqlite3_finalize(stmt);
        throw ComError(errc::kErrorsInCommand, errtext::kOneStatementOnly);
      }
    }
    lru_.emplace_front(text, stmt);
    index_[text] = lru_.begin();
    if (lru_.size() > kCacheSize) {
      described_.erase(lru_.back().second);
      sqlite3_finalize(lru_.back().second);
      index_.erase(lru_.back().first);
      lru_.pop_back();
    }
    return stmt;
  }

  // The result columns of a statement prepared here and where they come
  // from, read once per preparation (SQLite prepares a statement again when
  // the schema changed, and its columns may then differ).
  struct Description {
    int preparation = -1;
    std::vector<String> columns;
    ado::detail::RowTarget target;
  };
  const Description& Describe(sqlite3_stmt* stmt) {
    Description& description = described_[stmt];
    const int preparation = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (description.preparation != preparation) {
      description.columns.clear();
      const int count = sqlite3_column_count(stmt);
      for (int i = 0; i < count; ++i)
        description.columns.emplace_back(sqlite3_column_name(stmt, i));
      description.target = TargetOf(stmt);
      description.preparation = preparation;
    }
    return description;
  }

  // The statement shape_text with the key expressions of table appended to
  // its select list (or why it cannot have them). Kept per shape: statements
  // of one shape differ only in values after their FROM, which never change
  // where the key goes.
  const tsql::RowKeySelect& Keyed(const String& shape_text, const String& table,
                                  const std::vector<String>& expressions) {
    String key = table;
    key += '\n';
    for (const String& expression : expressions) {
      key += expression;
      key += '\n';
    }
    key += shape_text;
    auto found = keyed_.find(key);
    if (found != keyed_.end()) return found->second;
    if (keyed_.size() >= kCacheSize) keyed_.clear();
    return keyed_.emplace(std::move(key), tsql::AppendRowKey(shape_text, table, expressions))
        .first->second;
  }

  // The prepared insert of a row into table with values for columns. The
  // text of the last one is kept: a recordset adds its rows with the same
  // columns, one new connection after another.
  sqlite3_stmt* InsertStatement(const String& table, const std::vector<String>& columns) {
    if (table != insert_table_ || columns != insert_columns_) {
      insert_table_.clear();
      insert_text_ = String(1, '\0') + "INSERT INTO " + QuoteName(table);
      if (columns.empty()) {
        insert_text_ += " DEFAULT VALUES";
      } else {
        String names, marks;
        for (std::size_t i = 0; i < columns.size(); ++i) {
          if (i) {
            names += ',';
            marks += ',';
          }
          names += QuoteName(columns[i]);
          marks += sqlite_dialect::ColumnCall(table, columns[i], "?");
        }
        insert_text_ += "(" + names + ") VALUES(" + marks + ")";
      }
      insert_columns_ = columns;
      insert_table_ = table;
    }
    return Prepare(insert_text_);
  }

  // Runs one-off texts of the layer's own (pragmas, transaction control).
  void ExecScript(const String& sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
      String text = message ? message : sqlite3_errstr(rc);
      sqlite3_free(message);
      throw ComError(rc == SQLITE_NOTADB ? errc::kProviderFailure : errc::kErrorsInCommand, text);
    }
  }

 private:
  static int Authorize(void* self, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
      case SQLITE_PRAGMA:
      case SQLITE_ATTACH:
      case SQLITE_DETACH:
      case SQLITE_CREATE_TEMP_INDEX:
      case SQLITE_CREATE_TEMP_TABLE:
      case SQLITE_CREATE_TEMP_TRIGGER:
      case SQLITE_CREATE_TEMP_VIEW:
        static_cast<NativeHandle*>(self)->reusable_ = false;
        break;
      default:
        break;
    }
    return SQLITE_OK;
  }

  static constexpr std::size_t kCacheSize = 96;
  sqlite3* db_;
  bool reusable_ = true;
  std::shared_ptr<TouchLog> recording_;
  std::list<std::pair<String, sqlite3_stmt*>> lru_;
  std::unordered_map<String, std::list<std::pair<String, sqlite3_stmt*>>::iterator> index_;
  std::unordered_map<String, tsql::RowKeySelect> keyed_;
  std::unordered_map<sqlite3_stmt*, Description> described_;
  String insert_table_;
  std::vector<String> insert_columns_;
  String insert_text_;
};

// Idle native handles per database file. The key holds the file's device
// and inode, so a file that was replaced gets fresh handles.
class HandlePool {
 public:
  static HandlePool& Instance() {
    static HandlePool* pool = [] {
      // Never destroyed, as sessions may end during exit; at exit the idle
      // handles are closed, which checkpoints each file's -wal file into the
      // database file when its last connection closes.
      std::atexit([] { Instance().CloseAll(); });
      return new HandlePool();
    }();
    return *pool;
  }

  std::unique_ptr<NativeHandle> Acquire(const String& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& idle = idle_[key];
    if (idle.empty()) return nullptr;
    std::unique_ptr<NativeHandle> handle = std::move(idle.back());
    idle.pop_back();
    return handle;
  }

  void Release(const String& key, std::unique_ptr<NativeHandle> handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& idle = idle_[key];
    if (!closed_ && idle.size() < kMaxIdle) idle.push_back(std::move(handle));
  }

  // Closes every idle handle; handles released afterwards are closed at once.
  void CloseAll() {
    std::unordered_map<String, std::vector<std::unique_ptr<NativeHandle>>> idle;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      idle.swap(idle_);
    }
  }

  // Closes every idle handle; pooling goes on afterwards.
  void CloseIdle() {
    std::unordered_map<String, std::vector<std::unique_ptr<NativeHandle>>> idle;
    std::lock_guard<std::mutex> lock(mutex_);
    idle.swap(idle_);
  }

  // Closes the idle handles of every file that was at path.
  void Drop(const String& path) {
    std::vector<std::unique_ptr<NativeHandle>> closing;
    std::lock_guard<std::mutex> lock(mutex_);
    const String prefix = path + '\n';
    for (auto it = idle_.begin(); it != idle_.end();) {
      if (it->first.compare(0, prefix.size(), prefix) == 0) {
        for (auto& handle : it->second) closing.push_back(std::move(handle));
        it = idle_.erase(it);
      } else {
        ++it;
      }
    }
  }

 private:
  static constexpr std::size_t kMaxIdle = 8;
  std::mutex mutex_;
  bool closed_ = false;
  std::unordered_map<String, std::vector<std::unique_ptr<NativeHandle>>> idle_;
};

std::unique_ptr<NativeHandle> OpenNative(const String& path, int flags) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, OverlayVfs(path));
  if (rc != SQLITE_OK) {
    String text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw ComError(errc::kProviderFailure, text);
  }
  auto handle = std::make_unique<NativeHandle>(db);
  sqlite3_extended_result_codes(db, 1);
  sqlite_dialect::Register(db);
  // Every committed statement must survive a crash or a power cut. Turning
  // a file that is in no one's use to WAL needs it alone for a moment, so
  // processes opening it at once wait for each other here; the statements
  // then wait as their command's timeout says.
  sqlite3_busy_timeout(db, 10000);
  handle->ExecScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
  sqlite3_busy_timeout(db, 0);
  handle->WatchSessionState();
  return handle;
}

// Strings and binaries are bound without a copy: the values outlive the
// statement's use, whose end clears the bindings (StatementUse).
void Bind(sqlite3* db, sqlite3_stmt* stmt, int index, const Variant& value) {
  int rc = SQLITE_OK;
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case Variant::Type::kInteger:
      rc = sqlite3_bind_int64(stmt, index, value.AsInteger());
      break;
    case Variant::Type::kLong:
      rc = sqlite3_bind_int64(stmt, index, value.AsLong());
      break;
    case Variant::Type::kDouble:
      rc = sqlite3_bind_double(stmt, index, value.AsDouble());
      break;
    case Variant::Type::kString:
      rc = sqlite3_bind_text64(stmt, index, value.AsString().data(), value.AsString().size(),
                               SQLITE_STATIC, SQLITE_UTF8);
      break;
    case Variant::Type::kBinary:
      rc = sqlite3_bind_blob64(stmt, index, value.AsBinary().data(), value.AsBinary().size(),
                               SQLITE_STATIC);
      break;
    case Variant::Type::kDate: {
      String text = value.AsDate().ToString();
      rc =
          sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
  }
  if (rc != SQLITE_OK) RaiseSqlite(db, rc);
}

Variant ReadColumn(sqlite3_stmt* stmt, int index) {
  return ValueOf(sqlite3_column_value(stmt, index));
}

// Resets a statement after use, whatever happened.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~StatementUse() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

class SqliteSession final : public ado::detail::Session {
 public:
  SqliteSession(String key, std::unique_ptr<NativeHandle> handle)
      : key_(std::move(key)), handle_(std::move(handle)) {}

  ~SqliteSession() override {
    if (!handle_->reusable()) return;  // closed with the session
    if (!sqlite3_get_autocommit(handle_->db())) {
      try {
        handle_->ExecScript("ROLLBACK");
      } catch (...) {
        return;  // a handle that cannot roll back is not reused
      }
    }
    HandlePool::Instance().Release(key_, std::move(handle_));
  }

  void SetCommandTimeout(long seconds) override {
    long long ms = static_cast<long long>(seconds) * 1000;
    sqlite3_busy_timeout(handle_->db(), ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
  }

  std::vector<String> Describe(const String& sql, ado::detail::RowTarget* target) override {
    const NativeHandle::Description& description = handle_->Describe(PrepareShaped(sql).stmt);
    if (target) *target = description.target;
    return description.columns;
  }

  // Every table keeps its rows' rowid, which nothing in the component
  // writes: it tells even two rows with equal values apart.
  ado::detail::RowKey KeyOf(const String& /*table*/) override {
    return {{"rowid"}, {"rowid"}, true};
  }

  ResultRows Run(const String& sql) override {
    Shaped shaped = PrepareShaped(sql);
    return Step(shaped.stmt, shaped.values);
  }

  // The keyed form of sql's shape, found by the shape: the text is read
  // once for its shape, which the recordset's description found already.
  ResultRows RunKeyed(const String& sql, const String& table, const ado::detail::RowKey& key,
                      String& refusal) override {
    const StatementShape& shape = ShapeFor(sql);
    if (!shape.values.empty()) {
      const tsql::RowKeySelect& keyed = handle_->Keyed(shape.text, table, key.expressions);
      if (!keyed.refusal.empty()) {
        refusal = keyed.refusal;
        return {};
      }
      if (sqlite3_stmt* stmt = PrepareShape(keyed.sql, shape.values.size())) {
        return Step(stmt, ValuesOf(shape), false);
      }
    }
    return Session::RunKeyed(sql, table, key, refusal);
  }

  void InsertRow(const String& table, const std::vector<String>& columns,
                 const std::vector<Variant>& values) override {
    Step(handle_->InsertStatement(table, columns), values);
  }

  ado::detail::RowUpdate UpdateRow(const String& table, const ado::detail::RowKey& key,
                                   const std::vector<Variant>& key_values,
                                   const std::vector<String>& set_columns,
                                   const std::vector<Variant>& set_values) override {
    String sql = "UPDATE " + QuoteName(table) + " SET ";
    for (std::size_t i = 0; i < set_columns.size(); ++i) {
      if (i) sql += ',';
      sql += QuoteName(set_columns[i]);
      sql += '=';
      sql += sqlite_dialect::ColumnCall(table, set_columns[i], "?");
    }
    sql += KeyMatch(key);
    std::vector<Variant> values = set_values;
    values.insert(values.end(), key_values.begin(), key_values.end());
    const ResultRows result = Step(PrepareOwn(sql), values);
    return {result.rows_affected,
            result.rows_changed >= 0 ? result.rows_changed : result.rows_affected};
  }

  long DeleteRow(const String& table, const ado::detail::RowKey& key,
                 const std::vector<Variant>& key_values) override {
    return Step(PrepareOwn("DELETE FROM " + QuoteName(table) + KeyMatch(key)), key_values)
        .rows_affected;
  }

  void Begin() override { handle_->ExecScript("BEGIN IMMEDIATE"); }
  void Commit() override { handle_->ExecScript("COMMIT"); }
  void Rollback() override { handle_->ExecScript("ROLLBACK"); }
  bool InTransaction() const override { return !sqlite3_get_autocommit(handle_->db()); }

 private:
  static String KeyMatch(const ado::detail::RowKey& key) {
    String sql = " WHERE ";
    for (std::size_t i = 0; i < key.columns.size(); ++i) {
      sql += (i ? " AND " : "") + key.columns[i] + " IS ?";
    }
    return sql;
  }

  struct Shaped {
    sqlite3_stmt* stmt;
    std::vector<Variant> values;
  };

  // The shape of sql. The last one is kept: a recordset describes a text and
  // then runs it (or its keyed form) on the same connection.
  const StatementShape& ShapeFor(const String& sql) {
    if (!shaped_ || last_sql_ != sql) {
      shaped_ = false;
      last_shape_ = ShapeOf(sql);
      last_sql_ = sql;
      shaped_ = true;
    }
    return last_shape_;
  }

  // The values of a shape's literals, as SQL Server reads a varchar
  // literal: through code page 1252 (Translate does the same to the
  // literals it keeps).
  static std::vector<Variant> ValuesOf(const StatementShape& shape) {
    std::vector<Variant> values;
    values.reserve(shape.values.size());
    for (const String& value : shape.values) {
      const bool ascii = std::all_of(value.begin(), value.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      values.emplace_back(ascii ? value : text::Cp1252ToUtf8(text::Utf8ToCp1252(value)));
    }
    return values;
  }

  // The prepared statement of a shape's text when SQLite takes it and it
  // keeps all of the shape's parameters; null otherwise.
  sqlite3_stmt* PrepareShape(const String& text, std::size_t parameters) {
    try {
      sqlite3_stmt* stmt = handle_->Prepare(text);
      if (static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt)) == parameters) return stmt;
    } catch (const ComError&) {
    }
    return nullptr;
  }

  // The prepared statement of sql's shape with the values to bind. A shape
  // SQLite refuses, or one whose translation does not keep its parameters,
  // falls back to the text as written (which then gives SQLite's own error).
  Shaped PrepareShaped(const String& sql) {
    const StatementShape& shape = ShapeFor(sql);
    if (!shape.values.empty()) {
      if (sqlite3_stmt* stmt = PrepareShape(shape.text, shape.values.size())) {
        return {stmt, ValuesOf(shape)};
      }
    }
    return {handle_->Prepare(sql), {}};
  }

  // Statements the layer writes in SQLite's own dialect skip the translation.
  sqlite3_stmt* PrepareOwn(const String& sql) { return handle_->Prepare(String(1, '\0') + sql); }

  // Runs stmt with values bound; the result's column names only with_names
  // (a recordset has them from its description).
  ResultRows Step(sqlite3_stmt* stmt, const std::vector<Variant>& values, bool with_names = true) {
    sqlite3* db = handle_->db();
    if (ado::detail::NativeTraceOn()) {
      ado::detail::TraceNative({sqlite3_sql(stmt), values, handle_.get()});
    }
    StatementUse use(stmt);
    // Only a change count needs to know which rows changed.
    std::optional<ChangedRows> changed;
    if (!sqlite3_stmt_readonly(stmt) && ado::detail::CountingChanges()) {
      changed.emplace(db, handle_->recording());
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      Bind(db, stmt, static_cast<int>(i + 1), values[i]);
    }
    ResultRows result;
    int count = sqlite3_column_count(stmt);
    result.has_columns = count > 0;
    if (with_names) {
      for (int i = 0; i < count; ++i) result.columns.emplace_back(sqlite3_column_name(stmt, i));
    }
    for (;;) {
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) RaiseSqlite(db, rc);
      std::vector<Variant> row;
      row.reserve(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) row.push_back(ReadColumn(stmt, i));
      result.rows.push_back(std::move(row));
    }
    if (!result.has_columns) {
      result.rows_affected = sqlite3_changes(db);
      if (changed) result.rows_changed = changed->Changed(result.rows_affected);
    }
    return result;
  }

  String key_;
  std::unique_ptr<NativeHandle> handle_;
  bool shaped_ = false;
  String last_sql_;
  StatementShape last_shape_;
};

}  // namespace

std::unique_ptr<ado::detail::Session> OpenSession(const String& path, long command_timeout) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    RaiseNotFound();
  }
  String key = path + '\n' + std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
  std::unique_ptr<NativeHandle> handle = HandlePool::Instance().Acquire(key);
  if (!handle) {
    // Refuses a file that is not a profile database or cannot be written
    // before the open below switches it to WAL and adds side files.
    CheckProfileDatabase(path);
    handle = OpenNative(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  }
  handle->SetRecording(RowRecording::At(path));
  auto session = std::make_unique<SqliteSession>(key, std::move(handle));
  session->SetCommandTimeout(command_timeout);
  return session;
}

void CloseIdleSessions(const String& path) { HandlePool::Instance().Drop(path); }

void CloseIdleSessions() { HandlePool::Instance().CloseIdle(); }

void CreateDatabase(const String& path, const String& schema_sql) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    throw ComError(errc::kProviderFailure, "The file " + path + " exists already.");
  }
  std::unique_ptr<NativeHandle> handle =
      OpenNative(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  handle->ExecScript("BEGIN; " + schema_sql + "; COMMIT;");
}

}  // namespace migprof::sqlite
