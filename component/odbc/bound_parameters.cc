#include "component/odbc/bound_parameters.h"

#include <algorithm>
#include <cstring>

#include "component/odbc/wide_text.h"

namespace migprof::odbc {
namespace {

// Above these sizes the long types are needed (SQL Server's varchar and
// varbinary limits).
constexpr std::size_t kMaxWideChars = 4000;
constexpr std::size_t kMaxNarrowBytes = 8000;
constexpr std::size_t kMaxBinaryBytes = 8000;

template <typename T>
std::vector<unsigned char> BytesOf(const T& value) {
  std::vector<unsigned char> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

}  // namespace

void BoundParameters::Bind(const StatementHandle& statement, const std::vector<Variant>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Variant& value = values[i];
    Slot& slot = slots_.emplace_back();
    SQLSMALLINT c_type = SQL_C_WCHAR;
    SQLSMALLINT sql_type = SQL_WVARCHAR;
    SQLULEN size = 1;
    SQLSMALLINT digits = 0;
    switch (value.type()) {
      case Variant::Type::kEmpty:
      case Variant::Type::kNull:
        slot.data.resize(sizeof(SQLWCHAR));
        slot.indicator = SQL_NULL_DATA;
        break;
      case Variant::Type::kInteger:
      case Variant::Type::kLong: {
        const SQLINTEGER number =
            value.type() == Variant::Type::kLong ? value.AsLong() : value.AsInteger();
        slot.data = BytesOf(number);
        c_type = SQL_C_SLONG;
        sql_type = SQL_INTEGER;
        size = 10;
        break;
      }
      case Variant::Type::kDouble:
        slot.data = BytesOf(value.AsDouble());
        c_type = SQL_C_DOUBLE;
        sql_type = SQL_DOUBLE;
        size = 15;
        break;
      case Variant::Type::kString: {
        const String& utf8 = value.AsString();
        if (statement.traits().wide) {
          const WideString text = ToWide(utf8);
          slot.data.resize(std::max<std::size_t>(1, text.size()) * sizeof(SQLWCHAR));
          if (!text.empty()) {
            std::memcpy(slot.data.data(), text.data(), text.size() * sizeof(SQLWCHAR));
          }
          slot.indicator = static_cast<SQLLEN>(text.size() * sizeof(SQLWCHAR));
          sql_type = text.size() > kMaxWideChars ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
          size = std::max<std::size_t>(1, text.size());
        } else {
          slot.data.assign(utf8.begin(), utf8.end());
          if (slot.data.empty()) slot.data.resize(1);
          slot.indicator = static_cast<SQLLEN>(utf8.size());
          c_type = SQL_C_CHAR;
          sql_type = utf8.size() > kMaxNarrowBytes ? SQL_LONGVARCHAR : SQL_VARCHAR;
          size = std::max<std::size_t>(1, utf8.size());
        }
        break;
      }
      case Variant::Type::kBinary: {
        const Binary& bytes = value.AsBinary();
        slot.data.assign(bytes.begin(), bytes.end());
        if (slot.data.empty()) slot.data.resize(1);
        slot.indicator = static_cast<SQLLEN>(bytes.size());
        c_type = SQL_C_BINARY;
        sql_type = bytes.size() > kMaxBinaryBytes ? SQL_LONGVARBINARY : SQL_VARBINARY;
        size = std::max<std::size_t>(1, bytes.size());
        break;
      }
      case Variant::Type::kDate: {
        const DateTime& date = value.AsDate();
        SQL_TIMESTAMP_STRUCT stamp{};
        stamp.year = static_cast<SQLSMALLINT>(date.year);
        stamp.month = static_cast<SQLUSMALLINT>(date.month);
        stamp.day = static_cast<SQLUSMALLINT>(date.day);
        stamp.hour = static_cast<SQLUSMALLINT>(date.hour);
        stamp.minute = static_cast<SQLUSMALLINT>(date.minute);
        stamp.second = static_cast<SQLUSMALLINT>(date.second);
        slot.data = BytesOf(stamp);
        c_type = SQL_C_TYPE_TIMESTAMP;
        sql_type = SQL_TYPE_TIMESTAMP;
        size = 19;
        break;
      }
    }
    if (slot.indicator == 0 && c_type != SQL_C_WCHAR && c_type != SQL_C_CHAR &&
        c_type != SQL_C_BINARY) {
      slot.indicator = static_cast<SQLLEN>(slot.data.size());
    }
    statement.Check(SQLBindParameter(
        statement.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, c_type, sql_type, size,
        digits, slot.data.data(), static_cast<SQLLEN>(slot.data.size()), &slot.indicator));
  }
}

}  // namespace migprof::odbc
