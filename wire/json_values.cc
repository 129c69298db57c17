#include "wire/json_values.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "migprof/com_error.h"

namespace migprof::wire {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Binary BinaryFromHex(const Json& hex) {
  if (!hex.is_string()) RaiseTypeMismatch();
  const String& digits = hex.get_ref<const String&>();
  if (digits.size() % 2 != 0) RaiseTypeMismatch();
  Binary bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    int high = HexDigit(digits[i]);
    int low = HexDigit(digits[i + 1]);
    if (high < 0 || low < 0) RaiseTypeMismatch();
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

// The narrowest Automation number that holds a whole value.
template <typename T>
Variant WholeNumber(T value) {
  if (std::in_range<Integer>(value)) return Variant(static_cast<Integer>(value));
  if (std::in_range<Long>(value)) return Variant(static_cast<Long>(value));
  return Variant(static_cast<Double>(value));
}

bool IsNumber(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kInteger:
    case Variant::Type::kLong:
    case Variant::Type::kDouble:
      return true;
    default:
      return false;
  }
}

}  // namespace

Variant ArgumentFromJson(const Json& value, dispatch::ParamType type) {
  switch (value.type()) {
    case Json::value_t::null:
      return Variant::Null();
    case Json::value_t::boolean: {
      bool flag = value.get<bool>();
      if (type == dispatch::ParamType::kString) return Variant(flag ? "True" : "False");
      return Variant(Boolean::From(flag));
    }
    case Json::value_t::number_integer:
      return WholeNumber(value.get<std::int64_t>());
    case Json::value_t::number_unsigned:
      return WholeNumber(value.get<std::uint64_t>());
    case Json::value_t::number_float:
      return Variant(value.get<Double>());
    case Json::value_t::string:
      return Variant(value.get<String>());
    case Json::value_t::object:
      if (value.size() == 1 && value.contains("binary")) {
        return Variant(BinaryFromHex(value.at("binary")));
      }
      RaiseTypeMismatch();
    default:
      RaiseTypeMismatch();
  }
}

Json JsonFromNumber(double value) {
  // JSON has no infinity or NaN.
  if (!std::isfinite(value)) return Json(nullptr);
  // Whole numbers within the exact range of a double are written as
  // integers, so an error number reads -2147467259 and not -2147467259.0.
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
    return Json(static_cast<std::int64_t>(value));
  }
  return Json(value);
}

Json JsonFromVariant(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      return Json(nullptr);
    case Variant::Type::kInteger:
      return Json(value.AsInteger());
    case Variant::Type::kLong:
      return Json(value.AsLong());
    case Variant::Type::kDouble:
      return JsonFromNumber(value.AsDouble());
    case Variant::Type::kString:
      return Json(value.AsString());
    case Variant::Type::kBinary:
      return Json{{"binary", HexFromBinary(value.AsBinary())}};
    case Variant::Type::kDate:
      return Json(value.AsDate().ToString());
  }
  return Json(nullptr);
}

Json JsonFromBoolean(const Variant& value) {
  if (!IsNumber(value)) return JsonFromVariant(value);
  double number = value.ToDouble();
  if (number == -1) return Json(true);
  if (number == 0) return Json(false);
  return JsonFromVariant(value);
}

Json JsonFromResult(const dispatch::Result& result, dispatch::ResultType type) {
  switch (type) {
    case dispatch::ResultType::kNone:
      return Json(nullptr);
    case dispatch::ResultType::kBoolean:
      return JsonFromBoolean(result.value);
    case dispatch::ResultType::kDouble:
    case dispatch::ResultType::kString:
      return JsonFromVariant(result.value);
    case dispatch::ResultType::kConnection:
      if (!result.object) return Json(nullptr);
      return Json{{"Connection", Json{{"State", result.object->State()}}}};
  }
  return Json(nullptr);
}

Json JsonFromArgument(const Variant& value, dispatch::ParamType type) {
  if (type == dispatch::ParamType::kBoolean) return JsonFromBoolean(value);
  return JsonFromVariant(value);
}

String HexFromBinary(const Binary& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  String hex;
  hex.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

}  // namespace migprof::wire
