// Bad requests through the tool: requests that nest arrays far too deep are
// refused with a clear error instead of exhausting the stack of the host, and
// hostile or odd text arguments are stored exactly as written or refused
// without changing anything.
#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "wire/json_depth.h"
#include "testing/test_database.h"

namespace migprof::cli {
namespace {

using wire::JsonNestingDepth;
using wire::kMaxJsonDepth;
using wire::NestingTooDeep;

std::string Nested(std::size_t depth, const std::string& inner = "1") {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

// `migprof <args...>` run in this process; its standard output and error.
std::string RunInProcess(const std::vector<std::string>& args, const std::string& input = "") {
  const testing::CliOutcome run = testing::RunCli(args, input);
  return run.out + run.err;
}

TEST(JsonNesting, DepthCountsBracketsOutsideStrings) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {"12", 0},
      {R"([1, {"binary": "00"}])", 2},
      {R"(["[[[", "\"[[", {"a": "}}}"}])", 2},
      {Nested(90000), 90000},
      {"[[[", 3},  // not JSON: still measured
      {"]]][", 1},
  };
  for (const auto& [text, depth] : cases) {
    EXPECT_EQ(JsonNestingDepth(text), depth) << text.substr(0, 40);
  }
}

TEST(DeepRequest, IsRefusedByEveryWayIn) {
  testing::TestDatabase db;
  const std::string deep = Nested(90000);
  const std::string limit = Nested(kMaxJsonDepth - 1, "\"x\"");  // args itself is one more level
  struct Case {
    const char* what;
    std::vector<std::string> argv;  // after "migprof"
    std::string input;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"session line",
       {"session", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd()},
       R"({"call":"DeleteMap100","args":)" + deep + "}\n",
       true},
      {"call --args", {"call", "--database", db.dsn(), "--args", deep, "DeleteMap100"}, "", true},
      {"call word", {"call", "--database", db.dsn(), "DeleteMap100", "--", deep}, "", true},
      {"session line at the limit",
       {"session", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd()},
       R"({"call":"DeleteMap100","args":)" + limit + "}\n",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = RunInProcess(c.argv, c.input);
    const bool refused = out.find("nest more than 32 levels") != std::string::npos;
    EXPECT_EQ(refused, c.refused) << out.substr(0, 300);
    EXPECT_EQ(out.rfind("{\"error\":", 0), c.refused ? 0u : std::string::npos)
        << out.substr(0, 300);
  }
}

TEST(BadTextArguments, AreStoredExactlyOrRefusedWithoutChanges) {
  testing::TestDatabase db;
  db.Exec(
      "insert into qzmap100 (mprf, vers, rele, cust, sapp, tapp, dsca) values "
      "(1, 'V1', 'R', 'C', 'S', 'T', 'keep')");
  const auto sentinel = db.Rows("select mprf, vers, dsca from qzmap100");
  struct Case {
    std::string text;    // as it appears inside the JSON string
    std::string stored;  // what a successful call stores
  };
  const std::vector<Case> cases = {
      {R"(it's \"quoted\")", "it's \"quoted\""},
      {"x'); delete from qzmap100; --", "x'); delete from qzmap100; --"},
      {"a /* b */ -- c", "a /* b */ -- c"},
      {std::string(100000, 'x'), std::string(100000, 'x')},
      {"\xff\xfe\xc3", ""},  // invalid UTF-8
      {"caf\xc3\xa9 \xe2\x80\x93 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x80\x93 \xe2\x82\xac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const std::string answer = RunInProcess(
        {"call", "--database", db.dsn(), "--user", db.uid(), "--password", db.pwd(), "--args",
         R"([2,")" + c.text + R"(","S2","T2","V2","R","C","__","N","app","alice"])",
         "InsertInMap100"});
    if (answer.find(R"("result":true)") != std::string::npos) {
      EXPECT_EQ(db.Value("select dsca from qzmap100 where mprf = 2"), c.stored);
      for (const char* table : {"qzmap100", "qzmap101", "qzusr110"}) {
        db.Exec(std::string("delete from ") + table + " where mprf = 2");
      }
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
}  // namespace migprof::cli
