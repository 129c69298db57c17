// Export and import: a profile moved into a fresh database and exported
// again is the same document byte for byte; an import that cannot be done
// writes nothing.
#include <gtest/gtest.h>

#include "insight_fixture.h"

namespace migprof::testing {
namespace {

using insight::Json;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The document with profile number from changed to to, in the head and in
// every row.
std::string Renumber(const std::string& document, int from, int to) {
  std::string once = Replace(document, "\"mprf\": " + std::to_string(from) + ",",
                             "\"mprf\": " + std::to_string(to) + ",");
  return Replace(once, "\"mprf\":" + std::to_string(from) + ",",
                 "\"mprf\":" + std::to_string(to) + ",");
}

class ExportImportTest : public InsightTest {};

TEST_F(ExportImportTest, RoundTripGivesTheSameDocuments) {
  std::vector<std::pair<Integer, std::string>> documents;
  for (const app::DemoProfile& p : app::DemoProfiles()) {  // parents first
    documents.emplace_back(p.mprf, insight::ExportProfile(source(), p.mprf));
  }
  // On a server the fresh database is the same one, emptied.
  TestDatabase fresh;
  insight::DataSource target{fresh.dsn(), fresh.uid(), fresh.pwd()};
  for (const auto& [mprf, document] : documents) {
    SCOPED_TRACE(mprf);
    Json answer = wire::ImportJson(insight::ImportProfile(target, document));
    EXPECT_EQ(answer["mprf"], mprf);
    EXPECT_EQ(insight::ExportProfile(target, mprf), document);
  }
}

TEST_F(ExportImportTest, RefusalsWriteNothing) {
  const std::string p100 = insight::ExportProfile(source(), 100);
  const std::string p110 = insight::ExportProfile(source(), 110);
  struct Case {
    const char* what;
    std::string document;
    const char* message;  // part of the refusal
  } cases[] = {
      {"number taken", p100, "exists already"},
      {"VRC taken", Renumber(p100, 100, 101), "VRC V10_R1_STD belongs"},
      {"parent missing",
       Replace(Replace(Renumber(p110, 110, 111), "\"verf\":\"V10\"", "\"verf\":\"NOPE\""),
               "\"cust\":\"ACME\"", "\"cust\":\"ACMX\""),
       "parent VRC NOPE_R1_STD"},
      {"not JSON", p100.substr(0, p100.size() / 2), "not valid JSON"},
      {"wrong format", Replace(p100, "migprof-profile 1", "other"), "format"},
      {"unknown table", Replace(p100, "\"qzmap105\"", "\"qzmap999\""), "unknown table qzmap999"},
      {"unknown column", Replace(p100, "\"apln\"", "\"nope\""), "no column nope"},
      {"row of another profile",
       Replace(p100,
               "\"mprf\":100,\"vers\":\"V10\",\"rele\":\"R1\","
               "\"cust\":\"STD\",\"fnam\"",
               "\"mprf\":7,\"vers\":\"V10\",\"rele\":\"R1\","
               "\"cust\":\"STD\",\"fnam\""),
       "another profile"},
      {"bad binary", Replace(p100, "{\"binary\":\"", "{\"binary\":\"x"), "binary"},
  };
  Contents before = ContentsOf(source());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) != "number taken") {
      ASSERT_TRUE(c.document != p100 && c.document != p110);
    }
    try {
      insight::ImportProfile(source(), c.document);
      ADD_FAILURE() << "imported";
    } catch (const insight::ImportRefused& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
    EXPECT_EQ(ContentsOf(source()), before);
  }
}

TEST_F(ExportImportTest, DryRunShowsTheRowsAndWritesNothing) {
  const std::string document = insight::ExportProfile(source(), 100);
  TestDatabase fresh;
  insight::DataSource target{fresh.dsn(), fresh.uid(), fresh.pwd()};
  Contents before = ContentsOf(target);
  insight::ImportResult result;
  Json plan{{"changes", wire::ChangesJson(
                            insight::Preview(target, {}, [&](const insight::DataSource& snapshot) {
                              result = insight::ImportProfile(snapshot, document);
                            }))}};
  plan["outcome"] = wire::ImportJson(result);
  EXPECT_EQ(ContentsOf(target), before);
  // Every row of the document is in the plan as added, and nothing else.
  Json parsed = Json::parse(document);
  for (const auto& [table, rows] : parsed["tables"].items()) {
    SCOPED_TRACE(table);
    Json added = plan["changes"].contains(table) ? plan["changes"][table]["added"] : Json::array();
    EXPECT_EQ(added.size(), rows.size());
    EXPECT_EQ(plan["outcome"]["rows"][table], rows.size());
  }
}

}  // namespace
}  // namespace migprof::testing
