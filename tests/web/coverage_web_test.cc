// Coverage through every entry point: the API and the tool answer what the
// insight count answers, for a viewer too; the page filters its tables and
// links them to their rules; the profile page shows the total.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "cli/run_cli.h"
#include "insight/coverage.h"
#include "served_estate.h"
#include "wire/coverage_json.h"

namespace migprof::testing {
namespace {

class CoverageWebTest : public ServedEstate {
 protected:
  Json Direct(Integer mprf, std::optional<std::vector<String>> vrc = std::nullopt) {
    return wire::CoverageJson(insight::ProfileCoverage(
        insight::DataSource{db_.dsn(), db_.uid(), db_.pwd()}, insight::RuleSet{mprf, vrc}));
  }
  httplib::Result Get(const std::string& account, const std::string& path) {
    return Client().Get(path, {{"Cookie", "mpsid=" + cookies_.at(account)}});
  }
};

TEST_F(CoverageWebTest, ApiAndToolAnswerTheCountForAViewer) {
  const httplib::Headers auth{{"Authorization", "Bearer " + tokens_["vera"]}};
  struct Case {
    std::string path;
    int status;
    Json body;  // null: only the status is checked
  } cases[] = {
      {"/api/v1/profiles/110/coverage", 200, Direct(110)},
      {"/api/v1/profiles/100/coverage?vrc=V11_R1_STD", 200,
       Direct(100, std::vector<String>{"V11", "R1", "STD"})},
      {"/api/v1/profiles/100/coverage?vrc=V11_R1", 400, nullptr},
      {"/api/v1/profiles/999/coverage", 422, nullptr},
  };
  for (const Case& c : cases) {
    httplib::Result res = Client().Get(c.path, auth);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path << ": " << res->body;
    if (!c.body.is_null()) {
      EXPECT_EQ(Json::parse(res->body), c.body) << c.path;
    }
  }
  EXPECT_EQ(Client().Get("/api/v1/profiles/110/coverage")->status, 401);
  EXPECT_EQ(Client().Post("/api/v1/profiles/110/coverage", auth, "", "text/plain")->status, 405);

  if (!db_.embedded()) return;  // the tool's test below opens the file itself
  const std::string database = "sqlite:" + db_.path();
  CliOutcome json = RunCli({"coverage", "--database", database, "--as", "vera", "110", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(Json::parse(json.out), Direct(110));
  CliOutcome table =
      RunCli({"coverage", "--database", database, "--as", "vera", "120", "--unmapped"});
  ASSERT_EQ(table.status, 0) << table.err;
  const Json counts = Direct(120)["total"];
  EXPECT_NE(table.out.find("unmapped: disc(1) disc(2) disc(3)"), std::string::npos) << table.out;
  // The Total line's first numbers.
  const std::string line = table.out.substr(table.out.find("\nTotal"));
  std::istringstream numbers(line.substr(6));
  long long elements = 0, mapped = 0, expired = 0, unmapped = 0;
  numbers >> elements >> mapped >> expired >> unmapped;
  EXPECT_EQ(elements, counts["elements"]);
  EXPECT_EQ(mapped, counts["mapped"]);
  EXPECT_EQ(expired, counts["expired"]);
  EXPECT_EQ(unmapped, counts["unmapped"]);
  EXPECT_EQ(RunCli({"coverage", "--database", database, "--as", "vera", "999"}).status, 1);
  EXPECT_EQ(RunCli({"coverage", "--database", database, "--as", "vera", "1x"}).status, 2);
}

TEST_F(CoverageWebTest, PageFiltersTablesAndProfilePageShowsTheTotal) {
  const Json coverage = Direct(110);
  struct Case {
    std::string show;
    const char* list;  // the element list a table shown must have
  } cases[] = {{"", nullptr}, {"unmapped", "unmapped"}, {"stale", "stale"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.show);
    httplib::Result res = Get("vera", "/profiles/110/coverage?vers=V10U&rele=R1&cust=ACME" +
                                          (c.show.empty() ? "" : "&show=" + c.show));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    for (const Json& t : coverage["tables"]) {
      const std::string code = t["tcpac"].get<std::string>() + t["tcmod"].get<std::string>() +
                               t["tflno"].get<std::string>();
      const bool shown = c.list == nullptr || !t[c.list].empty();
      EXPECT_EQ(res->body.find("data-table=\"" + code + "\"") != std::string::npos, shown) << code;
      const std::string link = "/rules/table?vers=V10U&amp;rele=R1&amp;cust=ACME&amp;tcpac=" +
                               t["tcpac"].get<std::string>();
      if (shown && !t["table_rule"].is_null()) {
        EXPECT_NE(res->body.find(link), std::string::npos) << code;
      }
    }
  }
  // The sign-off workbook downloads for a viewer; its temporary file is gone.
  httplib::Result sheet = Get("vera", "/profiles/110/coverage.xlsx?vers=V10U&rele=R1&cust=ACME");
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->status, 200);
  EXPECT_EQ(sheet->body.substr(0, 2), "PK");  // a zip container
  EXPECT_NE(sheet->get_header_value("Content-Disposition").find("profile-110-V10U_R1_ACME.xlsx"),
            std::string::npos);
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
    EXPECT_EQ(
        entry.path().filename().string().rfind("migprof-signoff-" + std::to_string(::getpid()), 0),
        std::string::npos)
        << entry.path();
  }
  EXPECT_EQ(Get("vera", "/profiles/999/coverage.xlsx")->status, 404);
  httplib::Result profile = Get("vera", "/profiles/110");
  ASSERT_TRUE(profile);
  EXPECT_NE(profile->body.find(
                "/profiles/110/coverage?vers=V10U&amp;rele=R1&amp;cust=ACME\" "
                "class=\"coverage-link\">" +
                wire::CoveragePercent(
                    insight::ProfileCoverage(insight::DataSource{db_.dsn(), db_.uid(), db_.pwd()},
                                             insight::RuleSet{110, std::nullopt})
                        .total) +
                " %"),
            std::string::npos);
}

TEST_F(CoverageWebTest, RulesPageShowsEachTablesCoverage) {
  int bars = 0;
  for (Integer mprf : {100, 110, 120, 200}) {
    const insight::Coverage coverage = insight::ProfileCoverage(
        insight::DataSource{db_.dsn(), db_.uid(), db_.pwd()}, insight::RuleSet{mprf, {}});
    httplib::Result res = Get("vera", "/profiles/" + std::to_string(mprf) + "/rules");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    for (const insight::TableCoverage& t : coverage.tables) {
      if (!t.table_rule) continue;  // not a row of the rules list
      const std::string code = t.tcpac + t.tcmod + t.tflno;
      SCOPED_TRACE(std::to_string(mprf) + " " + code);
      const std::size_t start = res->body.find("data-table=\"" + code + "\"");
      ASSERT_NE(start, std::string::npos);
      const std::string row = res->body.substr(start, res->body.find("</tr>", start) - start);
      if (!t.in_dictionary) {
        EXPECT_NE(row.find("not in the dictionary"), std::string::npos) << row;
        continue;
      }
      // The counts in words beside the bar, not its colour alone.
      const insight::CoverageCounts& c = t.counts;
      EXPECT_NE(row.find("aria-label=\"" + std::to_string(c.mapped) + " of " +
                         std::to_string(c.elements) + " field elements mapped, " +
                         std::to_string(c.expired) + " only by expired rules, " +
                         std::to_string(c.unmapped) + " unmapped\""),
                std::string::npos)
          << row;
      EXPECT_NE(row.find("coverage-percent\">" + wire::CoveragePercent(c) + " %<"),
                std::string::npos)
          << row;
      ++bars;
    }
  }
  EXPECT_GT(bars, 4);
}

}  // namespace
}  // namespace migprof::testing
