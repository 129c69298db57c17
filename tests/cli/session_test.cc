// The session protocol end to end: request lines in, answer lines out, all
// against one object and a real embedded database.
#include "cli/session.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/tables.h"
#include "migprof/com_error.h"
#include "testing/test_database.h"

namespace migprof::cli {
namespace {

class CliSession : public testing::ComponentTest {
 protected:
  // Sends lines to a session keeping object_ and returns one parsed answer
  // per line; it acts as a local administrator.
  std::vector<Json> Converse(const std::vector<std::string>& lines, bool trace = false) {
    app::Application application(app::Settings{DataSource{db_.dsn(), db_.uid(), db_.pwd()}});
    app::EnsureTables(application.db());
    Caller caller{
        application, {"tester", app::Role::kAdministrator, app::EntryPoint::kCli}, &object_};
    std::string input;
    for (const std::string& line : lines) input += line + "\n";
    std::istringstream in(input);
    std::ostringstream out;
    ServeSession(caller, in, out, RequestOptions{trace});
    std::vector<Json> answers;
    std::istringstream written(out.str());
    for (std::string line; std::getline(written, line);) answers.push_back(Json::parse(line));
    EXPECT_EQ(answers.size(), lines.size()) << out.str();
    return answers;
  }
};

std::string Call(const std::string& member, const Json& args = Json::array()) {
  return Json{{"call", member}, {"args", args}}.dump();
}

std::string Sql(const std::string& statement) { return Json{{"sql", statement}}.dump(); }

// Settings, the connection factory and the error state carried from call to
// call are pinned by the recorded traces (tests/golden/Frame.jsonl), which
// answer through the same member calls; these are what a session adds.
TEST_F(CliSession, RefusedArgumentsRaiseWithoutCallingAndKeepTheErrorState) {
  db_.Exec("insert into qzmap100 (mprf, sapp, tapp) values (1, 'A', 'B')");
  db_.Exec("insert into qzmap100 (mprf, sapp, tapp) values (12, 'A', 'B')");
  std::vector<Json> answers = Converse({
      Call("ValidateDerivation", {7, 1}),
      Call("ValidateDerivation", {"12", 1}),
      Call("ValidateDerivation", {40000, 1}),
      Call("ValidateDerivation", {1}),
  });
  EXPECT_EQ(answers[0]["ErrorNumber"], errc::kNoCurrentRecord);
  // The numeric text came back as the Integer it was converted to.
  EXPECT_EQ(answers[1]["result"], true);
  EXPECT_EQ(answers[1]["byref"], Json::parse("[12, 1]"));
  // A refused argument raises without calling: no by-reference values, and
  // the error state stays as it was.
  EXPECT_EQ(answers[2]["raised"], Json::parse(R"({"number":6,"description":"Overflow"})"));
  EXPECT_FALSE(answers[2].contains("byref"));
  EXPECT_EQ(answers[2]["ErrorNumber"], errc::kNoCurrentRecord);
  EXPECT_EQ(answers[3]["raised"]["number"], 450);
  EXPECT_EQ(answers[3]["ErrorNumber"], errc::kNoCurrentRecord);
}

TEST_F(CliSession, MalformedRequestsAreAnsweredAndTheSessionGoesOn) {
  std::vector<std::string> malformed = {
      "not json",
      "",
      "[1, 2]",
      "{}",
      R"({"call": 5})",
      R"({"call": "NoSuchMember"})",
      R"({"call": "ErrorNumber", "args": {}})",
      R"({"call": "ErrorNumber", "arg": []})",
      R"({"call": "ErrorNumber", "sql": "select 1"})",
      R"({"sql": 1})",
      // Found by fuzzing: a request the parser would read up to a NUL
      // character, and a number beyond a double's range.
      R"({"sql": "select 1"})" + std::string(1, '\0') + "[[",
      R"({"call": "ErrorNumber", "args": [9e999]})",
  };
  std::vector<std::string> lines = malformed;
  lines.push_back(Call("ErrorNumber"));
  std::vector<Json> answers = Converse(lines);
  for (std::size_t i = 0; i < malformed.size(); ++i) {
    ASSERT_EQ(answers[i].size(), 1u) << malformed[i];
    ASSERT_TRUE(answers[i]["error"].is_string()) << malformed[i];
    EXPECT_FALSE(answers[i]["error"].get<std::string>().empty()) << malformed[i];
  }
  EXPECT_NE(answers[5]["error"].get<std::string>().find("NoSuchMember"), std::string::npos);
  EXPECT_NE(answers[7]["error"].get<std::string>().find("\"arg\""), std::string::npos);
  EXPECT_EQ(answers.back()["result"], 0);
}

TEST_F(CliSession, SqlRequestsAnswerRowsNullsAndBinary) {
  std::vector<Json> answers = Converse({
      Sql("insert into qzmap100 (mprf, dsca, ownr) values (3, 'it''s', "
          "cast('AB' as varbinary))"),
      Sql("insert into qzmap100 (mprf) values (4)"),
      Sql("select mprf, dsca, ownr from qzmap100 order by mprf"),
      Sql("select mprf from qzmap100 where mprf = 99"),
      Sql("select nothing from nowhere"),
  });
  EXPECT_EQ(answers[0], Json::parse(R"({"columns":[],"rows":[],"rowsAffected":1})"));
  EXPECT_EQ(answers[2], Json::parse(R"({"columns":["mprf","dsca","ownr"],
      "rows":[[3,"it's",{"binary":"4142"}],[4,null,null]]})"));
  EXPECT_EQ(answers[3], Json::parse(R"({"columns":["mprf"],"rows":[]})"));
  ASSERT_EQ(answers[4].size(), 1u);
  EXPECT_EQ(answers[4]["raised"]["number"], errc::kErrorsInCommand);
}

TEST_F(CliSession, TraceListsTheStatementsOfCallsOnly) {
  // The texts are pinned by the recorded traces; a call with no statements
  // is traced as [] (CliCommands' session test).
  std::vector<std::string> lines = {Call("ValidateDerivation", {8, 9}), Sql("select 1 as one")};
  std::vector<Json> traced = Converse(lines, /*trace=*/true);
  EXPECT_EQ(traced[0]["statements"].size(), 2u);
  EXPECT_FALSE(traced[1].contains("statements"));
  EXPECT_FALSE(Converse(lines)[0].contains("statements"));
}

}  // namespace
}  // namespace migprof::cli
