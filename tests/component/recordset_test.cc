// The recordset: navigation, field access and updates through the table of
// its source statement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>

#include "testing/test_database.h"

namespace migprof {
namespace {

using testing::TestDatabase;

std::int32_t NumberRaised(const std::function<void()>& body) {
  return testing::RaisedBy(body).number();
}

class RecordsetTest : public ::testing::Test {
 protected:
  std::shared_ptr<ado::Recordset> Open(const std::string& sql) {
    auto rs = ado::Recordset::Create();
    rs->Open(sql, db_.Connect(), ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    return rs;
  }

  TestDatabase db_;
};

TEST_F(RecordsetTest, WalksRowsAndReadsFieldsByNameAndPosition) {
  auto empty = Open("select * from qzmap101 where mprf = 1");
  EXPECT_TRUE(empty->BOF());
  EXPECT_TRUE(empty->EndOfFile());
  EXPECT_EQ(empty->RecordCount(), 0);
  db_.Exec("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (1,1,'V','R','C',1)");
  db_.Exec("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (1,2,'P','Q',NULL,7)");
  auto rs = Open("select * from qzmap101 where mprf = 1 order by levl");
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(rs->Fields().Item("LEVL").Value().ToInteger(), 1);  // names ignore case
  EXPECT_EQ(rs->Fields().Item(Integer{2}).Value().ToString(), "V");
  rs->MoveNext();
  EXPECT_EQ(rs->Fields()["pprf"].Value().ToInteger(), 7);
  EXPECT_TRUE(rs->Fields()["cust"].Value().IsNull());
  EXPECT_EQ(NumberRaised([&] { rs->Fields()["cust"].Value().ToString(); }), errc::kTypeMismatch);
  EXPECT_EQ(NumberRaised([&] { rs->Fields()["nosuch"]; }), errc::kItemNotFound);
  EXPECT_EQ(NumberRaised([&] { rs->Fields().Item(Integer{6}); }), errc::kItemNotFound);
  rs->MoveNext();
  EXPECT_TRUE(rs->EndOfFile());
  EXPECT_EQ(NumberRaised([&] { rs->Fields().Item("mprf").Value(); }), errc::kNoCurrentRecord);
  EXPECT_EQ(NumberRaised([&] { rs->MoveNext(); }), errc::kNoCurrentRecord);
  rs->Close();
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  EXPECT_EQ(NumberRaised([&] { rs->EndOfFile(); }), errc::kObjectClosed);
}

TEST_F(RecordsetTest, AddNewWritesOnlyTheFieldsSet) {
  auto source = Open("select 'copied' as prtx, NULL as stat");
  auto rs = Open("select * from qzmap120");
  rs->AddNew();
  rs->Fields()["mprf"].Value(Integer{4});
  rs->Fields()["vers"].Value("V1");
  rs->Fields()["prtx"].Value(source->Fields()["prtx"].Value());  // another recordset's field
  rs->Fields()["stat"].Value(source->Fields()["stat"].Value());
  rs->Update();
  rs->AddNew();
  rs->Fields()["mprf"].Value(Integer{5});
  rs->Update();
  rs->Close();
  EXPECT_EQ(db_.Rows("select mprf, vers, prtx, stat, logn from qzmap120 order by mprf"),
            (std::vector<std::vector<std::string>>{{"4", "V1", "copied", "NULL", "NULL"},
                                                   {"5", "NULL", "NULL", "NULL", "NULL"}}));
}

TEST_F(RecordsetTest, DeleteAndUpdateChangeExactlyTheCurrentRow) {
  // All rows equal 'ABC' by the database's comparison, and two pairs are
  // twins; each is still a row of its own. The walk goes on after a delete.
  // (qzmap140 has no key, so twins are possible there.)
  for (const char* vers : {"abc", "ABC", "abc", "ABC", "abc "}) {
    db_.Exec(std::string("insert into qzmap140 (mprf,dnum,vers) values (9,1,'") + vers + "')");
  }
  auto rs = Open("select * from qzmap140 where vers = 'ABC'");
  bool deleted = false, updated = false;
  int seen = 0;
  for (; !rs->EndOfFile(); rs->MoveNext(), ++seen) {
    const std::string vers = rs->Fields()["vers"].Value().ToString();
    if (vers == "ABC" && !deleted) {
      rs->Delete(ado::adAffectCurrent);
      EXPECT_EQ(NumberRaised([&] { rs->Fields()["dnum"].Value(); }), errc::kNoCurrentRecord);
      deleted = true;
    } else if (vers == "abc" && !updated) {
      rs->Fields()["dnum"].Value(Integer{2});
      EXPECT_EQ(rs->Fields()["dnum"].Value().ToInteger(), 2);
      rs->Update();
      updated = true;
    }
  }
  EXPECT_EQ(seen, 5);
  std::vector<std::string> rows;
  for (const auto& row : db_.Rows("select vers, dnum from qzmap140")) {
    rows.push_back("[" + row[0] + "]" + row[1]);
  }
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::string>{"[ABC]1", "[abc ]1", "[abc]1", "[abc]2"}));
  // Writing the value a row already holds is a successful update (MariaDB
  // counts such a row as not changed).
  auto same = Open("select * from qzmap140 where dnum = 2");
  same->Fields()["dnum"].Value(Integer{2});
  same->Update();
  EXPECT_EQ(db_.Count("qzmap140 where dnum = 2"), 1);
}

TEST_F(RecordsetTest, ReopensWithThePropertiesOfTheLastOpen) {
  db_.Exec("insert into qzusr100 (defa) values (3)");
  auto rs = ado::Recordset::Create();
  rs->ActiveConnection(db_.Connect());
  rs->CursorType(ado::adOpenDynamic);
  rs->LockType(ado::adLockOptimistic);
  rs->Open("select * from qzusr100", nullptr, -1, -1, -1);
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(NumberRaised([&] { rs->Open(); }), errc::kObjectOpen);
  rs->Close();
  db_.Exec("insert into qzusr100 (defa) values (4)");
  rs->Open();
  EXPECT_EQ(rs->RecordCount(), 2);
}

TEST_F(RecordsetTest, ExecuteReturnsRowsOrAClosedRecordset) {
  auto connection = db_.Connect();
  Variant affected;
  auto none = connection->Execute("insert into qzusr100 (defa) values (1)", &affected);
  EXPECT_EQ(none->State(), ado::adStateClosed);
  EXPECT_EQ(affected.ToLong(), 1);
  auto rs = connection->Execute("select defa from qzusr100");
  EXPECT_EQ(rs->State(), ado::adStateOpen);
  EXPECT_EQ(rs->Fields().Item(Integer{0}).Value().ToInteger(), 1);
  // One statement at a time: nothing after the first is run silently.
  EXPECT_EQ(NumberRaised([&] { connection->Execute("select 1; delete from qzusr100"); }),
            errc::kErrorsInCommand);
  EXPECT_EQ(db_.Count("qzusr100"), 1);
}

TEST_F(RecordsetTest, TransactionsCommitRollBackAndEndWithTheConnection) {
  {
    auto connection = db_.Connect();
    EXPECT_EQ(connection->BeginTrans(), 1);
    connection->Execute("insert into qzlib105 (mprf) values (1)");
    connection->CommitTrans();
    connection->BeginTrans();
    EXPECT_EQ(NumberRaised([&] { connection->BeginTrans(); }),
              errc::kErrorsInCommand);  // no nesting
    connection->Execute("insert into qzlib105 (mprf) values (2)");
    EXPECT_EQ(NumberRaised([&] { connection->Execute("delete from qzlib100 wher x"); }),
              errc::kErrorsInCommand);
    connection->RollbackTrans();
    EXPECT_EQ(NumberRaised([&] { connection->CommitTrans(); }), errc::kNoTransaction);
    // Statements commit one by one again.
    connection->Execute("insert into qzlib105 (mprf) values (3)");
    EXPECT_EQ(db_.Count("qzlib105"), 2);
    connection->BeginTrans();
    connection->Execute("insert into qzlib105 (mprf) values (4)");
  }  // released with its transaction open: rolled back
  EXPECT_EQ(db_.Rows("select mprf from qzlib105 order by mprf"),
            (std::vector<std::vector<std::string>>{{"1"}, {"3"}}));
  // The native handle goes back to the pool without a transaction.
  auto next = db_.Connect();
  next->Execute("insert into qzlib105 (mprf) values (5)");
  EXPECT_EQ(db_.Count("qzlib105"), 3);
}

}  // namespace
}  // namespace migprof
