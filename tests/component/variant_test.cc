#include <gtest/gtest.h>

#include "migprof/automation.h"
#include "migprof/com_error.h"

namespace migprof {
namespace {

std::int32_t ErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const ComError& error) {
    return error.number();
  }
  return 0;
}

TEST(Variant, IntegerConversions) {
  struct Case {
    Variant in;
    std::int32_t error;
    Integer out;
  } cases[] = {
      {Variant("12"), 0, 12},
      {Variant("  -7 "), 0, -7},
      {Variant("2.5"), 0, 2},  // half to even
      {Variant("3.5"), 0, 4},
      {Variant(Long{32767}), 0, 32767},
      {Variant(Long{-32768}), 0, -32768},
      {Variant(Long{32768}), errc::kOverflow, 0},
      {Variant("40000"), errc::kOverflow, 0},
      {Variant(1e10), errc::kOverflow, 0},
      {Variant("12abc"), errc::kTypeMismatch, 0},
      {Variant(""), errc::kTypeMismatch, 0},
      {Variant("0x10"), errc::kTypeMismatch, 0},
      {Variant(Binary{1, 2}), errc::kTypeMismatch, 0},
      {Variant::Null(), errc::kTypeMismatch, 0},  // a null converts to nothing
      {Variant(), 0, 0},                          // an empty value is 0 and ""
  };
  for (const Case& c : cases) {
    Integer out = 0;
    std::int32_t error = ErrorOf([&] { out = c.in.ToInteger(); });
    EXPECT_EQ(error, c.error) << &c - cases;
    if (c.error == 0) {
      EXPECT_EQ(out, c.out) << &c - cases;
    }
  }
  EXPECT_EQ(Variant("100000").ToLong(), 100000);
  EXPECT_EQ(ErrorOf([] { Variant(3e9).ToLong(); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToLong(); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToDouble(); }), errc::kTypeMismatch);
}

TEST(Variant, TextForms) {
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_EQ(Variant(Integer{-5}).ToString(), "-5");
  EXPECT_EQ(Variant(2.5).ToString(), "2.5");
  EXPECT_EQ(Variant(3.0).ToString(), "3");
  // Binary reads as Windows-1252 characters.
  EXPECT_EQ(Variant(Binary{'A', 0xE9, 0x80}).ToString(), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ((DateTime{2026, 1, 2, 3, 4, 5}.ToString()), "2026-01-02 03:04:05");
}

TEST(Boolean, OnlyMinusOneIsTrue) {
  EXPECT_TRUE(kTrue.IsTrue());
  EXPECT_FALSE(Boolean(1).IsTrue());
  EXPECT_FALSE(kFalse.IsTrue());
  EXPECT_EQ(Boolean::From(true), kTrue);
  EXPECT_EQ(Variant(kTrue).ToInteger(), -1);
  EXPECT_EQ(Variant("True").ToBoolean(), kTrue);
  EXPECT_EQ(Variant(Integer{3}).ToBoolean(), kTrue);
}

}  // namespace
}  // namespace migprof
