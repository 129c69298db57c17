// The one-shot commands and the command line.
#include "cli/commands.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include "app/demo_estate.h"
#include "app/versions.h"
#include "cli/help_text.h"
#include "cli/run_cli.h"
#include "migprof/dispatch.h"
#include "migprof/version.h"
#include "testing/test_database.h"

namespace migprof::cli {
namespace {

using testing::RunCli;
using testing::TempPath;

TEST(CliInit, CreatesADatabaseAndNeverOverwritesAFile) {
  TempPath file("migprof_cli_init_test");
  testing::CliOutcome created = RunCli({"init", file.path});
  ASSERT_EQ(created.status, 0) << created.err;
  const std::string database = "sqlite:" + file.path;
  testing::CliOutcome insert =
      RunCli({"sql", "--database", database, "insert into qzmap100 (mprf) values (1)"});
  EXPECT_EQ(insert.status, 0) << insert.out;

  testing::CliOutcome again = RunCli({"init", file.path});
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  const std::vector<std::string> count = {"sql", "--database", database,
                                          "select count(*) as n from qzmap100"};
  EXPECT_EQ(RunCli(count).out, "{\"columns\":[\"n\"],\"rows\":[[1]]}\n");

  // Nor a file that is not a database.
  TempPath text("migprof_cli_init_text");
  std::ofstream(text.path) << "keep me";
  EXPECT_NE(RunCli({"init", text.path}).status, 0);
  std::ifstream kept(text.path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

  // With --demo the new file holds the demo estate.
  TempPath demo_file("migprof_cli_init_demo");
  testing::CliOutcome demo = RunCli({"init", "--demo", demo_file.path});
  ASSERT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("Try first"), std::string::npos) << demo.out;
  EXPECT_EQ(
      RunCli({"sql", "--database", "sqlite:" + demo_file.path, count.back()}).out,
      "{\"columns\":[\"n\"],\"rows\":[[" + std::to_string(app::DemoProfiles().size()) + "]]}\n");
}

TEST(CliCommands, ExitStatusFollowsTheAnswer) {
  testing::TestDatabase db;
  const std::vector<std::string> login = {"--database", db.dsn(),     "--user",
                                          db.uid(),     "--password", db.pwd()};
  struct Case {
    std::vector<std::string> args;  // the login goes in unless a database is named
    int status;
    const char* answer_key;  // nullptr: no answer, a message on standard error
  };
  const Case cases[] = {
      {{"sql", "select 1 as one"}, kExitOk, "rows"},
      {{"sql", "select from"}, kExitFailed, "raised"},
      {{"call", "GetOrvoOrLegacyProfiles", "1~", "true"}, kExitOk, "result"},
      {{"call", "ValidateDerivation", "1"}, kExitFailed, "raised"},
      {{"call", "NoSuchMember"}, kExitBadRequest, "error"},
      {{"call", "--args", "{\"a\": 1}", "ValidateUser"}, kExitBadRequest, "error"},
      {{"call", "--args", "[]", "ValidateUser", "1"}, kExitBadRequest, "error"},
      // A one-shot call has no object to read an error state from later, and
      // the data source is the command line's.
      {{"call", "ErrorNumber"}, kExitBadRequest, "error"},
      {{"call", "DatabaseName", "sqlite:/tmp/other.db"}, kExitBadRequest, "error"},
      // A member naming another user than the one the tool acts as.
      {{"call", "--as", "bob", "GetUserOwnerProfiles", "alice"}, kExitForbidden, "forbidden"},
      {{"call", "--database", "sqlite:/no/such/dir/x.db", "ValidateUser", "a", "1"},
       kExitFailed,
       nullptr},
  };
  for (Case c : cases) {
    if (c.args[1] != "--database") c.args.insert(c.args.begin() + 1, login.begin(), login.end());
    testing::CliOutcome run = RunCli(c.args);
    std::string shown = c.args[0] + " " + c.args.back();
    EXPECT_EQ(run.status, c.status) << shown;
    if (c.answer_key == nullptr) {
      EXPECT_EQ(run.out, "") << shown;
      EXPECT_NE(run.err, "") << shown;
      continue;
    }
    Json answer = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << shown << ": " << run.out;
    EXPECT_TRUE(answer.contains(c.answer_key)) << shown << ": " << run.out;
  }
}

TEST(CliCommands, CallArgumentsAsWordsOrOneArray) {
  EXPECT_EQ(CallArguments({"12", "true", "alice", "\"12\"", "null", "-3", "[1]"}, std::nullopt),
            Json::parse(R"([12, true, "alice", "12", null, -3, [1]])"));

  testing::TestDatabase db;
  db.Exec("insert into qzmap100 (mprf, sapp, tapp) values (-1, 'A', 'B')");
  db.Exec("insert into qzmap100 (mprf, sapp, tapp) values (2, 'A', 'B')");
  for (std::vector<std::string> args :
       {std::vector<std::string>{"validatederivation", "--", "-1", "\"2\""},
        std::vector<std::string>{"--args", "[-1, 2]", "ValidateDerivation"}}) {
    args.insert(args.begin(), {"call", "--trace", "--database", db.dsn(), "--user", db.uid(),
                               "--password", db.pwd()});
    testing::CliOutcome run = RunCli(args);
    EXPECT_EQ(run.status, 0) << run.err;
    Json answer = Json::parse(run.out);
    EXPECT_EQ(answer["result"], true) << run.out;
    EXPECT_EQ(answer["byref"], Json::parse("[-1, 2]"));
    EXPECT_EQ(answer["statements"].size(), 2u);
  }
}

TEST(CliCommands, HelpAndVersionShowJsonFormsEveryMemberAndLibraries) {
  testing::CliOutcome top = RunCli({"--help"});
  EXPECT_EQ(top.status, 0);
  for (const char* command : {"init", "session", "sql", "call"}) {
    EXPECT_NE(top.out.find(command), std::string::npos) << command;
  }
  testing::CliOutcome call = RunCli({"call", "--help"});
  EXPECT_EQ(call.status, 0);
  // Every member, listed in interface order: its position in the dual
  // interface is its place in this list.
  const char* const interface_order[] = {
      "OpenConnection",       "ErrDescription",          "ErrorNumber",    "CopyToCurrentVRC",
      "ValidateUser",         "InsertInMap100",          "UpdateMap100",   "DeleteMap100",
      "GetUserOwnerProfiles", "GetOrvoOrLegacyProfiles", "DeleteMapRules", "DeleteData",
      "ExpireMapRules",       "Func_CopyToCurrentVRC",   "Func_Expire",    "Func_Delete",
      "ValidateDerivation",   "DatabaseServer",          "DatabaseName",   "DatabaseUser",
      "DatabasePassword",     "getNewConnection"};
  ASSERT_EQ(dispatch::Members().size(), std::size(interface_order));
  std::size_t listed = 0;
  for (int i = 0; i < static_cast<int>(std::size(interface_order)); ++i) {
    const dispatch::Member* member = dispatch::FindMember(interface_order[i]);
    ASSERT_NE(member, nullptr) << interface_order[i];
    EXPECT_EQ(member->position, i + 1) << member->name;
    listed = call.out.find("\n  " + member->name, listed);
    ASSERT_NE(listed, std::string::npos) << member->name;
  }
  EXPECT_NE(call.out.find("ValidateDerivation(ByRef i_intMPRF As Integer, ByRef i_intPPRF As "
                          "Integer) As Boolean"),
            std::string::npos);
  EXPECT_NE(call.out.find("Optional i_StrDCus As String) As Boolean"), std::string::npos);
  testing::CliOutcome session = RunCli({"session", "--help"});
  EXPECT_NE(session.out.find("{\"call\": \"<member>\", \"args\": [...]}"), std::string::npos);

  // --version needs no subcommand and names the libraries the process runs with.
  testing::CliOutcome version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_FALSE(app::DriverManagerVersion().empty());
  EXPECT_EQ(version.out, std::string("migprof ") + MIGPROF_VERSION + "\nSQLite " +
                             sqlite3_libversion() + "\nunixODBC " + app::DriverManagerVersion() +
                             "\n");
  EXPECT_EQ(version.err, "");

  // Usage errors fail without running anything.
  EXPECT_NE(RunCli({}).status, 0);
  EXPECT_NE(RunCli({"sql", "select 1"}).status, 0);  // --database is required
  EXPECT_NE(RunCli({"init"}).status, 0);
}

// A subcommand shows its parent's footer unless it has one of its own: no
// command's help may show the tool's examples of other commands.
TEST(CliCommands, EachCommandsHelpShowsExamplesOfItself) {
  const std::string top = RunCli({"--help"}).out;
  const std::string tool_examples = "  migprof call --database sqlite:/tmp/profiles.db";
  ASSERT_NE(top.find(tool_examples), std::string::npos);
  std::istringstream listing(top.substr(top.find("Subcommands:")));
  int commands = 0;
  for (std::string line; std::getline(listing, line) && line != "";) {
    if (line.rfind("  ", 0) != 0) continue;
    const std::string command = line.substr(2, line.find(' ', 2) - 2);
    ++commands;
    const std::string help = RunCli({command, "--help"}).out;
    EXPECT_EQ(help.find(tool_examples), std::string::npos) << command;
    if (!ExamplesFooter(command).empty()) {
      EXPECT_NE(help.find("  migprof " + command + " "), std::string::npos) << command;
    }
  }
  EXPECT_GE(commands, 20);
  for (const char* sub : {"add", "list", "revoke"}) {
    EXPECT_NE(RunCli({"token", sub, "--help"}).out.find("  migprof token list "), std::string::npos)
        << sub;
  }
}

TEST(CliCommands, SessionAppliesSettingsFirstAndEndsWithItsInput) {
  testing::TestDatabase db;
  // The last line has no line end and Windows line ends are accepted.
  testing::CliOutcome run = RunCli(
      {"session", "--trace", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd()},
      "{\"call\": \"ErrorNumber\"}\r\n{\"sql\": \"select 2 as two\"}");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"result\":0,\"ErrorNumber\":0,\"ErrDescription\":\"\",\"statements\":[]}\n"
            "{\"columns\":[\"two\"],\"rows\":[[2]]}\n");
}

}  // namespace
}  // namespace migprof::cli
