// The functions through which every value written into a column of the
// profile tables passes (Translate() and the session's row statements put
// them there): they take what SQL Server takes into a column of that type,
// converted as SQL Server converts it, and refuse the rest with SQL Server's
// message. SQLite itself would store any value in any column.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "component/sql/sql_server_messages.h"
#include "component/sqlite/dialect.h"
#include "component/sqlite/sqlite_values.h"
#include "component/text/cp1252.h"

namespace migprof::sqlite_dialect {
namespace {

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::size_t LengthOf(sqlite3_value* n) {
  const sqlite3_int64 length = sqlite3_value_int64(n);
  return length < 0 ? 0 : static_cast<std::size_t>(length);
}

bool FitsInt(double d) { return d > -2147483649.0 && d < 2147483648.0; }

// mssql_int_column(v): an int column's value. A text converts when it is a
// whole number with blanks (' ') around it, or blank (0); a float or decimal
// loses its fraction; a binary value is the int of its last 4 bytes.
void IntColumn(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      sqlite3_result_null(ctx);
      return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      const double d = std::trunc(sqlite3_value_double(v));
      if (!FitsInt(d)) return ResultError(ctx, tsql::kIntOverflowText);
      sqlite3_result_int64(ctx, sqlite3_value_type(v) == SQLITE_INTEGER ? sqlite3_value_int64(v)
                                                                        : static_cast<int>(d));
      return;
    }
    case SQLITE_BLOB: {
      std::uint32_t u = 0;
      const std::string_view bytes = BlobOf(v);
      for (char c : bytes.substr(bytes.size() - std::min<std::size_t>(4, bytes.size()))) {
        u = (u << 8) | static_cast<unsigned char>(c);
      }
      sqlite3_result_int64(ctx, static_cast<std::int32_t>(u));
      return;
    }
    default:
      break;
  }
  const std::string_view text = TextOf(v);
  std::int32_t value = 0;
  switch (IntFromText(text, &value)) {
    case IntText::kValue:
      sqlite3_result_int64(ctx, value);
      return;
    case IntText::kOverflow:
      return ResultError(ctx, tsql::ConversionOverflowText(text));
    case IntText::kNotANumber:
      return ResultError(ctx, tsql::ConversionFailedText(text));
  }
}

// The cp1252 text of a varchar column of n characters: blanks beyond n are
// dropped silently, anything else beyond n refuses the value.
bool FitVarchar(std::string* cp1252, std::size_t n) {
  if (cp1252->size() <= n) return true;
  if (cp1252->find_first_not_of(' ', n) != std::string::npos) return false;
  cp1252->resize(n);
  return true;
}

// mssql_varchar_column(v, n): a varchar(n) column's value, in code page
// 1252 as SQL Server stores it (a character the code page lacks becomes
// '?'). A number becomes its decimal text, a binary value its bytes read as
// characters.
void VarcharColumn(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const std::size_t n = LengthOf(argv[1]);
  std::string cp1252;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      sqlite3_result_null(ctx);
      return;
    case SQLITE_TEXT: {
      const std::string_view text = TextOf(v);
      if (text.size() <= n && IsAscii(text)) {
        sqlite3_result_value(ctx, v);
        return;
      }
      cp1252 = text::Utf8ToCp1252(text);
      break;
    }
    case SQLITE_BLOB:
      cp1252 = std::string(BlobOf(v));
      break;
    default:
      cp1252 = std::string(TextOf(v));
      break;
  }
  if (!FitVarchar(&cp1252, n)) return ResultError(ctx, tsql::kTruncatedText);
  ResultText(ctx, text::Cp1252ToUtf8(cp1252));
}

// mssql_varbinary_column(v, n): a varbinary(n) column's value. A number
// becomes its big-endian bytes; a text is refused, as SQL Server converts
// varchar to varbinary only by an explicit cast.
void VarbinaryColumn(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const std::size_t n = LengthOf(argv[1]);
  std::string bytes;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      sqlite3_result_null(ctx);
      return;
    case SQLITE_TEXT:
      return ResultError(ctx, tsql::kImplicitVarbinaryText);
    case SQLITE_BLOB:
      if (static_cast<std::size_t>(sqlite3_value_bytes(v)) > n) {
        return ResultError(ctx, tsql::kTruncatedText);
      }
      sqlite3_result_value(ctx, v);
      return;
    default:
      bytes = NumberBytes(v);
      break;
  }
  if (bytes.size() > n) return ResultError(ctx, tsql::kTruncatedText);
  ResultBlob(ctx, bytes);
}

}  // namespace

IntText IntFromText(std::string_view text, std::int32_t* value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::size_t end = text.size();
  while (end > i && text[end - 1] == ' ') --end;
  *value = 0;
  if (i == end) return IntText::kValue;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  if (i == end) return IntText::kNotANumber;
  std::int64_t magnitude = 0;
  bool overflow = false;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return IntText::kNotANumber;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) {
      overflow = true;
      magnitude = 2147483648LL;
    }
  }
  if (overflow || magnitude > (negative ? 2147483648LL : 2147483647LL)) return IntText::kOverflow;
  *value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return IntText::kValue;
}

void RegisterColumnFunctions(sqlite3* db) {
  struct Function {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static constexpr Function kFunctions[] = {
      {kIntColumnFunction, 1, IntColumn},
      {kVarcharColumnFunction, 2, VarcharColumn},
      {kVarbinaryColumnFunction, 2, VarbinaryColumn},
  };
  for (const Function& f : kFunctions) {
    AddFunction(db, f.name, f.args, f.fn);
  }
}

}  // namespace migprof::sqlite_dialect
