// Rows kept as text: every type comes back as it went in; differences are
// found row by row.
#include "configmgt/snapshot.h"

#include <gtest/gtest.h>

#include <tuple>

#include "configmgt/line_diff.h"
#include "configmgt/snapshot_diff.h"

namespace migprof::configmgt {
namespace {

TEST(ConfigSnapshot, EveryValueComesBackWithItsType) {
  const Snapshot rows{
      {"qzlib100",
       {{"a", Variant::Null()},
        {"b", Variant(Integer{-7})},
        {"c", Variant(Long{123456})},
        {"d", Variant(0.1)},
        {"e", Variant("tab\there\nnew line\\ and = sign")},
        {"f", Variant(Binary{0x00, 0xff, 0x41})},
        {"g", Variant(DateTime{2026, 12, 6, 10, 30, 5})},
        {"h", Variant("")}}},
      {"qzmap140", {}},
  };
  EXPECT_EQ(DecodeSnapshot(EncodeSnapshot(rows)), rows);
  for (const char* malformed : {"t\tx=q1\n", "t\tx\n", "t\tx=s\\q\n", "t\tx=b0\n", "t"}) {
    EXPECT_THROW(DecodeSnapshot(malformed), ComError) << malformed;
  }
}

TEST(ConfigSnapshot, DiffMatchesFieldRulesByName) {
  auto field = [](const char* name, const char* rule) {
    return StoredRow{"qzmap140", {{"fdnm", Variant(name)}, {"mrul", Variant(rule)}}};
  };
  const Snapshot before{field("F1", "a"), field("F2", "b")};
  const Snapshot after{field("F2", "c\nd"), field("F3", "d")};
  const std::vector<Change> expected{
      {"qzmap140", "F1", "fdnm", "F1", std::nullopt, false, true, {}},
      {"qzmap140", "F1", "mrul", "a", std::nullopt, false, true, {}},
      {"qzmap140", "F2", "mrul", "b", "c\nd", false, false, {"- b", "+ c", "+ d"}},
      {"qzmap140", "F3", "fdnm", std::nullopt, "F3", true, false, {}},
      {"qzmap140", "F3", "mrul", std::nullopt, "d", true, false, {}},
  };
  EXPECT_EQ(DiffSnapshots(before, after), expected);
  EXPECT_TRUE(DiffSnapshots(after, after).empty());
}

TEST(ConfigSnapshot, LineDiffKeepsTheCommonLines) {
  const std::vector<std::tuple<String, String, std::vector<String>>> cases{
      {"a\nb\nc", "a\nc", {"  a", "- b", "  c"}},
      {"a\nc\n", "a\nb\nc\n", {"  a", "+ b", "  c"}},
      {"x", "y", {"- x", "+ y"}},
      {"", "new", {"+ new"}},
      {"same\n", "same", {"  same"}},
  };
  for (const auto& [before, after, lines] : cases) {
    EXPECT_EQ(LineDiff(before, after), lines) << before << " -> " << after;
  }
}

}  // namespace
}  // namespace migprof::configmgt
