// A node of a Galera cluster killed while a copy runs through it: the copy's
// caller gets a clear error, a copy through another node goes on (once the
// dead holder's change lock has lapsed), the node rejoins, and every node
// then holds the same rows. Runs only under .ci/galera_suite.sh, which sets
// MIGPROF_TEST_GALERA_CONTROL and MIGPROF_TEST_NODE_DSNS.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Words(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text ? text : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Copy(int target, const std::string& vers) {
  return R"({"call":"CopyToCurrentVRC","args":[1,)" + std::to_string(target) + R"(,")" + vers +
         R"(","UR","UC","xy","uvw","123","alice","","",0]})";
}

// Every table's rows through the data source dsn, sorted.
std::vector<std::vector<std::string>> AllRows(const TestDatabase& db, const std::string& dsn) {
  auto connection = ado::Connection::Create();
  connection->Open("DSN=" + dsn + ";uid=" + db.uid() + ";pwd=" + db.pwd() + ";");
  std::vector<std::vector<std::string>> all;
  for (const std::string& table : TestDatabase::Tables()) {
    auto rs = ado::Recordset::Create();
    rs->Open("select * from " + table, connection, ado::adOpenDynamic, ado::adLockOptimistic);
    std::vector<std::vector<std::string>> rows;
    for (; !rs->EndOfFile(); rs->MoveNext()) {
      std::vector<std::string> row{table};
      for (long i = 0; i < rs->Fields().Count(); ++i) {
        Variant value = rs->Fields().Item(static_cast<Integer>(i)).Value();
        row.push_back(value.IsNull() ? "NULL"
                      : value.type() == Variant::Type::kBinary
                          ? std::to_string(value.AsBinary().size())
                          : value.ToString());
      }
      rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    all.insert(all.end(), rows.begin(), rows.end());
  }
  return all;
}

TEST(ClusterNode, KilledDuringACopyThenRejoins) {
  const char* control = std::getenv("MIGPROF_TEST_GALERA_CONTROL");
  const std::vector<std::string> nodes = Words(std::getenv("MIGPROF_TEST_NODE_DSNS"));
  if (control == nullptr || nodes.size() < 3) GTEST_SKIP() << "a Galera cluster of three nodes";
  TestDatabase db;  // through node 1
  LongCopySource(db, 3000);
  db.Exec(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (3, 'WV', 'UR', 'UC', 'UAPP')");
  const auto session = [&](const std::string& dsn) {
    auto tool = std::make_unique<ToolSession>(std::vector<std::string>{
        "session", "--database", dsn, "--user", db.uid(), "--password", db.pwd(), "--as", "alice"});
    tool->Send(R"({"call":"GetUserOwnerProfiles","args":["nobody"]})");
    tool->Receive();
    return tool;
  };
  auto copier = session(nodes[1]);
  auto other = session(nodes[2]);

  copier->Send(Copy(2, "UV"));
  const auto started = Clock::now();
  while (db.Count("qzmap140") < 3050 && Clock::now() - started < std::chrono::seconds(60)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(std::system((std::string(control) + " kill 2").c_str()), 0);
  const std::string answer = copier->Receive();
  EXPECT_NE(answer.find(R"("result":false)"), std::string::npos) << answer;
  EXPECT_NE(answer.find(std::to_string(errc::kProviderFailure)), std::string::npos) << answer;
  std::cout << "[cluster] the copy's caller, its node killed: " << answer << std::endl;

  // Nodes 1 and 3 still hold the majority: a copy through node 3 succeeds,
  // once the killed holder's lock has lapsed.
  const auto waiting = Clock::now();
  other->Send(Copy(3, "WV"));
  const std::string other_answer = other->Receive();
  EXPECT_NE(other_answer.find(R"("result":true)"), std::string::npos) << other_answer;
  std::cout << "[cluster] a copy through node 3 answered after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - waiting).count()
            << " ms: " << other_answer << std::endl;
  EXPECT_EQ(db.Value("select count(*) from qzmap140 where mprf = 3"), "3000");

  ASSERT_EQ(std::system((std::string(control) + " start 2").c_str()), 0);
  const auto rows = AllRows(db, nodes[0]);
  for (std::size_t n = 1; n < nodes.size(); ++n) {
    EXPECT_TRUE(AllRows(db, nodes[n]) == rows) << "node " << n + 1 << " differs from node 1";
  }
  EXPECT_EQ(copier->Finish(), 0);
  EXPECT_EQ(other->Finish(), 0);
}

// Two transactions through two nodes change one row: the one that commits
// second is undone by the cluster and its caller reads "try again".
TEST(ClusterNode, ACertificationConflictHasANumberOfItsOwn) {
  const std::vector<std::string> nodes = Words(std::getenv("MIGPROF_TEST_NODE_DSNS"));
  if (std::getenv("MIGPROF_TEST_GALERA_CONTROL") == nullptr || nodes.size() < 2) {
    GTEST_SKIP() << "a Galera cluster";
  }
  TestDatabase db;
  db.Exec("insert into qzusr100 (usrn, defa) values ('u', 0)");
  const auto connect = [&](const std::string& dsn) {
    auto connection = ado::Connection::Create();
    connection->Open("DSN=" + dsn + ";uid=" + db.uid() + ";pwd=" + db.pwd() + ";");
    return connection;
  };
  auto first = connect(nodes[0]);
  auto second = connect(nodes[1]);
  // The row was inserted through another node: the update through the second
  // node waits until it has arrived there, or it would find nothing to change.
  second->Execute("set session wsrep_sync_wait = 3");
  first->BeginTrans();
  second->BeginTrans();
  first->Execute("update qzusr100 set defa = 1 where usrn = 'u'");
  second->Execute("update qzusr100 set defa = 2 where usrn = 'u'");
  first->CommitTrans();
  const ComError conflict = RaisedBy([&] { second->CommitTrans(); });
  EXPECT_EQ(conflict.number(), errc::kWriteConflict) << conflict.description();
  EXPECT_EQ(conflict.description().rfind(errtext::kWriteConflict, 0), 0u) << conflict.description();
  std::cout << "[cluster] the second commit: " << conflict.number() << " " << conflict.description()
            << std::endl;
  EXPECT_EQ(db.Value("select defa from qzusr100"), "1");
}

}  // namespace
}  // namespace migprof::testing
