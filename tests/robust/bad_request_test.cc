// Requests that nest arrays far too deep are refused with a clear error
// instead of exhausting the stack of the host.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/app.h"
#include "cli/json_depth.h"
#include "cli/request.h"
#include "testing/test_database.h"

namespace migprof::cli {
namespace {

std::string Nested(std::size_t depth, const std::string& inner = "1") {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(JsonNesting, DepthCountsBracketsOutsideStrings) {
  struct Case {
    std::string text;
    std::size_t depth;
  };
  const std::vector<Case> cases = {
      {"12", 0},
      {R"([1, {"binary": "00"}])", 2},
      {R"(["[[[", "\"[[", {"a": "}}}"}])", 2},
      {Nested(90000), 90000},
      {"[[[", 3},  // not JSON: still measured
      {"]]][", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonNestingDepth(c.text), c.depth) << c.text.substr(0, 40);
  }
}

TEST(DeepRequest, IsRefusedByEveryWayIn) {
  testing::TestDatabase db;
  const std::string deep = Nested(90000);
  const std::string limit = Nested(kMaxJsonDepth - 1, "\"x\"");  // args itself is one more level
  struct Case {
    std::string what;
    std::vector<std::string> argv;  // after "migprof"
    std::string input;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"session line",
       {"session", "--database", db.dsn()},
       R"({"call":"DeleteMap100","args":)" + deep + "}\n",
       true},
      {"call --args", {"call", "--database", db.dsn(), "--args", deep, "DeleteMap100"}, "", true},
      {"call word", {"call", "--database", db.dsn(), "DeleteMap100", "--", deep}, "", true},
      {"session line at the limit",
       {"session", "--database", db.dsn()},
       R"({"call":"DeleteMap100","args":)" + limit + "}\n",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<const char*> argv{"migprof"};
    for (const std::string& arg : c.argv) argv.push_back(arg.c_str());
    std::istringstream in(c.input);
    std::ostringstream out, err;
    RunMigprof(static_cast<int>(argv.size()), argv.data(), in, out, err);
    const bool refused = out.str().find("nest more than 32 levels") != std::string::npos;
    EXPECT_EQ(refused, c.refused) << out.str().substr(0, 300) << err.str();
    EXPECT_EQ(out.str().rfind("{\"error\":", 0), c.refused ? 0u : std::string::npos)
        << out.str().substr(0, 300);
  }
}

}  // namespace
}  // namespace migprof::cli
