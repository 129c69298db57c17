// The data-access layer: ADO's Connection and Recordset, as far as the
// component uses them. Objects are reference-counted (std::shared_ptr) and a
// connection ends when its last reference goes; nothing needs closing.
//
// A data source name of the form "sqlite:<path>" opens the embedded database
// file at <path>; the component's statements are written in SQL Server's
// dialect and are given SQL Server's answers there. Every failure raises
// ComError with the numbers of the catalogue in com_error.h.
#ifndef MIGPROF_ADO_H_
#define MIGPROF_ADO_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "migprof/automation.h"
#include "migprof/com_error.h"

namespace migprof::ado {

// CursorTypeEnum, LockTypeEnum, CursorLocationEnum, ObjectStateEnum and
// CommandTypeEnum values the component passes.
inline constexpr long adOpenUnspecified = -1;
inline constexpr long adOpenForwardOnly = 0;
inline constexpr long adOpenKeyset = 1;
inline constexpr long adOpenDynamic = 2;
inline constexpr long adOpenStatic = 3;
inline constexpr long adLockUnspecified = -1;
inline constexpr long adLockReadOnly = 1;
inline constexpr long adLockOptimistic = 3;
inline constexpr long adUseServer = 2;
inline constexpr long adUseClient = 3;
inline constexpr long adStateClosed = 0;
inline constexpr long adStateOpen = 1;
inline constexpr long adCmdUnspecified = -1;
inline constexpr long adAffectCurrent = 1;

namespace detail {
class Session;
struct RowSource;
}  // namespace detail

class Recordset;

// A connection to a data source.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // A new, closed connection with both timeouts at their defaults (15, 30).
  static std::shared_ptr<Connection> Create();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Seconds to wait for the data source when opening.
  long ConnectionTimeout() const { return connection_timeout_; }
  void ConnectionTimeout(long seconds) { connection_timeout_ = seconds; }
  // Seconds a statement may wait for the database (the embedded database's
  // busy timeout).
  long CommandTimeout() const { return command_timeout_; }
  void CommandTimeout(long seconds);

  // Opens the connection described by "DSN=...;uid=...;pwd=...;". An unknown
  // data source raises 0x80004005 with the driver manager's text.
  void Open(const String& connection_string);
  long State() const { return session_ ? adStateOpen : adStateClosed; }
  const String& ConnectionString() const { return connection_string_; }

  // Runs one statement. A statement that yields rows returns an open
  // recordset of them; otherwise the returned recordset is closed.
  // records_affected receives the number of rows changed, when given.
  std::shared_ptr<Recordset> Execute(const String& command_text,
                                     Variant* records_affected = nullptr,
                                     long options = adCmdUnspecified);

  // Transactions. BeginTrans returns the nesting level (1). CommitTrans and
  // RollbackTrans without an open transaction raise an error. A connection
  // released with its transaction open rolls it back.
  long BeginTrans();
  void CommitTrans();
  void RollbackTrans();

  // The native session, for the layer's own use.
  detail::Session& session();

 private:
  Connection() = default;

  long connection_timeout_ = 15;
  long command_timeout_ = 30;
  String connection_string_;
  std::unique_ptr<detail::Session> session_;
};

class Recordset;

// One column of a recordset's current row.
class Field {
 public:
  const String& Name() const;
  // The current row's value (or the pending value of a row being added or
  // changed). Without a current row raises 3021.
  Variant Value() const;
  // Writes the value into the row being added, or into the current row
  // (saved by Update).
  void Value(const Variant& value);

 private:
  friend class Recordset;
  friend class Fields;
  Field(Recordset* owner, int index) : owner_(owner), index_(index) {}
  Recordset* owner_;
  int index_;
};

// The columns of a recordset.
class Fields {
 public:
  long Count() const;
  // By 0-based position; a position out of range raises 3265.
  Field Item(Integer position) const;
  // By column name, ignoring letter case; an unknown name raises 3265.
  Field Item(const String& name) const;
  Field operator[](const String& name) const { return Item(name); }
  Field operator[](Integer position) const { return Item(position); }

 private:
  friend class Recordset;
  explicit Fields(Recordset* owner) : owner_(owner) {}
  Recordset* owner_;
};

// The rows of a query, with a current row. Rows are read whole on first use.
// They are updatable when every column read from a table comes from one
// table, as the database parses the statement: rows are added to that table,
// and "the current row" that Update changes or Delete removes is exactly the
// table row the cursor stands on, found by a key read alongside the query
// (hidden from Fields). A statement whose rows are no rows of one table
// (DISTINCT, grouping, set operators, columns of several tables, a table
// named twice) is read all the same; changing its rows raises
// errc::kCannotUpdate with the reason, before anything is changed.
class Recordset {
 public:
  static std::shared_ptr<Recordset> Create();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Properties that an Open with omitted (-1 / null) arguments takes.
  void ActiveConnection(std::shared_ptr<Connection> connection);
  std::shared_ptr<Connection> ActiveConnection() const { return connection_; }
  void CursorType(long value) { cursor_type_ = value; }
  long CursorType() const { return cursor_type_; }
  void LockType(long value) { lock_type_ = value; }
  long LockType() const { return lock_type_; }
  void CursorLocation(long value) { cursor_location_ = value; }
  long CursorLocation() const { return cursor_location_; }
  void Source(const String& text) { source_ = text; }
  const String& Source() const { return source_; }

  // Opens the recordset on source with active_connection (null keeps the
  // ActiveConnection property), cursor type and lock type (-1 keeps the
  // property). Opening an open recordset raises 3705.
  void Open(const String& source, std::shared_ptr<Connection> active_connection = nullptr,
            long cursor_type = adOpenUnspecified, long lock_type = adLockUnspecified,
            long options = adCmdUnspecified);
  // Reopens with the source and properties of the last Open.
  void Open();
  void Close();
  long State() const { return open_ ? adStateOpen : adStateClosed; }

  // No current row before the first row / after the last. Both are true for
  // an empty result.
  bool BOF();
  bool EndOfFile();
  void MoveNext();
  void MoveFirst();
  // The number of rows.
  long RecordCount();

  migprof::ado::Fields Fields() { return migprof::ado::Fields(this); }

  // Starts a new row; its fields start Empty and only the fields written are
  // inserted by Update.
  void AddNew();
  // Saves the row being added, or the changes written into the current row.
  void Update();
  // Deletes the current row (affect must be adAffectCurrent).
  void Delete(long affect = adAffectCurrent);

  // Built by Connection::Execute for a statement's rows.
  static std::shared_ptr<Recordset> FromRows(std::shared_ptr<Connection> connection,
                                             const String& source, std::vector<String> columns,
                                             std::vector<std::vector<Variant>> rows);

 private:
  friend class Field;
  friend class migprof::ado::Fields;
  Recordset() = default;

  void RequireOpen() const;
  void Fetch();
  int ColumnIndex(const String& name) const;
  bool HasCurrentRow();
  Variant ReadField(int index);
  detail::RowSource& ChangeableRows(const char* change);
  std::vector<String> BaseColumns(const detail::RowSource& source) const;
  std::vector<Variant>& CurrentKey(detail::RowSource& source);
  void WriteField(int index, const Variant& value);

  std::shared_ptr<Connection> connection_;
  long cursor_type_ = adOpenForwardOnly;
  long lock_type_ = adLockReadOnly;
  long cursor_location_ = adUseServer;
  String source_;
  bool open_ = false;
  bool fetched_ = false;
  std::vector<String> columns_;
  std::vector<std::size_t> hidden_;  // positions of the surrogate key in the database's result
  std::vector<std::vector<Variant>> rows_;
  std::vector<bool> deleted_;  // rows removed by Delete stay in place, marked
  // Where rows are changed, and each row's key (absent for Execute's rows).
  std::unique_ptr<detail::RowSource> row_source_;
  std::size_t position_ = 0;  // index into rows_; rows_.size() is EOF
  bool adding_ = false;
  std::map<int, Variant> pending_;  // fields written since AddNew or on the current row
};

// A checksum of each table's rows, in the order given, read on the server
// without a row passing to the caller: two equal checksums of one table mean
// that its rows are unchanged (CHECKSUM TABLE on MariaDB and MySQL, a sum of
// a 32-bit checksum of each row). None when the server has no such cheap
// check (SQL Server, the embedded database) or a table is missing.
std::optional<std::vector<String>> TableChecksums(Connection& connection,
                                                  const std::vector<String>& tables);

// Closes every connection the process keeps open for reuse: released
// connections of the embedded database (the last one of a file to close
// writes its -wal file back into the database file) and of ODBC data
// sources. The driver manager's environment stays until the process ends
// (freeing it under unixODBC's pool crashed the driver later). Connections
// in use are not touched. Safe to call at any time, also at exit;
// connections opened afterwards are made as before. Call it before a process ends, so that a
// database server does not see the kept connections drop unannounced.
void CloseIdleConnections();

// Sees each statement text passed to Connection::Execute or Recordset::Open
// on this thread, as given (before any translation for the database).
using StatementObserver = std::function<void(const String&)>;

// Installs observer for the current thread for the lifetime of this object;
// the previous observer is restored afterwards.
class ScopedStatementObserver {
 public:
  explicit ScopedStatementObserver(StatementObserver observer);
  ~ScopedStatementObserver();
  ScopedStatementObserver(const ScopedStatementObserver&) = delete;
  ScopedStatementObserver& operator=(const ScopedStatementObserver&) = delete;

 private:
  StatementObserver previous_;
};

// Collects every statement text seen on this thread while it lives.
class StatementLog {
 public:
  StatementLog() : observer_([this](const String& text) { texts_.push_back(text); }) {}
  const std::vector<String>& texts() const { return texts_; }
  void Clear() { texts_.clear(); }

 private:
  std::vector<String> texts_;
  ScopedStatementObserver observer_;
};

// Counts the rows changed on this thread, table by table, while it lives:
// statements that insert, update or delete rows (as many as the database
// reports), and rows added, changed or deleted through recordsets. Changes
// made inside a transaction count when it commits; a rollback drops them.
// When counts nest, the outer one also gets what the inner one counted.
class ScopedChangeCount {
 public:
  ScopedChangeCount();
  ~ScopedChangeCount();
  ScopedChangeCount(const ScopedChangeCount&) = delete;
  ScopedChangeCount& operator=(const ScopedChangeCount&) = delete;

  // Rows changed per table (names in lower case); a table without changes
  // is absent.
  const std::map<String, long long>& rows() const { return committed_; }

  // For the layer's own use: a change on the connection with this identity.
  void Changed(const void* connection, bool in_transaction, const String& table, long long rows);
  // For the layer's own use: the connection's transaction ended.
  void TransactionEnded(const void* connection, bool committed);

 private:
  ScopedChangeCount* previous_;
  std::map<String, long long> committed_;
  std::map<const void*, std::map<String, long long>> pending_;
};

}  // namespace migprof::ado

#endif  // MIGPROF_ADO_H_
