// Makes the embedded SQLite database answer SQL Server statements the way
// SQL Server (varchar columns, collation SQL_Latin1_General_CP1_CI_AS) does.
// Two halves work together: Translate() rewrites the statement text where
// SQLite's grammar or types differ, and Register() installs on a connection
// the collation and SQL functions the rewritten text and the schema rely on.
#ifndef MIGPROF_COMPONENT_SQLITE_DIALECT_H_
#define MIGPROF_COMPONENT_SQLITE_DIALECT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "component/sqlite/sqlite_api.h"

namespace migprof::sqlite_dialect {

// Name of the collation every text column of the schema declares.
inline constexpr const char* kCollationName = "SQLSERVER";

// Rewrites one SQL Server statement (or several separated by ';') into SQLite
// SQL. Quoted identifiers are never altered, string literals only as listed;
// words are matched case-insensitively. The rewrites:
//   cast(e as varbinary[(n)])  -> mssql_varbinary(e[,n])
//       in the select list of a top-level SELECT: mssql_varbinary_bytes(e[,n])
//   cast(e as varchar[(n)])    -> mssql_varchar(e[,n]) COLLATE SQLSERVER
//                                 ("max" as n becomes 2147483647)
//   a+b (binary plus)          -> mssql_add(a,b) COLLATE SQLSERVER, folded
//                                 left to right, with '*', '/', '%' binding
//                                 tighter and '-', '&', '|', '^' at the same
//                                 level as '+'
//   10and (number glued to a word) -> 10 and
//   delete t where ...         -> delete from t where ...  (statement start)
//   = (select e from ...)      -> = (select mssql_single_value(e) COLLATE
//                                 SQLSERVER from ...) beside any comparison
//                                 operator, when e is one plain expression
//                                 and the subquery has no grouping, set
//                                 operator or ordering
//   N'...'                     -> '...'
//   '...' (no N)               -> the text through code page 1252, as SQL
//                                 Server reads a varchar literal ('?' for a
//                                 character the code page lacks)
//   0x0102FF                   -> X'0102FF' (a binary value, not a number)
//   select [distinct] top n | top (n) ... -> select [distinct] ... limit n,
//                                 at the end of that select (n a number or
//                                 a parenthesised expression); not with
//                                 PERCENT, WITH TIES or a set operator
//   insert into t [(c, ...)] values (e, ...)[, (...)] and
//   update t set c = e, ...    -> each e that goes into a column of a
//                                 profile table passes through the column
//                                 function of its SQL Server type
//                                 (ColumnCall): mssql_int_column(e),
//                                 mssql_varchar_column(e,n),
//                                 mssql_varbinary_column(e,n)
// The COLLATE makes a varchar result compare like a column would, also
// against a literal, where SQLite would otherwise fall back to BINARY.
// Two literals compared with each other still compare by BINARY; the
// component's statements always compare with a column or a cast.
// Everything else passes through byte for byte. A statement SQLite would
// reject stays rejected; Translate never fails.
// Pure and thread-safe. It keeps no cache: one pass over the tokens costs
// little next to sqlite3_prepare, and callers that reuse a statement cache
// the prepared statement, which is what is worth caching.
std::string Translate(std::string_view tsql);

// The value written into a column of the given table (of the profile
// database; any other table, or a column of a type not checked, gives
// `value` unchanged): `value` wrapped in the column function of the
// column's SQL Server type.
std::string ColumnCall(std::string_view table, std::string_view column, std::string value);

// Names of the column functions.
inline constexpr const char* kIntColumnFunction = "mssql_int_column";
inline constexpr const char* kVarcharColumnFunction = "mssql_varchar_column";
inline constexpr const char* kVarbinaryColumnFunction = "mssql_varbinary_column";

// What a text is as an int, by SQL Server's conversion of varchar to int:
// a whole number (optionally signed) with blanks (' ') around it, or only
// blanks (0).
enum class IntText { kValue, kNotANumber, kOverflow };
IntText IntFromText(std::string_view text, std::int32_t* value);

// Registers the column functions on `db` (Register does it too):
//   mssql_int_column(v): NULL stays NULL; a number loses its fraction
//       (8115 "Arithmetic overflow error converting expression to data type
//       int." outside the int range); a text converts as IntFromText says
//       (245 "Conversion failed when converting the varchar value '<v>' to
//       data type int.", 248 "The conversion of the varchar value '<v>'
//       overflowed an int column."); a blob is the int of its last 4 bytes.
//   mssql_varchar_column(v, n): the text through code page 1252 (a number
//       as its decimal text, a blob's bytes as characters); blanks beyond n
//       characters are dropped, anything else beyond them refuses the value
//       with 8152 "String or binary data would be truncated.".
//   mssql_varbinary_column(v, n): a blob, or a number's big-endian bytes;
//       8152 beyond n bytes; a text is refused with 257 "Implicit conversion
//       from data type varchar to varbinary is not allowed. Use the CONVERT
//       function to run this query.".
// The texts are SQL Server's (sql_server_messages.h).
void RegisterColumnFunctions(sqlite3* db);

// Registers on `db` what translated statements and the schema need:
//   collation SQLSERVER: text compared after removing trailing ' ', with the
//       UTF-8 text read as cp1252 and folded by text::UpperCp1252, so it is
//       case-insensitive and accent-sensitive. Orders by the folded cp1252
//       bytes (a total order; not SQL Server's dictionary order for
//       punctuation).
//   mssql_varbinary(x[,n]): text -> its cp1252 bytes, blob -> itself, each cut
//       to n bytes (default 30). An INTEGER or REAL stays a number (see
//       sql_functions.cc: SQL Server converts it back when it meets a numeric
//       column); with n below the number's width only its low n bytes remain.
//   mssql_varbinary_bytes(x[,n]): as mssql_varbinary, but a number becomes
//       SQL Server's big-endian bytes (int: 4, bigint: 8, float: 8), of which
//       the last n remain.
//   mssql_varchar(x[,n]): blob -> its bytes read as cp1252, text -> itself
//       through cp1252 ('?' for what it cannot hold), both cut to n characters
//       (default 30); a number -> its decimal text, or "*" when longer than n.
//   mssql_add(a,b): concatenation when both are text or blob (text if either
//       is text), numeric addition otherwise; a blob in an addition counts as
//       the big-endian int of its last 4 bytes. NULL if either is NULL.
//       Errors like SQL Server for a non-numeric text or an int64 overflow.
//   mssql_single_value(e) (aggregate): the one row's value, NULL without
//       rows; SQL Server's "Subquery returned more than 1 value..." error on
//       a second row.
//   like(pattern, value[, escape]): SQL Server's varchar LIKE: trailing blanks
//       of the value are ignored, the pattern's count; case-insensitive by the
//       same folding; wildcards %, _, [set], [^set], [a-z].
//   the column functions (RegisterColumnFunctions).
// A length argument below 1 is an error; NULL in any argument gives NULL.
// All functions are SQLITE_UTF8 | SQLITE_DETERMINISTIC.
// Throws std::runtime_error when SQLite refuses a registration.
void Register(sqlite3* db);

}  // namespace migprof::sqlite_dialect

#endif  // MIGPROF_COMPONENT_SQLITE_DIALECT_H_
