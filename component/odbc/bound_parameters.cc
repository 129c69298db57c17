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

// What a value is bound as: its C and SQL types, its declared size and
// digits, its bytes and its length indicator.
struct Encoded {
  SQLSMALLINT c_type = SQL_C_WCHAR;
  SQLSMALLINT sql_type = SQL_WVARCHAR;
  SQLULEN size = 1;
  SQLSMALLINT digits = 0;
  std::vector<unsigned char> data;
  SQLLEN indicator = 0;
};

Encoded Encode(const Variant& value, bool wide) {
  Encoded out;
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      out.data.resize(sizeof(SQLWCHAR));
      out.indicator = SQL_NULL_DATA;
      break;
    case Variant::Type::kInteger:
    case Variant::Type::kLong: {
      const SQLINTEGER number =
          value.type() == Variant::Type::kLong ? value.AsLong() : value.AsInteger();
      out.data = BytesOf(number);
      out.c_type = SQL_C_SLONG;
      out.sql_type = SQL_INTEGER;
      out.size = 10;
      break;
    }
    case Variant::Type::kDouble:
      out.data = BytesOf(value.AsDouble());
      out.c_type = SQL_C_DOUBLE;
      out.sql_type = SQL_DOUBLE;
      out.size = 15;
      break;
    case Variant::Type::kString: {
      const String& utf8 = value.AsString();
      if (wide) {
        const WideString text = ToWide(utf8);
        out.data.resize(std::max<std::size_t>(1, text.size()) * sizeof(SQLWCHAR));
        if (!text.empty()) {
          std::memcpy(out.data.data(), text.data(), text.size() * sizeof(SQLWCHAR));
        }
        out.indicator = static_cast<SQLLEN>(text.size() * sizeof(SQLWCHAR));
        out.sql_type = text.size() > kMaxWideChars ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        out.size = std::max<std::size_t>(1, text.size());
      } else {
        out.data.assign(utf8.begin(), utf8.end());
        if (out.data.empty()) out.data.resize(1);
        out.indicator = static_cast<SQLLEN>(utf8.size());
        out.c_type = SQL_C_CHAR;
        out.sql_type = utf8.size() > kMaxNarrowBytes ? SQL_LONGVARCHAR : SQL_VARCHAR;
        out.size = std::max<std::size_t>(1, utf8.size());
      }
      break;
    }
    case Variant::Type::kBinary: {
      const Binary& bytes = value.AsBinary();
      out.data.assign(bytes.begin(), bytes.end());
      if (out.data.empty()) out.data.resize(1);
      out.indicator = static_cast<SQLLEN>(bytes.size());
      out.c_type = SQL_C_BINARY;
      out.sql_type = bytes.size() > kMaxBinaryBytes ? SQL_LONGVARBINARY : SQL_VARBINARY;
      out.size = std::max<std::size_t>(1, bytes.size());
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
      out.data = BytesOf(stamp);
      out.c_type = SQL_C_TYPE_TIMESTAMP;
      out.sql_type = SQL_TYPE_TIMESTAMP;
      out.size = 19;
      break;
    }
  }
  if (out.indicator == 0 && out.c_type != SQL_C_WCHAR && out.c_type != SQL_C_CHAR &&
      out.c_type != SQL_C_BINARY) {
    out.indicator = static_cast<SQLLEN>(out.data.size());
  }
  return out;
}

// Text and binary values vary in length; the others fill their buffer
// exactly.
bool VariableLength(SQLSMALLINT c_type) {
  return c_type == SQL_C_CHAR || c_type == SQL_C_WCHAR || c_type == SQL_C_BINARY;
}

// A buffer bound for values to come holds at least this many bytes, so that
// the next value of a marker seldom needs a new one.
constexpr std::size_t kRoomBytes = 64;

}  // namespace

void BoundParameters::BindSlot(const StatementHandle& statement, std::size_t marker,
                               const Variant& value, bool room) {
  Encoded encoded = Encode(value, statement.traits().wide);
  if (marker == slots_.size()) slots_.emplace_back();
  Slot& slot = slots_[marker];
  slot.data = std::move(encoded.data);
  slot.indicator = encoded.indicator;
  slot.c_type = encoded.c_type;
  slot.sql_type = encoded.sql_type;
  slot.declared = encoded.size;
  if (room && VariableLength(encoded.c_type) && slot.data.size() < kRoomBytes) {
    // Declared as long as the buffer (in characters for UTF-16), still within
    // the type's limit; the value itself is given by its length indicator.
    slot.data.resize(kRoomBytes);
    slot.declared = encoded.c_type == SQL_C_WCHAR ? kRoomBytes / sizeof(SQLWCHAR) : kRoomBytes;
  }
  statement.Check(SQLBindParameter(statement.get(), static_cast<SQLUSMALLINT>(marker + 1),
                                   SQL_PARAM_INPUT, encoded.c_type, encoded.sql_type, slot.declared,
                                   encoded.digits, slot.data.data(),
                                   static_cast<SQLLEN>(slot.data.size()), &slot.indicator));
}

void BoundParameters::Bind(const StatementHandle& statement, const std::vector<Variant>& values) {
  slots_.clear();
  for (std::size_t i = 0; i < values.size(); ++i) BindSlot(statement, i, values[i], false);
}

void BoundParameters::Refill(const StatementHandle& statement, const std::vector<Variant>& values) {
  if (values.size() != slots_.size()) slots_.clear();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i == slots_.size()) {
      BindSlot(statement, i, values[i], true);
      continue;
    }
    Slot& slot = slots_[i];
    Encoded encoded = Encode(values[i], statement.traits().wide);
    // A value longer than its marker was declared is bound anew: a driver
    // may cut a value at its declared size.
    const bool fits = VariableLength(encoded.c_type)
                          ? encoded.data.size() <= slot.data.size() && encoded.size <= slot.declared
                          : encoded.data.size() == slot.data.size();
    if (encoded.c_type != slot.c_type || encoded.sql_type != slot.sql_type || !fits) {
      BindSlot(statement, i, values[i], true);
      continue;
    }
    std::memcpy(slot.data.data(), encoded.data.data(), encoded.data.size());
    slot.indicator = encoded.indicator;
  }
}

}  // namespace migprof::odbc
