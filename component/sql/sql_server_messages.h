// The texts SQL Server gives for a value that does not fit its column's
// type. The embedded database raises them itself; the MariaDB session puts
// them in place of the server's own texts for the same refusals. The number
// in each comment is SQL Server's message number.
#ifndef MIGPROF_COMPONENT_SQL_SQL_SERVER_MESSAGES_H_
#define MIGPROF_COMPONENT_SQL_SQL_SERVER_MESSAGES_H_

#include <string>
#include <string_view>

namespace migprof::tsql {

// 8152: a varchar or varbinary value longer than its column. (Newer
// servers can give 2628, which names the table, column and value; the
// component keeps 8152, the default of every version.)
inline constexpr const char* kTruncatedText = "String or binary data would be truncated.";

// 8115: a number outside the int range stored into an int column.
inline constexpr const char* kIntOverflowText =
    "Arithmetic overflow error converting expression to data type int.";

// 245: a text that is no whole number converted to int.
inline std::string ConversionFailedText(std::string_view value) {
  return "Conversion failed when converting the varchar value '" + std::string(value) +
         "' to data type int.";
}

// 248: a whole number in a text, too large for int.
inline std::string ConversionOverflowText(std::string_view value) {
  return "The conversion of the varchar value '" + std::string(value) +
         "' overflowed an int column.";
}

// 257: a text stored into a varbinary column without a cast.
inline constexpr const char* kImplicitVarbinaryText =
    "Implicit conversion from data type varchar to varbinary is not allowed. Use the CONVERT "
    "function to run this query.";

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_SQL_SERVER_MESSAGES_H_
