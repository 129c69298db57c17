// The one-shot commands and the command line.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/app.h"
#include "migprof/dispatch.h"
#include "testing/test_database.h"

namespace migprof::cli {
namespace {

// A path in the temporary folder that is removed (with the database's side
// files) at the end.
class TempPath {
 public:
  explicit TempPath(const std::string& name)
      : path_((std::filesystem::temp_directory_path() / name).string()) {
    Remove();
  }
  ~TempPath() { Remove(); }
  const std::string& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(path_ + suffix, ignored);
  }
  std::string path_;
};

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Migprof(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "migprof");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = RunMigprof(static_cast<int>(argv.size()), argv.data(), in, out, err);
  return {status, out.str(), err.str()};
}

TEST(CliInit, CreatesADatabaseAndNeverOverwritesAFile) {
  TempPath file("migprof_cli_init_test.db");
  Outcome created = Migprof({"init", file.path()});
  ASSERT_EQ(created.status, 0) << created.err;
  Outcome insert = Migprof(
      {"sql", "--database", "sqlite:" + file.path(), "insert into qzmap100 (mprf) values (1)"});
  EXPECT_EQ(insert.status, 0) << insert.out;

  Outcome again = Migprof({"init", file.path()});
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  Outcome count =
      Migprof({"sql", "--database", "sqlite:" + file.path(), "select count(*) as n from qzmap100"});
  EXPECT_EQ(count.out, "{\"columns\":[\"n\"],\"rows\":[[1]]}\n");

  // Nor a file that is not a database.
  TempPath text("migprof_cli_init_test.txt");
  std::ofstream(text.path()) << "keep me";
  EXPECT_NE(Migprof({"init", text.path()}).status, 0);
  std::ifstream kept(text.path());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

TEST(CliCommands, ExitStatusFollowsTheAnswer) {
  testing::TestDatabase db;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* answer_key;
  };
  const Case cases[] = {
      {{"sql", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(),
        "select 1 as one"},
       kExitOk,
       "rows"},
      {{"sql", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "select from"},
       kExitFailed,
       "raised"},
      {{"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "ErrorNumber"},
       kExitOk,
       "result"},
      {{"call", "--database", "sqlite:/no/such/dir/x.db", "getNewConnection"},
       kExitFailed,
       "raised"},
      {{"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(),
        "ValidateDerivation", "1"},
       kExitFailed,
       "raised"},
      {{"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "NoSuchMember"},
       kExitBadRequest,
       "error"},
      {{"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "--args",
        "{\"a\": 1}", "ErrorNumber"},
       kExitBadRequest,
       "error"},
      {{"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "--args", "[]",
        "ErrorNumber", "1"},
       kExitBadRequest,
       "error"},
  };
  for (const Case& c : cases) {
    Outcome run = Migprof(c.args);
    std::string shown = c.args[0] + " " + c.args.back();
    EXPECT_EQ(run.status, c.status) << shown;
    Json answer = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << shown << ": " << run.out;
    EXPECT_TRUE(answer.contains(c.answer_key)) << shown << ": " << run.out;
  }
}

TEST(CliCommands, CallArgumentsAsWordsOrOneArray) {
  EXPECT_EQ(ArgumentsFromWords({"12", "true", "alice", "\"12\"", "null", "-3", "[1]"}),
            Json::parse(R"([12, true, "alice", "12", null, -3, [1]])"));

  testing::TestDatabase db;
  db.Exec("insert into qzmap100 (mprf, sapp, tapp) values (-1, 'A', 'B')");
  db.Exec("insert into qzmap100 (mprf, sapp, tapp) values (2, 'A', 'B')");
  for (std::vector<std::string> args :
       {std::vector<std::string>{"validatederivation", "--", "-1", "\"2\""},
        std::vector<std::string>{"--args", "[-1, 2]", "ValidateDerivation"}}) {
    args.insert(args.begin(), {"call", "--trace", "--database", db.dsn(), "--user", db.uid(),
                               "--password", db.pwd()});
    Outcome run = Migprof(args);
    EXPECT_EQ(run.status, 0) << run.err;
    Json answer = Json::parse(run.out);
    EXPECT_EQ(answer["result"], true) << run.out;
    EXPECT_EQ(answer["byref"], Json::parse("[-1, 2]"));
    EXPECT_EQ(answer["statements"].size(), 2u);
  }
}

TEST(CliCommands, HelpShowsJsonFormsAndEveryMember) {
  Outcome top = Migprof({"--help"});
  EXPECT_EQ(top.status, 0);
  for (const char* command : {"init", "session", "sql", "call"}) {
    EXPECT_NE(top.out.find(command), std::string::npos) << command;
  }
  Outcome call = Migprof({"call", "--help"});
  EXPECT_EQ(call.status, 0);
  for (const dispatch::Member& member : dispatch::Members()) {
    EXPECT_NE(call.out.find("  " + member.name), std::string::npos) << member.name;
  }
  EXPECT_NE(call.out.find("ValidateDerivation(ByRef i_intMPRF As Integer, ByRef i_intPPRF As "
                          "Integer) As Boolean"),
            std::string::npos);
  Outcome session = Migprof({"session", "--help"});
  EXPECT_NE(session.out.find("{\"call\": \"<member>\", \"args\": [...]}"), std::string::npos);

  // Usage errors fail without running anything.
  EXPECT_NE(Migprof({}).status, 0);
  EXPECT_NE(Migprof({"sql", "select 1"}).status, 0);  // --database is required
  EXPECT_NE(Migprof({"init"}).status, 0);
}

TEST(CliCommands, SessionCommandTakesSettingsAndTrace) {
  testing::TestDatabase db;
  Outcome run = Migprof(
      {"session", "--trace", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd()},
      "{\"call\": \"ValidateDerivation\", \"args\": [1, 1]}\n");
  EXPECT_EQ(run.status, 0);
  Json answer = Json::parse(run.out);
  EXPECT_EQ(answer["ErrorNumber"], errc::kNoCurrentRecord);
  EXPECT_EQ(answer["statements"].size(), 2u);
}

}  // namespace
}  // namespace migprof::cli
