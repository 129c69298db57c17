// The revision-control commands of the tool, one session of a maintainer
// and a colleague after another.
#include "cli/revision_commands.h"

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "configmgt/revision_fixture.h"

namespace migprof::testing {
namespace {

struct Step {
  const char* user;  // --as, when given
  std::vector<std::string> args;
  int status;
  std::string shown;  // expected in standard output, or in standard error on failure
};

TEST_F(RevisionTest, CommandsAnswerJsonAndRefuseOnStandardError) {
  const std::string vrc = "DV_DR_DC";
  const std::vector<Step> steps{
      {"alice", {"checkout", "2", vrc, "Calc"}, 0, R"("checkedOut")"},
      {"bob", {"checkout", "2", vrc, "Calc"}, 1, "checked out by <B> alice"},
      {"alice", {"edit-function", "2", vrc, "Calc", "--definition", "x * 2"}, 0, R"("edited")"},
      {"bob", {"checkouts"}, 0, R"("holder":"alice")"},
      {"alice", {"checkin", "2", vrc, "Calc", "--comment", "doubles"}, 0, R"("revision":1)"},
      {"bob", {"checkout", "2", vrc, "--table", "ABMOD1"}, 0, R"("table":"ABMOD1")"},
      {"bob",
       {"edit-rule", "2", vrc, "--table", "ABMOD1", "--field", "F1", "--set", "mrul=z"},
       0,
       ""},
      {"bob",
       {"edit-rule", "2", vrc, "--table", "ABMOD1", "--set", "tflno=2"},
       1,
       "key column tflno"},
      {"bob", {"checkin", "2", vrc, "--table", "ABMOD1", "--comment", "z"}, 0, R"("revision":1)"},
      {"bob", {"history", "2", vrc, "Calc"}, 0, R"("user":"alice")"},
      {"bob", {"diff", "2", vrc, "--table", "ABMOD1", "1"}, 0, R"("changes":[])"},
      {"bob", {"restore", "2", vrc, "Calc", "1"}, 0, R"("revision":2)"},
      {"bob", {"restore", "2", vrc, "Calc", "x"}, 2, "revision is a number"},
      {"bob", {"checkout", "2", "DV-DR-DC", "Calc"}, 2, "{vers}_{rele}_{cust}"},
      {"bob", {"undo-checkout", "2", vrc, "Calc"}, 1, "is not checked out"},
      // Reading needs nobody's name; a change does.
      {"", {"checkouts", "--as", ""}, 0, R"("checkOuts")"},
      {"", {"history", "2", vrc, "Calc", "--as", ""}, 0, R"("user":"alice")"},
      {"", {"export", "2", "--as", ""}, 0, R"("mprf")"},
      {"", {"checkout", "2", vrc, "Calc", "--as", ""}, 1, "no user name to act as"},
  };
  for (const Step& step : steps) {
    std::vector<std::string> args = step.args;
    // The database login; --as names the acting user.
    args.insert(args.begin() + 1,
                {"--database", db_.dsn(), "--user", db_.uid(), "--password", db_.pwd()});
    if (*step.user) args.insert(args.end(), {"--as", step.user});
    SCOPED_TRACE(step.args[0] + " " + step.args.back());
    CliOutcome run = RunCli(args);
    EXPECT_EQ(run.status, step.status) << run.out << run.err;
    const std::string& stream = step.status == 0 ? run.out : run.err;
    EXPECT_NE(stream.find(step.shown), std::string::npos) << run.out << run.err;
  }
  EXPECT_EQ(db_.Value("select fdef from qzlib100"), "x * 2");  // revision 1, restored
  EXPECT_EQ(db_.Value("select mrul from qzmap140 where fdnm = 'F1'"), "z");
}

}  // namespace
}  // namespace migprof::testing
