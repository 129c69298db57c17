// The Automation types of the component's interface: Integer, Boolean,
// Double, String and Variant, with the conversions of the Visual Basic
// runtime that the members rely on.
#ifndef MIGPROF_AUTOMATION_H_
#define MIGPROF_AUTOMATION_H_

#include <compare>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace migprof {

// A 16-bit signed integer.
using Integer = std::int16_t;
// A 32-bit signed integer (the Automation Long).
using Long = std::int32_t;
using Double = double;
// Text, held as UTF-8.
using String = std::string;
// Binary data, such as a varbinary column.
using Binary = std::vector<std::uint8_t>;

// The Automation Boolean: a 16-bit value, True is -1 and False is 0. Any
// other value is possible (a flag passed as 1) and is not True.
struct Boolean {
  std::int16_t value = 0;

  constexpr Boolean() = default;
  constexpr explicit Boolean(std::int16_t v) : value(v) {}
  // From a C++ condition: true gives True (-1), false gives False (0).
  static constexpr Boolean From(bool b) { return Boolean(b ? -1 : 0); }

  // Exactly True (-1).
  constexpr bool IsTrue() const { return value == -1; }
  constexpr bool operator==(const Boolean&) const = default;
};

inline constexpr Boolean kTrue{-1};
inline constexpr Boolean kFalse{0};

// A date and time, to the second (what the database's date-time columns hold).
struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;

  // The current local date and time.
  static DateTime Now();
  // "YYYY-MM-DD hh:mm:ss", the form stored in the database.
  String ToString() const;
  auto operator<=>(const DateTime&) const = default;
};

// A value of any of the Automation types the component reads or writes.
// Conversions follow the Visual Basic runtime: they raise ComError 13 "Type
// mismatch" for a Null or for text that is not a number, and 6 "Overflow" for
// a number outside the target's range.
class Variant {
 public:
  enum class Type { kEmpty, kNull, kInteger, kLong, kDouble, kString, kBinary, kDate };

  Variant() = default;  // Empty
  Variant(Integer v) : value_(v) {}
  Variant(Long v) : value_(v) {}
  Variant(Double v) : value_(v) {}
  Variant(String v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(String(v)) {}
  Variant(Binary v) : value_(std::move(v)) {}
  Variant(DateTime v) : value_(v) {}
  Variant(Boolean v) : value_(static_cast<Integer>(v.value)) {}
  static Variant Null();

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return type() == Type::kEmpty; }
  bool IsNull() const { return type() == Type::kNull; }

  // Text form: numbers in decimal, binary as its Windows-1252 characters,
  // Empty as "". Null raises 13.
  String ToString() const;
  // 16-bit integer: numbers rounded half to even, numeric text (blanks
  // around it allowed). Null or other text raises 13; out of range raises 6.
  Integer ToInteger() const;
  // 32-bit integer, by the same rules.
  Long ToLong() const;
  Double ToDouble() const;
  // Boolean: a number (nonzero is True), or the text "True"/"False".
  Boolean ToBoolean() const;

  // The held value; the accessors require the matching type().
  const String& AsString() const { return std::get<String>(value_); }
  const Binary& AsBinary() const { return std::get<Binary>(value_); }
  Integer AsInteger() const { return std::get<Integer>(value_); }
  Long AsLong() const { return std::get<Long>(value_); }
  Double AsDouble() const { return std::get<Double>(value_); }
  const DateTime& AsDate() const { return std::get<DateTime>(value_); }

  // Same type and same value.
  bool operator==(const Variant& other) const { return value_ == other.value_; }

 private:
  struct NullTag {
    bool operator==(const NullTag&) const { return true; }
  };
  std::variant<std::monostate, NullTag, Integer, Long, Double, String, Binary, DateTime> value_;
};

}  // namespace migprof

#endif  // MIGPROF_AUTOMATION_H_
