// Makes a MariaDB (or MySQL) server answer the component's SQL Server
// statements as SQL Server does. The statement text is rewritten where the
// two grammars or their types differ; the session supplies the rest (text
// comparison by the database's collation, string literals without
// backslash escapes).
#ifndef MIGPROF_COMPONENT_ODBC_MARIADB_DIALECT_H_
#define MIGPROF_COMPONENT_ODBC_MARIADB_DIALECT_H_

#include <string>
#include <string_view>

namespace migprof::odbc {

// The character set and collation of the database's text columns. A cast to
// varchar yields text of this collation, so that it compares as a column does.
struct MariaDbTextType {
  std::string charset = "latin1";
  std::string collation = "latin1_cp1_ci_as";
};

// Rewrites one SQL Server statement (or several separated by ';') for
// MariaDB. String literals are never altered; words are matched ignoring
// case. The rewrites:
//   cast(e as varbinary[(n)]), n defaulting to 30 (SQL Server's length for a
//   cast without one), "max" for no limit:
//     e a string literal      -> X'..': its Windows-1252 bytes (UTF-16LE for
//                                N'..'), the first n of them
//     e an integer literal    -> the number itself, or, with n below its
//                                width (4 bytes, 8 beyond int), the number
//                                its last n big-endian bytes make; in the
//                                select list of a top-level SELECT, X'..'
//                                with those bytes
//     e another number        -> e (masked to n bytes below 4); in a
//                                top-level select list its big-endian bytes
//     anything else           -> LEFT(CAST(CONVERT(e USING latin1) AS
//                                BINARY),n)   (latin1 is Windows-1252)
//   cast(e as varchar[(n)])  -> (CONVERT(LEFT(CONVERT(e USING latin1),n)
//                                USING <charset>) COLLATE <collation>)
//   a+b with two text operands -> CONCAT(a,b) (a chain a+b+c becomes one
//                                CONCAT); '*', '/', '%' bind tighter, '-',
//                                '&', '|', '^' alike. An operand is text when
//                                it is a string literal, a cast to varchar or
//                                varbinary, a text function (rtrim, left,
//                                ...), a parenthesised text operand, or a
//                                column not named mprf, levl, pprf, deph,
//                                dnum, dept, defa or ldat (the schema's
//                                numeric and date columns).
//   x [not] like p           -> RTRIM(x) [not] like p (varchar LIKE ignores
//                                the value's trailing blanks)
//   10and                    -> 10 and (a number ends at the first letter)
//   delete t where ...       -> delete from t where ...
//   [name], "name"           -> `name`
//   !< and !>                -> >= and <=
//   comments                 -> one blank
//   a value written alone into a column of a profile table (INSERT ...
//   VALUES / SELECT, UPDATE ... SET; tsql::FindColumnAssignments):
//     a string literal into an int column -> mssql_int_of_text('...')
//     a string literal into a varbinary column -> mssql_varbinary_of_text('...')
//     a number with a fraction into an int column -> TRUNCATE(n,0)
//   (the two functions are created by schema/mariadb.sql)
// Everything else passes through byte for byte; a statement the server
// would reject stays rejected. Pure and thread-safe.
std::string TranslateForMariaDb(std::string_view tsql, const MariaDbTextType& text_type = {});

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_MARIADB_DIALECT_H_
