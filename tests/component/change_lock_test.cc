// The change lock: a changing member waits while another holder has it and
// goes on once it is released; readers never wait; every name of an
// embedded database file shares one lock.
#include "component/change_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "component/sqlite/lock_file.h"
#include "testing/test_database.h"

namespace migprof::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(ComponentTest, ChangingMembersWaitForTheLockAndReadersDoNot) {
  db_.Exec("insert into qzmap100 (mprf, vers, rele, cust) values (7, 'V', 'R', 'C')");
  auto held = detail::TakeChangeLock(
      "DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() + ";", 10, 10);
  // A member of another object, as another maintainer would call it.
  std::future<bool> deletion = std::async(std::launch::async, [&] {
    TOVRHandleMigProf other;
    db_.Configure(other);
    return other.DeleteMap100(7).IsTrue();
  });
  EXPECT_EQ(deletion.wait_for(500ms), std::future_status::timeout);
  EXPECT_EQ(object_.GetUserOwnerProfiles("nobody"), "0");  // no lock needed
  EXPECT_EQ(db_.Count("qzmap100"), 1);
  held.reset();
  EXPECT_TRUE(deletion.get());
  EXPECT_EQ(db_.Count("qzmap100"), 0);
  // Released when the member returned: taken again at once.
  EXPECT_NE(detail::TakeChangeLock(
                "DSN=" + db_.dsn() + ";uid=" + db_.uid() + ";pwd=" + db_.pwd() + ";", 10, 1),
            nullptr);
}

TEST(FileLock, OneHolderForEveryNameOfTheFileAndAWaitThatEnds) {
  TestDatabase db;
  if (!db.embedded()) GTEST_SKIP() << "the embedded database file";
  const std::string link = db.path() + ".link";
  ASSERT_EQ(::symlink(db.path().c_str(), link.c_str()), 0);
  auto first = sqlite::TakeFileLock(db.path(), 1);
  EXPECT_EQ(sqlite::LockFilePath(link), db.path() + "-lock");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RaisedBy([&] { sqlite::TakeFileLock(link, 1); }).number(), errc::kQueryTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
  first.reset();
  EXPECT_NE(sqlite::TakeFileLock(link, 1), nullptr);
  ::unlink(link.c_str());
}

}  // namespace
}  // namespace migprof::testing
