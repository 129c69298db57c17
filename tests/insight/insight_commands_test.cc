// The insight commands of the tool: what each answers on stdout, and the
// exit status and message of a request that cannot be carried out.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/run_cli.h"
#include "insight_fixture.h"

namespace migprof::testing {
namespace {

class InsightCommandsTest : public InsightTest {
 protected:
  CliOutcome Run(std::vector<std::string> words) {
    words.insert(words.begin() + 1,
                 {"--database", db_.dsn(), "--user", db_.uid(), "--password", db_.pwd()});
    return RunCli(words);
  }
};

TEST_F(InsightCommandsTest, AnswersJsonOrRefusesWithAMessage) {
  struct Case {
    std::vector<std::string> words;
    int status;
    const char* answer_key;  // a key of the JSON answer, or part of the message
  } cases[] = {
      {{"compare", "110", "100:V10_R1_STD"}, cli::kExitOk, "right_is_parent"},
      {{"compare", "110", "100:V10R1"}, cli::kExitBadRequest, "<vers>_<rele>_<cust>"},
      {{"compare", "110", "999"}, cli::kExitFailed, "Profile 999 does not exist"},
      {{"where-used", "120"}, cli::kExitOk, "ancestors"},
      {{"where-used", "--table", "orsls400"}, cli::kExitOk, "used_by"},
      {{"where-used", "--table", "or"}, cli::kExitBadRequest, "--table takes"},
      {{"where-used", "--function", "conv_date"}, cli::kExitOk, "holds"},
      {{"where-used"}, cli::kExitBadRequest, "give one of"},
      {{"where-used", "100", "--function", "conv_date"}, cli::kExitBadRequest, "give one of"},
      {{"export", "120"}, cli::kExitOk, "tables"},
      {{"export", "x12"}, cli::kExitBadRequest, "not a profile number"},
      {{"export", "999"}, cli::kExitFailed, "Profile 999 does not exist"},
      {{"import", "/nonexistent/p.json"}, cli::kExitBadRequest, "cannot read"},
      {{"preview", "DeleteMap100", "120"}, cli::kExitOk, "changes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.front() + " " + (c.words.size() > 1 ? c.words[1] : ""));
    CliOutcome outcome = Run(c.words);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    if (c.status == cli::kExitOk) {
      EXPECT_TRUE(outcome.err.empty());
      EXPECT_TRUE(insight::Json::parse(outcome.out).contains(c.answer_key)) << outcome.out;
    } else {
      EXPECT_TRUE(outcome.out.empty());
      EXPECT_NE(outcome.err.find(c.answer_key), std::string::npos) << outcome.err;
    }
  }
}

}  // namespace
}  // namespace migprof::testing
