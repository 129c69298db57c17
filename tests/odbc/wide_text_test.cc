// UTF-8 to and from the driver manager's UTF-16.
#include "component/odbc/wide_text.h"

#include <gtest/gtest.h>

namespace migprof::odbc {
namespace {

WideString Units(std::initializer_list<unsigned> units) {
  WideString out;
  for (unsigned u : units) out.push_back(static_cast<SQLWCHAR>(u));
  return out;
}

TEST(OdbcWideText, RoundTripsEveryPlane) {
  const std::string texts[] = {
      "",
      "plain ASCII",
      std::string("nul\0inside", 10),
      "Zo\xC3\xAB \xE2\x82\xAC",            // Zoë €
      "\xE2\x82\xAC\xEF\xBF\xBF",           // €, U+FFFF
      "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",  // U+1F600, U+10FFFF
  };
  for (const std::string& text : texts) EXPECT_EQ(FromWide(ToWide(text)), text);
  EXPECT_EQ(ToWide("Zo\xC3\xAB \xE2\x82\xAC"), Units({'Z', 'o', 0xEB, ' ', 0x20AC}));
  EXPECT_EQ(ToWide("\xF0\x9F\x98\x80"), Units({0xD83D, 0xDE00}));
  // Only the units asked for are read.
  const WideString text = Units({'x', 'y', 'z'});
  EXPECT_EQ(FromWide(text.data(), 2), "xy");
}

TEST(OdbcWideText, IllFormedTextBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    WideString wide;
  };
  const Case cases[] = {
      {"a\x80z", Units({'a', 0xFFFD, 'z'})},                          // stray continuation byte
      {"a\xC3", Units({'a', 0xFFFD})},                                // cut short at the end
      {"\xC3(", Units({0xFFFD, '('})},                                // cut short by a lead byte
      {"\xC0\xAF", Units({0xFFFD, 0xFFFD})},                          // overlong, and its tail
      {"\xE0\x80\xAF", Units({0xFFFD, 0xFFFD, 0xFFFD})},              // overlong three-byte form
      {"\xED\xA0\x80", Units({0xFFFD, 0xFFFD, 0xFFFD})},              // an encoded surrogate
      {"\xF4\x90\x80\x80", Units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD})},  // beyond U+10FFFF
      {"\xFF", Units({0xFFFD})},
  };
  for (const Case& c : cases) EXPECT_EQ(ToWide(c.utf8), c.wide) << c.utf8;
  // Unpaired surrogates in UTF-16.
  EXPECT_EQ(FromWide(Units({'a', 0xD800, 'b'})),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(FromWide(Units({0xDC00, 0xD83D})), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace migprof::odbc
