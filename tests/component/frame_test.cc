// The object's settings, error state and connection factory.
#include <gtest/gtest.h>

#include <filesystem>

#include "testing/test_database.h"

namespace migprof {
namespace {

using testing::ComponentTest;
using testing::RaisedBy;

TEST_F(ComponentTest, ConnectionStringCarriesSettingsUnchanged) {
  object_.DatabaseServer("some-server");  // takes no part in connecting
  auto connection = object_.getNewConnection();
  EXPECT_EQ(connection->ConnectionString(),
            "DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() + ";");
  EXPECT_EQ(connection->ConnectionTimeout(), 10000);
  EXPECT_EQ(connection->CommandTimeout(), 10000);
  EXPECT_EQ(connection->State(), ado::adStateOpen);

  // Values are not trimmed or escaped; ";" inside a value stays. Only the
  // embedded database accepts any login.
  if (!db_.embedded()) GTEST_SKIP() << "a server refuses the made-up login";
  object_.DatabaseUser(" a;b ");
  object_.DatabasePassword("");
  EXPECT_EQ(object_.getNewConnection()->ConnectionString(),
            "DSN=" + db_.dsn() + ";uid= a;b ;pwd=;");
}

TEST_F(ComponentTest, EachCallGivesADistinctOpenConnection) {
  auto first = object_.getNewConnection();
  auto second = object_.getNewConnection();
  EXPECT_NE(first, second);
  // Both work at the same time, and see each other's committed rows.
  first->Execute("insert into qzusr100 (defa) values (1)");
  second->Execute("insert into qzusr100 (defa) values (2)");
  auto rs = first->Execute("select count(*) from qzusr100");
  EXPECT_EQ(rs->Fields().Item(Integer{0}).Value().ToLong(), 2);
}

TEST(Frame, UnknownDataSourcesFailWithTheDriverManagersError) {
  std::string missing =
      (std::filesystem::temp_directory_path() / "migprof_no_such_file.db").string();
  for (const std::string& name : {"sqlite:" + missing, std::string("NoSuchDsn"), std::string()}) {
    TOVRHandleMigProf object;
    object.DatabaseName(name);
    ComError error = RaisedBy([&] { object.getNewConnection(); });
    EXPECT_EQ(error.number(), -2147467259) << name;
    EXPECT_EQ(error.description(),
              "[Microsoft][ODBC Driver Manager] Data source name not found and no default driver "
              "specified");
  }
  // A missing file is never created by a failed open.
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// A failed OpenConnection and the error state it leaves are pinned by the
// Frame trace; here: the argument is neither used nor changed.
TEST_F(ComponentTest, OpenConnectionLeavesItsArgumentAlone) {
  auto argument = db_.Connect();
  object_.OpenConnection(argument);
  EXPECT_EQ(argument->State(), ado::adStateOpen);
  EXPECT_EQ(object_.ErrorNumber(), 0);
}

TEST_F(ComponentTest, EmbeddedDatabaseIsDurable) {
  if (!db_.embedded()) GTEST_SKIP() << "embedded database only";
  auto connection = object_.getNewConnection();
  auto mode = connection->Execute("PRAGMA journal_mode");
  EXPECT_EQ(mode->Fields().Item(Integer{0}).Value().ToString(), "wal");
  auto sync = connection->Execute("PRAGMA synchronous");
  EXPECT_EQ(sync->Fields().Item(Integer{0}).Value().ToLong(), 2);  // FULL
}

}  // namespace
}  // namespace migprof
