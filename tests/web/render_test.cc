// Pages from the embedded templates: values escaped, the component's messages
// through the allow-list of its tags, static files under their content hash;
// the plan table of the preview page, a page at a time across added, changed
// and removed rows, changed cells with their old value; the revision pages'
// helpers.
#include "web/pages/render.h"

#include <gtest/gtest.h>

#include "web/pages/assets.h"
#include "web/pages/pages.h"
#include "web/pages/preview.h"
#include "web/pages/revision_view.h"
#include "web/pages/sanitize.h"

namespace migprof::web {
namespace {

TEST(Assets, StaticFilesAreServedUnderTheirHash) {
  for (const char* name : {"bootstrap.min.css", "app.css", "app.js"}) {
    const Asset* asset = FindAsset(std::string("static/") + name);
    ASSERT_NE(asset, nullptr) << name;
    EXPECT_GT(asset->size, 0u);
    EXPECT_EQ(asset->hash.size(), 16u);
    EXPECT_EQ(StaticUrl(name), "/static/" + std::string(asset->hash) + "/" + name);
  }
  EXPECT_EQ(FindAsset("static/none.css"), nullptr);
}

TEST(RenderPage, EscapesDatabaseValuesEverywhere) {
  PageFrame frame;
  frame.title = "<title>";
  frame.user = "<b>eve</b>";
  frame.flash = "<img src=x onerror=alert(1)>";
  frame.crumbs = {{"<i>x</i>", "/a\"onmouseover=\"x"}, {"y", ""}};
  Data data;
  data.set("q", "\"><script>x</script>");
  data.set("kind_all", Flag(true));
  data.set("empty_database", Flag(false));
  const std::string html = RenderPage(frame, "profiles", data);
  EXPECT_EQ(html.find("<b>eve</b>"), std::string::npos);
  EXPECT_EQ(html.find("<img src=x"), std::string::npos);
  EXPECT_EQ(html.find("<script>x"), std::string::npos);
  EXPECT_EQ(html.find("\"onmouseover=\""), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;eve&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<script>"), std::string::npos) << "no inline script at all";
}

TEST(RenderPage, ComponentMessagesKeepOnlyTheirMarkup) {
  MemberOutcome outcome;
  outcome.member = dispatch::FindMember("InsertInMap100");
  outcome.result = Variant(kFalse);
  outcome.error_number = 101;
  outcome.error_description = "Kinds differ. <LI> Source <B>ORVA</B> <script>x()</script>";
  Data data;
  data.set("outcome", OutcomeData(outcome));
  data.set("what", "Copying");
  data.set("back_url", "/profiles");
  const std::string html = RenderTemplate("member_failed", data);
  EXPECT_NE(html.find("<li> Source <b>ORVA</b> &lt;script&gt;x()&lt;/script&gt;"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("error 101"), std::string::npos);
  outcome.raised = ComError(-2147217900, "Syntax error");
  data.set("outcome", OutcomeData(outcome));
  EXPECT_NE(RenderTemplate("member_failed", data).find("raised error -2147217900"),
            std::string::npos);
}

TEST(RenderTemplate, EveryTemplateParses) {
  for (const Asset& asset : Assets()) {
    std::string_view name = asset.name;
    if (name.rfind("templates/", 0) != 0) continue;
    name.remove_prefix(10);
    name.remove_suffix(9);  // ".mustache"
    EXPECT_NO_THROW(RenderTemplate(std::string(name), Data())) << name;
  }
}

TEST(SanitizeMessage, KeepsOnlyTheComponentsTagsAndEscapesTheRest) {
  const struct {
    const char* input;
    const char* expected;
  } cases[] = {{"Character <B> U </B> should", "Character <b> U </b> should"},
               {"profiles. <LI> Source", "profiles. <ul><li> Source</ul>"},
               {"<li>a</LI><LI>b", "<ul><li>a</li><li>b</ul>"},
               {"a</LI>b", "ab"},
               {"<B>x<LI>y", "<b>x<ul><li>y</b></ul>"},
               // Attributes, blanks inside and other tags stay text.
               {"<B onclick=x>", "&lt;B onclick=x&gt;"},
               {"< B>", "&lt; B&gt;"},
               {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
               {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
               {"Profile <B> 12 & 'x' \"y\"", "Profile <b> 12 &amp; &#39;x&#39; &quot;y&quot;</b>"},
               // A stray closing tag cannot end mark-up of the page around it.
               {"a</B>b", "ab"},
               {"<B><B>x</B>", "<b><b>x</b></b>"},
               {"", ""},
               {"<", "&lt;"},
               {"<B", "&lt;B"}};
  for (const auto& c : cases) EXPECT_EQ(SanitizeMessage(c.input), c.expected) << c.input;
}

insight::Values Row(int k, Variant v, Variant n = Variant::Null()) {
  return {Variant(Long{k}), std::move(v), std::move(n)};
}

// Table "big": 60 added, 5 changed, 10 removed; table "small": 3 added.
std::vector<insight::TableChanges> Changes() {
  insight::TableChanges big{"big", {"k", "v", "n"}, {}, {}, {}};
  for (int i = 0; i < 60; ++i) big.added.push_back(Row(i, "a"));
  for (int i = 0; i < 5; ++i) big.changed.push_back({Row(i, "before"), Row(i, "after"), {"v"}});
  for (int i = 0; i < 10; ++i) big.removed.push_back(Row(i, "r"));
  insight::TableChanges small{"small", {"k", "v", "n"}, {}, {}, {}};
  for (int i = 0; i < 3; ++i) small.added.push_back(Row(i, "a"));
  return {big, small};
}

// The rendered rows of one table's section, by kind.
std::map<std::string, int> Shown(const std::string& html, const std::string& table) {
  const std::size_t begin = html.find("id=\"plan-" + table + "\"");
  const std::size_t end = html.find("</details>", begin);
  const std::string section = html.substr(begin, end - begin);
  std::map<std::string, int> counts;
  for (const char* kind : {"added", "changed", "removed"}) {
    const std::string mark = std::string("data-change=\"") + kind + "\"";
    for (std::size_t at = section.find(mark); at != std::string::npos;
         at = section.find(mark, at + 1)) {
      ++counts[kind];
    }
  }
  return counts;
}

TEST(PlanTable, PagesRunThroughAddedChangedAndRemoved) {
  const struct {
    long page;
    std::map<std::string, int> big, small;
    bool next;
  } cases[] = {
      {1, {{"added", 50}}, {{"added", 3}}, true},
      {2, {{"added", 10}, {"changed", 5}, {"removed", 10}}, {}, false},
      {3, {}, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const std::string html = RenderTemplate("plan", PlanData(Changes(), c.page));
    EXPECT_EQ(Shown(html, "big"), c.big);
    EXPECT_EQ(Shown(html, "small"), c.small);
    EXPECT_EQ(html.find("id=\"plan-next\"") != std::string::npos, c.next);
    // The counts are whole on every page.
    EXPECT_NE(html.find("<td class=\"text-end\">60</td><td class=\"text-end\">5</td><td "
                        "class=\"text-end\">10</td>"),
              std::string::npos);
  }
}

TEST(PlanTable, ChangedCellsShowOldAndNewValuesEscaped) {
  insight::TableChanges t{"t", {"k", "v", "n"}, {}, {}, {}};
  t.changed.push_back({Row(1, "<b>old</b>"), Row(1, "new & more"), {"v"}});
  t.removed.push_back(Row(2, Binary{0x0a, 0xff}));
  const std::string html = RenderTemplate("plan", PlanData({t}, 1));
  EXPECT_NE(html.find("<del>&lt;b&gt;old&lt;/b&gt;</del> → "
                      "<ins class=\"fw-semibold\">new &amp; more</ins>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("<b>old"), std::string::npos);
  EXPECT_EQ(html.find("cell-changed"), html.rfind("cell-changed")) << "only v changed";
  EXPECT_NE(html.find(">0x0aff<"), std::string::npos);
  EXPECT_NE(html.find("fst-italic\">NULL<"), std::string::npos);
}

TEST(PlanTable, NoChangesSaysSo) {
  const std::string html = RenderTemplate("plan", PlanData({}, 1));
  EXPECT_NE(html.find("No rows would change."), std::string::npos);
  EXPECT_EQ(html.find("<table"), std::string::npos);
}

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
