// Reading rows through the data-access layer and writing them as JSON.
#ifndef MIGPROF_INSIGHT_ROWS_H_
#define MIGPROF_INSIGHT_ROWS_H_

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "insight/tables.h"
#include "migprof/ado.h"
#include "migprof/insight.h"

namespace migprof::insight {

using Json = nlohmann::ordered_json;

using Row = std::vector<Variant>;

// A new open connection to source, set up as the component's own are.
std::shared_ptr<ado::Connection> Connect(const DataSource& source);

// The rows a query yields, each value as read.
std::vector<Row> ReadRows(ado::Connection& connection, const String& sql);

// Adds rows, each holding a value for every column of table in its order,
// to table through an updatable recordset; a null value is left unset.
void InsertRows(ado::Connection& connection, const TableInfo& table, const std::vector<Row>& rows);

// Makes table in to (an embedded database) hold rows, in their order, when
// it held an earlier reading of the same table: a row of to whose values
// differ from the row at its place in rows is written over through an
// updatable recordset, rows past the end of to are added, rows of to past
// the end of rows deleted. Rows are taken in the order of to's row ids, so
// to ends as a table filled with rows in order would be. When more than a
// quarter of the rows differ (a row taken out early moves every row after
// it), or when a row written over takes a unique key a later row still
// holds, the table is emptied and filled instead. Returns the number of rows
// written, added or deleted (every row when filled afresh).
long SyncRows(ado::Connection& to, const TableInfo& table, const std::vector<Row>& rows);

// Adds to the table of the same name in to the rows of table in from that
// where (" where ...", "" for all) selects.
void CopyTableRows(ado::Connection& from, ado::Connection& to, const TableInfo& table,
                   const String& where);

// A value as text, the empty text for a database null.
String TextOf(const Variant& value);

// "select <columns of table> from <table>" followed by tail (" where ...").
String SelectAll(const TableInfo& table, const String& tail = "");

// " where mprf = <mprf>".
String WhereProfile(Integer mprf);
// " and vers = '...' and rele = '...' and cust = '...'", values quoted.
String AndVrc(const String& vers, const String& rele, const String& cust);

// A value as JSON: null for Null and Empty, numbers as numbers (a whole
// Double as an integer), texts and dates as strings, binary values as
// {"binary": "<lowercase hex>"}.
Json ValueJson(const Variant& value);
// The value a ValueJson answer stands for; a JSON value ValueJson never
// writes raises std::invalid_argument.
Variant ValueFromJson(const Json& value);

// {"column": value...} in the order of columns.
Json RowJson(const std::vector<std::string>& columns, const Row& row);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_ROWS_H_
