// Argument conversion from JSON and the JSON form of values and results.
#include "wire/json_values.h"

#include <gtest/gtest.h>

#include <optional>

#include "wire/member_json.h"
#include "migprof/com_error.h"

namespace migprof::wire {
namespace {

using dispatch::ParamType;

// The value a JSON argument becomes for a parameter of type, or the number
// of the error its conversion raises.
struct Converted {
  std::optional<Variant> value;
  std::int32_t error = 0;
};

Converted Convert(const char* json, ParamType type) {
  try {
    return {dispatch::CoerceArgument(ArgumentFromJson(Json::parse(json), type), type), 0};
  } catch (const ComError& error) {
    return {std::nullopt, error.number()};
  }
}

TEST(CliArguments, ConvertLikeTheAutomationRuntimeOrRefuse) {
  struct Case {
    const char* json;
    ParamType type;
    Variant expected;
    std::int32_t error = 0;
  };
  const Case cases[] = {
      {"true", ParamType::kBoolean, Variant(Integer{-1})},
      {"false", ParamType::kBoolean, Variant(Integer{0})},
      {"1", ParamType::kBoolean, Variant(Integer{1})},  // not True
      {"true", ParamType::kInteger, Variant(Integer{-1})},
      {"\"12\"", ParamType::kInteger, Variant(Integer{12})},
      {"12.5", ParamType::kInteger, Variant(Integer{12})},  // half to even
      {"-32768", ParamType::kInteger, Variant(Integer{-32768})},
      {"12", ParamType::kString, Variant("12")},
      {"true", ParamType::kString, Variant("True")},
      {"\"it's\"", ParamType::kString, Variant("it's")},
      {"null", ParamType::kConnection, Variant()},
      {"{\"binary\": \"00fF10\"}", ParamType::kVariant, Variant(Binary{0x00, 0xff, 0x10})},
      {"null", ParamType::kVariant, Variant::Null()},
      {"40000", ParamType::kInteger, Variant(), errc::kOverflow},
      {"3000000000", ParamType::kInteger, Variant(), errc::kOverflow},
      {"null", ParamType::kInteger, Variant(), errc::kTypeMismatch},
      {"\"x\"", ParamType::kConnection, Variant(), errc::kTypeMismatch},
      {"[1, 2]", ParamType::kVariant, Variant(), errc::kTypeMismatch},
      {"{\"x\": 1}", ParamType::kString, Variant(), errc::kTypeMismatch},
      {"{\"binary\": \"0g\"}", ParamType::kVariant, Variant(), errc::kTypeMismatch},
      {"{\"binary\": \"abc\"}", ParamType::kVariant, Variant(), errc::kTypeMismatch},
  };
  for (const Case& c : cases) {
    Converted converted = Convert(c.json, c.type);
    EXPECT_EQ(converted.error, c.error) << c.json;
    if (c.error == 0) {
      ASSERT_TRUE(converted.value) << c.json;
      EXPECT_EQ(*converted.value, c.expected) << c.json;
    }
  }
}

TEST(CliArguments, CountIsCheckedBeforeValues) {
  dispatch::Member member{99,
                          "Sample",
                          {{"i_intA", ParamType::kInteger},
                           {"i_StrB", ParamType::kString},
                           {"i_StrC", ParamType::kString, false, /*optional=*/true}},
                          dispatch::ResultType::kNone,
                          nullptr};
  auto raised_by = [&](const char* args) {
    try {
      CallFromJson(member, Json::parse(args));
    } catch (const ComError& error) {
      return error;
    }
    return ComError(0, "nothing raised");
  };
  for (const char* args : {"[]", "[\"not a number\"]", "[1, \"b\", \"c\", \"d\"]"}) {
    ComError error = raised_by(args);
    EXPECT_EQ(error.number(), 450) << args;
    EXPECT_EQ(error.description(), "Wrong number of arguments or invalid property assignment");
  }
  std::vector<Variant> values = CallFromJson(member, Json::parse("[\"3\", 4]")).args;
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0], Variant(Integer{3}));
  EXPECT_EQ(values[1], Variant("4"));
  EXPECT_EQ(values[2], Variant(""));  // omitted optional argument
}

// Nulls, binary values, Integers and Boolean results are seen in the session
// tests' answers.
TEST(CliValues, WrittenAsTheirJsonKind) {
  EXPECT_EQ(JsonFromVariant(Variant()), Json(nullptr));
  EXPECT_EQ(JsonFromVariant(Variant(Long{70000})), Json(70000));
  EXPECT_EQ(JsonFromVariant(Variant(2.5)), Json(2.5));
  EXPECT_EQ(JsonFromVariant(Variant(DateTime{2024, 1, 2, 3, 4, 5})), Json("2024-01-02 03:04:05"));
  // A whole Double, such as an error number, is written without a fraction.
  EXPECT_EQ(JsonFromNumber(-2147467259.0).dump(), "-2147467259");
  EXPECT_EQ(JsonFromNumber(0.25).dump(), "0.25");
  // A Boolean other than True or False is written as its number.
  EXPECT_EQ(JsonFromBoolean(Variant(Integer{1})), Json(1));
}

}  // namespace
}  // namespace migprof::wire
