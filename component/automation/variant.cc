#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "component/text/cp1252.h"
#include "migprof/automation.h"
#include "migprof/com_error.h"

namespace migprof {
namespace {

// Parses numeric text as the runtime does: blanks around the number are
// allowed, nothing else is. Returns false for anything that is not a number.
bool ParseNumber(const String& text, double& out) {
  std::size_t begin = text.find_first_not_of(" \t");
  std::size_t end = text.find_last_not_of(" \t");
  if (begin == String::npos) return false;
  String body = text.substr(begin, end - begin + 1);
  // strtod also takes hexadecimal, "inf" and "nan": the runtime does not.
  for (char c : body) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E')) {
      return false;
    }
  }
  char* stop = nullptr;
  errno = 0;
  out = std::strtod(body.c_str(), &stop);
  if (stop != body.c_str() + body.size()) return false;
  if (errno == ERANGE && std::isinf(out)) RaiseOverflow();
  return true;
}

// Rounds half to even, as the runtime's integer conversions do.
double RoundHalfEven(double value) { return std::nearbyint(value); }

template <typename T>
T ToIntegral(const Variant& v) {
  double number = 0;
  switch (v.type()) {
    case Variant::Type::kEmpty:
      return 0;
    case Variant::Type::kNull:
      RaiseTypeMismatch();
    case Variant::Type::kInteger:
      number = v.AsInteger();
      break;
    case Variant::Type::kLong:
      number = v.AsLong();
      break;
    case Variant::Type::kDouble:
      number = v.AsDouble();
      break;
    case Variant::Type::kString:
      if (!ParseNumber(v.AsString(), number)) RaiseTypeMismatch();
      break;
    case Variant::Type::kBinary:
    case Variant::Type::kDate:
      RaiseTypeMismatch();
  }
  if (std::isnan(number)) RaiseOverflow();
  number = RoundHalfEven(number);
  if (number < static_cast<double>(std::numeric_limits<T>::min()) ||
      number > static_cast<double>(std::numeric_limits<T>::max())) {
    RaiseOverflow();
  }
  return static_cast<T>(number);
}

String FormatDouble(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

}  // namespace

DateTime DateTime::Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
}

String DateTime::ToString() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                minute, second);
  return buffer;
}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

String Variant::ToString() const {
  switch (type()) {
    case Type::kEmpty:
      return "";
    case Type::kNull:
      RaiseTypeMismatch();
    case Type::kInteger:
      return std::to_string(AsInteger());
    case Type::kLong:
      return std::to_string(AsLong());
    case Type::kDouble:
      return FormatDouble(AsDouble());
    case Type::kString:
      return AsString();
    case Type::kBinary: {
      const Binary& bytes = AsBinary();
      return text::Cp1252ToUtf8(
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    case Type::kDate:
      return AsDate().ToString();
  }
  RaiseTypeMismatch();
}

Integer Variant::ToInteger() const { return ToIntegral<Integer>(*this); }

Long Variant::ToLong() const { return ToIntegral<Long>(*this); }

Double Variant::ToDouble() const {
  switch (type()) {
    case Type::kEmpty:
      return 0;
    case Type::kInteger:
      return AsInteger();
    case Type::kLong:
      return AsLong();
    case Type::kDouble:
      return AsDouble();
    case Type::kString: {
      double number = 0;
      if (!ParseNumber(AsString(), number)) RaiseTypeMismatch();
      return number;
    }
    default:
      RaiseTypeMismatch();
  }
}

Boolean Variant::ToBoolean() const {
  if (type() == Type::kString) {
    const String& s = AsString();
    if (s.size() == 4 && (s[0] == 'T' || s[0] == 't') &&
        (s == "True" || s == "true" || s == "TRUE"))
      return kTrue;
    if (s == "False" || s == "false" || s == "FALSE") return kFalse;
  }
  return Boolean::From(ToDouble() != 0);
}

}  // namespace migprof
