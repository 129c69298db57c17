// The rows of a function or a table rule as one text, so that a check-out
// can put them back and a revision can keep them whole. Every column keeps
// its value and its type (text, number, date, binary, null).
#ifndef MIGPROF_CONFIGMGT_SNAPSHOT_H_
#define MIGPROF_CONFIGMGT_SNAPSHOT_H_

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "migprof/ado.h"
#include "migprof/automation.h"

namespace migprof::configmgt {

// One row of one table: its columns in the table's order.
struct StoredRow {
  String table;
  std::vector<std::pair<String, Variant>> values;

  // The value of column (letter case ignored); nullopt when the row has no
  // such column.
  std::optional<Variant> Get(const String& column) const;
  bool operator==(const StoredRow&) const = default;
};

using Snapshot = std::vector<StoredRow>;

// One line per row: the table name, then a tab and "column=" followed by a
// type letter and the value for each column; tabs, line breaks and
// backslashes in values are escaped.
String EncodeSnapshot(const Snapshot& rows);
// The rows of an encoded text. Text that EncodeSnapshot did not write raises
// ComError 13 (type mismatch).
Snapshot DecodeSnapshot(const String& text);

// The rows of "select * from {table}{condition}{order}" on connection.
Snapshot ReadRows(const std::shared_ptr<ado::Connection>& connection, const String& table,
                  const String& condition, const String& order);

// Deletes the rows of table that condition selects and inserts the rows of
// `rows` that belong to table, in their order, every column as stored.
void ReplaceRows(const std::shared_ptr<ado::Connection>& connection, const String& table,
                 const String& condition, const Snapshot& rows);

// A value as text for people: nullopt for Null, hex digits for binary data.
std::optional<String> DisplayText(const Variant& value);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_SNAPSHOT_H_
