// `migprof --version`: answered without a subcommand, naming the tool's
// version and the libraries the process runs with.
#include "cli/version.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sstream>
#include <string>

#include "cli/app.h"
#include "migprof/version.h"

namespace migprof::cli {
namespace {

TEST(VersionTest, AnswersWithoutSubcommandWithRuntimeLibraries) {
  const char* argv[] = {"migprof", "--version"};
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMigprof(2, argv, in, out, err), 0) << err.str();
  const std::string manager = DriverManagerVersion();
  EXPECT_FALSE(manager.empty());
  EXPECT_EQ(out.str(), std::string("migprof ") + MIGPROF_VERSION + "\nSQLite " +
                           sqlite3_libversion() + "\nunixODBC " + manager + "\n");
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace migprof::cli
