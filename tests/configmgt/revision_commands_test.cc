// The revision-control commands of the tool, one session of a maintainer
// and a colleague after another.
#include "cli/revision_commands.h"

#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "configmgt/revision_fixture.h"

namespace migprof::testing {
namespace {

struct Step {
  std::vector<std::string> args;
  int status;
  std::string out;  // expected in standard output ("" when not checked)
  std::string err;  // expected in standard error
};

TEST_F(RevisionTest, CommandsAnswerJsonAndRefuseOnStandardError) {
  const std::vector<Step> steps{
      {{"checkout", "2", "DV_DR_DC", "Calc", "--as", "alice"}, 0, R"("checkedOut")", ""},
      {{"checkout", "2", "DV_DR_DC", "Calc", "--as", "bob"}, 1, "", "checked out by <B> alice"},
      {{"edit-function", "2", "DV_DR_DC", "Calc", "--definition", "x * 2", "--as", "alice"},
       0,
       R"("edited")",
       ""},
      {{"checkouts", "--as", "bob"}, 0, R"("holder":"alice")", ""},
      {{"checkin", "2", "DV_DR_DC", "Calc", "--comment", "doubles", "--as", "alice"},
       0,
       R"("revision":1)",
       ""},
      {{"checkout", "2", "DV_DR_DC", "--table", "ABMOD1", "--as", "bob"},
       0,
       R"("table":"ABMOD1")",
       ""},
      {{"edit-rule", "2", "DV_DR_DC", "--table", "ABMOD1", "--field", "F1", "--set", "mrul=z",
        "--as", "bob"},
       0,
       "",
       ""},
      {{"edit-rule", "2", "DV_DR_DC", "--table", "ABMOD1", "--set", "tflno=2", "--as", "bob"},
       1,
       "",
       "key column tflno"},
      {{"checkin", "2", "DV_DR_DC", "--table", "ABMOD1", "--comment", "z", "--as", "bob"},
       0,
       R"("revision":1)",
       ""},
      {{"history", "2", "DV_DR_DC", "Calc", "--as", "bob"}, 0, R"("user":"alice")", ""},
      {{"diff", "2", "DV_DR_DC", "--table", "ABMOD1", "1", "--as", "bob"},
       0,
       R"("changes":[])",
       ""},
      {{"restore", "2", "DV_DR_DC", "Calc", "1", "--as", "bob"}, 0, R"("revision":2)", ""},
      {{"restore", "2", "DV_DR_DC", "Calc", "x", "--as", "bob"}, 2, "", "revision is a number"},
      {{"checkout", "2", "DV-DR-DC", "Calc", "--as", "bob"}, 2, "", "{vers}_{rele}_{cust}"},
      {{"undo-checkout", "2", "DV_DR_DC", "Calc", "--as", "bob"}, 1, "", "is not checked out"},
      {{"checkouts"}, 1, "", "user's name is empty"},
  };
  for (const Step& step : steps) {
    std::vector<std::string> args = step.args;
    args.insert(args.begin() + 1, {"--database", db_.dsn(), "--password", db_.pwd()});
    if (step.args[0] != "checkouts" || step.args.size() > 1) {
      // The database login is given too; --as names the acting user.
      args.insert(args.begin() + 1, {"--user", db_.uid()});
    }
    SCOPED_TRACE(step.args[0] + " " + step.args.back());
    CliOutcome run = RunCli(args);
    EXPECT_EQ(run.status, step.status) << run.out << run.err;
    EXPECT_NE(run.out.find(step.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(step.err), std::string::npos) << run.err;
  }
  EXPECT_EQ(db_.Value("select fdef from qzlib100"), "x * 2");  // revision 1, restored
  EXPECT_EQ(db_.Value("select mrul from qzmap140 where fdnm = 'F1'"), "z");
}

}  // namespace
}  // namespace migprof::testing
