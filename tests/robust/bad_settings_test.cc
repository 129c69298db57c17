// Bad database settings and hostile or odd text arguments through the tool:
// each either works exactly as written or ends in a clear error, and never
// creates or changes anything it was not asked to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/app.h"
#include "robust/robust_support.h"
#include "schema/schema.h"

namespace migprof::testing {
namespace {

namespace fs = std::filesystem;

std::string CallTool(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"migprof"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::istringstream in;
  std::ostringstream out, err;
  cli::RunMigprof(static_cast<int>(argv.size()), argv.data(), in, out, err);
  return out.str() + err.str();
}

std::vector<std::string> CreateArgs(const std::string& desc, const std::string& vers = "V2") {
  return {"--args",
          R"([2,")" + desc + R"(","S2","T2",")" + vers + R"(","R","C","__","N","app","alice"])",
          "InsertInMap100"};
}

TEST(BadSettings, AreRefusedClearlyAndCreateNothing) {
  const fs::path folder =
      fs::temp_directory_path() / ("migprof_settings_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "sub");
  const std::string not_db = (folder / "notes.txt").string();
  std::ofstream(not_db) << "not a database\n";
  const std::string read_only = (folder / "ro.db").string();
  schema::CreateEmbeddedDatabase(read_only);
  ::chmod(read_only.c_str(), 0444);
  TestDatabase server;  // names the login of a server under MIGPROF_TEST_DSN
  struct Case {
    std::string what;
    std::vector<std::string> settings;
    std::string message;  // part of the answer
  };
  std::vector<Case> cases = {
      {"missing file",
       {"--database", "sqlite:" + (folder / "missing.db").string()},
       "Data source name not found"},
      {"folder",
       {"--database", "sqlite:" + (folder / "sub").string()},
       "Data source name not found"},
      {"not a database", {"--database", "sqlite:" + not_db}, "is not a profile database"},
      {"read-only file", {"--database", "sqlite:" + read_only}, "is read-only"},
      {"unknown data source", {"--database", "migprof_no_such_dsn"}, "Data source name not found"},
  };
  if (!server.embedded()) {
    cases.push_back({"wrong password",
                     {"--database", server.dsn(), "--user", server.uid(), "--password", "wrong"},
                     "denied"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> before = FolderSnapshot(folder.string());
    std::vector<std::string> args{"call"};
    args.insert(args.end(), c.settings.begin(), c.settings.end());
    for (const std::string& arg : CreateArgs("d")) args.push_back(arg);
    const std::string answer = CallTool(args);
    EXPECT_NE(answer.find(R"("result":false)"), std::string::npos) << answer;
    EXPECT_NE(answer.find(c.message), std::string::npos) << answer;
    EXPECT_EQ(FolderSnapshot(folder.string()), before);
    EXPECT_EQ(FolderSnapshot((folder / "sub").string()), std::vector<std::string>{});
  }
  if (!server.embedded()) {
    EXPECT_EQ(server.Count("qzmap100"), 0);
  }
  fs::remove_all(folder);
}

TEST(BadTextArguments, AreStoredExactlyOrRefusedWithoutChanges) {
  TestDatabase db;
  db.Exec(
      "insert into qzmap100 (mprf, vers, rele, cust, sapp, tapp, dsca) values "
      "(1, 'V1', 'R', 'C', 'S', 'T', 'keep')");
  const std::vector<std::vector<std::string>> sentinel =
      db.Rows("select mprf, vers, dsca from qzmap100");
  struct Case {
    std::string what;
    std::string text;    // as it appears inside the JSON string
    std::string stored;  // what a successful call stores
  };
  const std::vector<Case> cases = {
      {"quotes", R"(it's \"quoted\")", "it's \"quoted\""},
      {"statement after ;", "x'); delete from qzmap100; --", "x'); delete from qzmap100; --"},
      {"comments", "a /* b */ -- c", "a /* b */ -- c"},
      {"100,000 characters", std::string(100000, 'x'), std::string(100000, 'x')},
      {"invalid UTF-8", "\xff\xfe\xc3", ""},
      {"Windows-1252 characters", "caf\xc3\xa9 \xe2\x80\x93 \xe2\x82\xac",
       "caf\xc3\xa9 \xe2\x80\x93 \xe2\x82\xac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args{"call",   "--database", db.dsn(), "--user",
                                  db.uid(), "--password", db.pwd()};
    for (const std::string& arg : CreateArgs(c.text)) args.push_back(arg);
    const std::string answer = CallTool(args);
    const bool stored = answer.find(R"("result":true)") != std::string::npos;
    if (stored) {
      EXPECT_EQ(db.Value("select dsca from qzmap100 where mprf = 2"), c.stored);
      db.Exec("delete from qzmap100 where mprf = 2");
      db.Exec("delete from qzmap101 where mprf = 2");
      db.Exec("delete from qzusr110 where mprf = 2");
    } else {
      // A refusal says why and leaves no row of the profile behind.
      EXPECT_TRUE(answer.find(R"("error":)") != std::string::npos ||
                  answer.find(R"("ErrDescription":"")") == std::string::npos)
          << answer.substr(0, 300);
      EXPECT_EQ(db.Count("qzmap100 where mprf = 2"), 0);
      EXPECT_EQ(db.Count("qzmap101 where mprf = 2"), 0);
    }
    EXPECT_EQ(db.Rows("select mprf, vers, dsca from qzmap100"), sentinel);
    EXPECT_EQ(db.Count("qzusr110"), 0);
  }
}

}  // namespace
}  // namespace migprof::testing
