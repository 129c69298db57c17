// The plan table of the preview page: every table's counts, its rows a page
// at a time across added, changed and removed, and changed cells with their
// old value.
#include <gtest/gtest.h>

#include "web/preview.h"

namespace migprof::web {
namespace {

using Json = nlohmann::ordered_json;

Json Rows(int n, const char* tag) {
  Json rows = Json::array();
  for (int i = 0; i < n; ++i) rows.push_back(Json{{"k", i}, {"v", tag}});
  return rows;
}

// Table "big": 60 added, 5 changed, 10 removed; table "small": 3 added.
Json Changes() {
  Json changed = Json::array();
  for (int i = 0; i < 5; ++i) {
    changed.push_back(Json{{"old", Json{{"k", i}, {"v", "before"}}},
                           {"new", Json{{"k", i}, {"v", "after"}}},
                           {"columns", {"v"}}});
  }
  return Json{
      {"big", {{"added", Rows(60, "a")}, {"changed", changed}, {"removed", Rows(10, "r")}}},
      {"small", {{"added", Rows(3, "a")}, {"changed", Json::array()}, {"removed", Json::array()}}}};
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
  const Json changes{
      {"t",
       {{"added", Json::array()},
        {"changed",
         {{{"old", {{"k", 1}, {"v", "<b>old</b>"}, {"n", nullptr}}},
           {"new", {{"k", 1}, {"v", "new & more"}, {"n", nullptr}}},
           {"columns", {"v"}}}}},
        {"removed", {{{"k", 2}, {"v", Json{{"binary", "0aff"}}}, {"n", nullptr}}}}}}};
  const std::string html = RenderTemplate("plan", PlanData(changes, 1));
  EXPECT_NE(html.find("<del class=\"text-danger\">&lt;b&gt;old&lt;/b&gt;</del> → "
                      "<ins class=\"fw-semibold\">new &amp; more</ins>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("<b>old"), std::string::npos);
  EXPECT_EQ(html.find("cell-changed"), html.rfind("cell-changed")) << "only v changed";
  EXPECT_NE(html.find(">0x0aff<"), std::string::npos);
  EXPECT_NE(html.find("fst-italic\">NULL<"), std::string::npos);
}

TEST(PlanTable, NoChangesSaysSo) {
  const std::string html = RenderTemplate("plan", PlanData(Json::object(), 1));
  EXPECT_NE(html.find("No rows would change."), std::string::npos);
  EXPECT_EQ(html.find("<table"), std::string::npos);
}

}  // namespace
}  // namespace migprof::web
