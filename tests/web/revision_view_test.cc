#include "web/pages/revision_view.h"

#include <gtest/gtest.h>

namespace migprof::web {
namespace {

using configmgt::Change;
using configmgt::ItemKind;

TEST(RevisionView, ParseItemAcceptsFunctionsAndFullTableCodes) {
  const configmgt::Vrc vrc{"71", "0", "R"};
  struct Case {
    const char* kind;
    const char* name;
    bool ok;
  } cases[] = {{"function", "conv_date", true}, {"function", "", false},
               {"rule", "orsls401", true},      {"rule", "orsls", false},
               {"rule", "orsls4", true},        {"table", "orsls401", false}};
  for (const Case& c : cases) {
    std::optional<configmgt::Item> item = ParseItem(700, vrc, c.kind, c.name);
    EXPECT_EQ(item.has_value(), c.ok) << c.kind << " " << c.name;
    if (item) {
      EXPECT_EQ(KindWord(item->kind), c.kind);
      EXPECT_EQ(ItemQuery(*item),
                std::string("?vers=71&rele=0&cust=R&kind=") + c.kind + "&name=" + c.name);
    }
  }
  configmgt::Item odd{700, {"1 0", "0", "A&B"}, ItemKind::kFunction, "a+b c"};
  EXPECT_EQ(ItemQuery(odd), "?vers=1%200&rele=0&cust=A%26B&kind=function&name=a%2Bb%20c");
}

TEST(RevisionView, ChangedValuesKeepsOnlyKnownColumnsThatDiffer) {
  const std::vector<std::pair<String, String>> current = {
      {"mrul", "ORDLIN.ITNO"}, {"type", "D"}, {"stat", ""}};
  const std::vector<std::pair<String, String>> submitted = {
      {"mrul", "upper(ORDLIN.ITNO)"}, {"type", "D"}, {"stat", "N"}, {"fdnm", "other"}};
  EXPECT_EQ(ChangedValues(current, submitted), (std::vector<std::pair<String, String>>{
                                                   {"mrul", "upper(ORDLIN.ITNO)"}, {"stat", "N"}}));
  EXPECT_TRUE(ChangedValues(current, current).empty());
}

TEST(RevisionView, ReversedTurnsAChangeRound) {
  Change line_change{"qzlib100", "#1", "fdef", "a\nb", "a\nc", false, false, {"  a", "- b", "+ c"}};
  Change added_row{"qzmap140", "item", "mrul", std::nullopt, "X", true, false, {}};
  std::vector<Change> back = Reversed({line_change, added_row});
  EXPECT_EQ(back[0].before, "a\nc");
  EXPECT_EQ(back[0].after, "a\nb");
  EXPECT_EQ(back[0].lines, (std::vector<String>{"  a", "+ b", "- c"}));
  EXPECT_TRUE(back[1].removed);
  EXPECT_FALSE(back[1].added);
  EXPECT_EQ(back[1].before, "X");
  EXPECT_EQ(back[1].after, std::nullopt);
  EXPECT_EQ(RowLabel(back[1]), "Field rule item");
  EXPECT_EQ(RowLabel(back[0]), "Function");
}

TEST(RevisionView, UnixLinesAndAgeText) {
  EXPECT_EQ(UnixLines("a\r\nb\rc\n\r\n"), "a\nb\nc\n\n");
  const DateTime now{2026, 3, 1, 10, 0, 0};
  struct Case {
    const char* since;
    const char* age;
  } cases[] = {{"2026-03-01 09:59:30", "just now"},
               {"2026-03-01 09:15:00", "45 min"},
               {"2026-02-28 23:00:00", "11 h"},
               {"2026-02-28 10:00:00", "1 day"},
               {"2025-12-31 10:00:00", "60 days"},
               {"", ""},
               {"yesterday", ""}};
  for (const Case& c : cases) EXPECT_EQ(AgeText(c.since, now), c.age) << c.since;
}

}  // namespace
}  // namespace migprof::web
