// The native side of a connection: what each database driver of the
// data-access layer provides. Connection and Recordset are written against
// this interface only.
#ifndef MIGPROF_COMPONENT_ADO_SESSION_H_
#define MIGPROF_COMPONENT_ADO_SESSION_H_

#include <memory>
#include <optional>
#include <vector>

#include "migprof/automation.h"

namespace migprof::ado::detail {

// The rows a statement produced.
struct ResultRows {
  bool has_columns = false;  // the statement yields rows (possibly none)
  std::vector<String> columns;
  std::vector<std::vector<Variant>> rows;
  long rows_affected = -1;  // for statements that change rows
  // Of rows_affected, the rows whose values changed, when the database tells
  // them apart (an UPDATE that writes a row's own values back affects the
  // row without changing it); -1 when it does not: then rows_affected.
  long rows_changed = -1;
};

// What an UPDATE of one row did: whether it found the row, and whether the
// row's values changed.
struct RowUpdate {
  long located = 0;
  long changed = 0;
};

// Where the rows of a query come from, as the database parsed it: the one
// table every column that is read from a table belongs to, and each result
// column's name in that table.
struct RowTarget {
  String table;                      // empty when the rows cannot be changed
  std::vector<String> base_columns;  // per result column; empty: not of `table`
  String refusal;                    // why the rows cannot be changed
};

// How a row of a table is found again: the columns read alongside the query
// (as written into the select list, quoted for the dialect) and matched
// exactly when the row is changed or deleted.
struct RowKey {
  std::vector<String> expressions;  // text appended to the select list
  std::vector<String> columns;      // the same columns, by name
  // False when the table has no key and all its columns stand in for one.
  // Rows that match are then twins in every column, and a change reaches
  // one of them only (LIMIT 1 / TOP (1)): the table ends up the same
  // whichever twin the cursor stood on.
  bool unique = true;
};

// What an updatable recordset knows about its rows' table.
struct RowSource {
  RowTarget target;
  RowKey key;
  bool keyed = false;                      // keys holds each row's key
  std::vector<std::vector<Variant>> keys;  // parallel to the recordset's rows
};

// One open native connection. Every method raises ComError on failure, with
// the database's text and the catalogue's number.
class Session {
 public:
  virtual ~Session() = default;

  // Seconds a statement may wait for a busy database.
  virtual void SetCommandTimeout(long seconds) = 0;
  // Checks a statement and returns the names of the columns it yields,
  // without running it; fills *target, when given, with where its rows come
  // from.
  virtual std::vector<String> Describe(const String& sql, RowTarget* target = nullptr) = 0;
  // The key that finds a row of table again.
  virtual RowKey KeyOf(const String& table) = 0;
  // Runs a statement and reads its rows whole.
  virtual ResultRows Run(const String& sql) = 0;
  // Runs sql with the key's expressions appended to its outermost select
  // list, as tsql::AppendRowKey writes them for table. When the statement's
  // rows cannot be told apart that way, sets refusal to the reason and runs
  // nothing.
  virtual ResultRows RunKeyed(const String& sql, const String& table, const RowKey& key,
                              String& refusal);

  // Row changes made through an updatable recordset. Empty values are never
  // passed. A changed or deleted row is the one whose key holds key_values;
  // DeleteRow returns the number of rows deleted.
  virtual void InsertRow(const String& table, const std::vector<String>& columns,
                         const std::vector<Variant>& values) = 0;
  virtual RowUpdate UpdateRow(const String& table, const RowKey& key,
                              const std::vector<Variant>& key_values,
                              const std::vector<String>& set_columns,
                              const std::vector<Variant>& set_values) = 0;
  virtual long DeleteRow(const String& table, const RowKey& key,
                         const std::vector<Variant>& key_values) = 0;

  // Checksums of the tables' rows, as ado::TableChecksums describes; none
  // where the database has no cheap check.
  virtual std::optional<std::vector<String>> TableChecksums(const std::vector<String>& tables) {
    (void)tables;
    return std::nullopt;
  }

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
};

// Raises errc::kErrorsInCommand when text holds a NUL character outside a
// string literal (a database would read the text only up to it).
void CheckStatementText(const String& text);

// The parts of a "DSN=...;uid=...;pwd=...;" connection string.
struct ConnectionParameters {
  String dsn;
  String uid;
  String pwd;
};

// Reads DSN, UID and PWD (keys ignore letter case, the first of a repeated
// key wins; each value ends at the next ";").
ConnectionParameters ParseConnectionString(const String& text);

// Opens a session on the data source the parameters name: "sqlite:<path>"
// is the embedded database; any other name goes to the ODBC driver manager
// when the build has it.
std::unique_ptr<Session> OpenSession(const String& connection_string,
                                     const ConnectionParameters& parameters, long login_timeout,
                                     long command_timeout);

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_SESSION_H_
