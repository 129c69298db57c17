// Member calls through the application layer: who may make them, what a call
// answers (its own outcome only), and what is recorded of it.
#include "app/members.h"

#include <gtest/gtest.h>

#include "app/account_admin.h"
#include "app/changes.h"
#include "app/demo_estate.h"
#include "app/errors.h"
#include "app/tables.h"
#include "component/ado/observer.h"
#include "testing/test_database.h"

namespace migprof::app {
namespace {

class MembersTest : public testing::ComponentTest {
 protected:
  void SetUp() override {
    app::PopulateDemoEstate(object_);
    EnsureTables(app_.db());
    app_.db().Execute("delete from mpweb_activity");
  }

  MemberOutcome CallAs(const Principal& who, const char* member, std::vector<Variant> args) {
    return Call(app_, who, MakeCall(member, args));
  }
  std::vector<ActivityEntry> Recorded() { return app_.activity().List({}, 0, 100); }

  Application app_{Settings{DataSource{db_.dsn(), db_.uid(), db_.pwd()}}};
  // The demo estate: alice owns 100 and 120, bob 110, 200 and 300.
  const Principal alice_{"alice", Role::kMaintainer, EntryPoint::kApi};
  const Principal bob_{"bob", Role::kMaintainer, EntryPoint::kPage};
  const Principal admin_{"root", Role::kAdministrator, EntryPoint::kCli};
  const Principal viewer_{"vera", Role::kViewer, EntryPoint::kPage};
};

TEST_F(MembersTest, RefusalsOfThePrincipalChangeNothingAndAreRecorded) {
  struct Case {
    const Principal* who;
    const char* member;
    std::vector<Variant> args;
  };
  const Case cases[] = {
      // Naming another user than the one acting.
      {&bob_, "Func_Expire", {Integer{100}, "V10", "R1", "STD", "map_uom", "alice", kTrue}},
      {&bob_,
       "InsertInMap100",
       {Integer{130}, "x", "LEGERP", "ORVOERP", "V13", "R1", "X", "__", "N", "a", "alice"}},
      // Another owner's profile.
      {&bob_, "DeleteMap100", {Integer{120}}},
      {&bob_,
       "UpdateMap100",
       {Integer{100}, "mine now", "N", "V10", "R1", "STD", "Orvo ERP", "__", "bob", ""}},
      {&alice_,
       "DeleteMapRules",
       {Integer{110}, "V10U", "R1", "ACME", "or", "itm", "001", "", kFalse}},
      // A viewer changes nothing, not even what it would own.
      {&viewer_,
       "InsertInMap100",
       {Integer{130}, "x", "LEGERP", "ORVOERP", "V13", "R1", "X", "__", "N", "a", "vera"}},
  };
  auto counts = [&] {
    std::vector<long> all;
    for (const std::string& table : testing::TestDatabase::Tables())
      all.push_back(db_.Count(table));
    return all;
  };
  const auto before = db_.Rows("select mprf, dsca from qzmap100 order by mprf");
  const std::vector<long> rows_before = counts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    EXPECT_THROW(CallAs(*c.who, c.member, c.args), Forbidden);
  }
  EXPECT_EQ(db_.Rows("select mprf, dsca from qzmap100 order by mprf"), before);
  EXPECT_EQ(counts(), rows_before);
  const std::vector<ActivityEntry> recorded = Recorded();
  ASSERT_EQ(recorded.size(), std::size(cases));
  for (const ActivityEntry& entry : recorded) {
    EXPECT_EQ(entry.outcome, Outcome::kForbidden) << entry.operation;
    EXPECT_FALSE(entry.message.empty());
  }
  EXPECT_EQ(recorded.back().user, "bob");
  EXPECT_EQ(recorded.back().entry, EntryPoint::kPage);
}

TEST_F(MembersTest, OwnersAndAdministratorsChangeAndEachChangeIsRecordedWithItsRows) {
  MemberOutcome refused = CallAs(bob_, "DeleteMap100", {Integer{110}});  // 120's parent
  EXPECT_FALSE(refused.Succeeded());
  EXPECT_EQ(refused.error_number, 2);
  MemberOutcome expired =
      CallAs(alice_, "Func_Expire", {Integer{100}, "V10", "R1", "STD", "map_uom", "alice", kTrue});
  EXPECT_TRUE(expired.Succeeded()) << expired.FailureText();
  MemberOutcome deleted = CallAs(admin_, "DeleteMap100", {Integer{120}});
  EXPECT_TRUE(deleted.Succeeded()) << deleted.FailureText();
  EXPECT_EQ(deleted.rows.at("qzmap100"), 1);
  EXPECT_EQ(deleted.rows.at("qzusr110"), 1);

  const std::vector<ActivityEntry> recorded = Recorded();  // newest first
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[0].user, "root");
  EXPECT_EQ(recorded[0].mprf, Integer{120});
  EXPECT_EQ(recorded[0].rows, deleted.rows);
  EXPECT_EQ(recorded[0].arguments, (Arguments{{"i_intMPRF", "120"}}));
  EXPECT_EQ(recorded[1].outcome, Outcome::kDone);
  EXPECT_EQ(recorded[1].rows, expired.rows);
  EXPECT_EQ(recorded[2].outcome, Outcome::kRefused);
  EXPECT_EQ(recorded[2].error_number, "2");
  // Reads are not recorded.
  CallAs(bob_, "GetUserOwnerProfiles", {"bob"});
  EXPECT_EQ(Recorded().size(), 3u);
}

// A profile written without an owner (by hand, or by an older tool) belongs
// to nobody: a maintainer is someone else to it, an administrator still acts.
// The unreadable owner is not taken for a failing database.
TEST_F(MembersTest, AProfileWithoutAnOwnerBelongsToNobody) {
  db_.Exec(
      "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, dsca, deph) "
      "values (801, 'LEGERP', 'ORVOERP', 'K9', '0', 'X', 'no owner', 1)");
  EXPECT_EQ(RelationTo(app_, alice_, Integer{801}), Relation::kOther);
  EXPECT_THROW(CallAs(alice_, "DeleteMap100", {Integer{801}}), Forbidden);
  MemberOutcome deleted = CallAs(admin_, "DeleteMap100", {Integer{801}});
  EXPECT_TRUE(deleted.Succeeded()) << deleted.FailureText();
  EXPECT_EQ(db_.Count("qzmap100 where mprf = 801"), 0);
}

TEST_F(MembersTest, EachCallAnswersItsOwnOutcomeAndSettingsAreNotCallable) {
  MemberOutcome failed = CallAs(alice_, "ValidateDerivation", {Integer{7}, Integer{1}});
  EXPECT_NE(failed.error_number, 0);
  MemberOutcome next =
      CallAs(alice_, "ExpireMapRules",
             {Integer{120}, "V10U", "R1", "ACMENL", "or", "itm", "001", "", kFalse, kTrue});
  EXPECT_EQ(next.error_number, 0) << "a new object: the failure before is not this call's";
  EXPECT_EQ(next.error_description, "");
  for (const char* member : {"DatabaseName", "getNewConnection", "OpenConnection", "ErrorNumber"}) {
    const dispatch::Member& m = *dispatch::FindMember(member);
    EXPECT_THROW(Call(app_, admin_, MakeCall(m, std::vector<Variant>(m.params.size()))), Invalid)
        << member;
  }
  // An object kept between calls (a session) has an error state to read.
  TOVRHandleMigProf kept;
  Call(app_, alice_, MakeCall("ValidateDerivation", {Integer{7}, Integer{1}}), &kept);
  EXPECT_EQ(Call(app_, alice_, MakeCall("ErrorNumber", {}), &kept).result,
            Variant(failed.error_number));
}

TEST(ChangedTable, NamesTheTableAStatementChanges) {
  const std::pair<const char*, const char*> cases[] = {
      {"insert into qzmap120 (mprf) values (1)", "qzmap120"},
      {"INSERT qzmap120 values (1)", "qzmap120"},
      {"  /* c */ UPDATE [dbo].[QZLIB100] SET stat = 'X'", "qzlib100"},
      {"delete qzmap140 where mprf = 1", "qzmap140"},
      {"DELETE FROM dbo.qzmap101 WHERE mprf = 1", "qzmap101"},
      {"update \"qzmap100\" set dsca = 'a'", "qzmap100"},
      {"select * from qzmap120", ""},
      {"create table t (a int)", ""},
  };
  for (const auto& [sql, table] : cases) EXPECT_EQ(ado::detail::ChangedTable(sql), table) << sql;
}

TEST_F(MembersTest, ChangesInsideATransactionCountOnlyWhenCommitted) {
  ado::ScopedChangeCount count;
  for (bool commit : {false, true}) {
    auto connection = db_.Connect();
    connection->BeginTrans();
    connection->Execute("delete from qzmap140 where mprf = 110");
    commit ? connection->CommitTrans() : connection->RollbackTrans();
  }
  {
    auto abandoned = db_.Connect();
    abandoned->BeginTrans();
    abandoned->Execute("delete from qzmap120 where mprf = 100");
  }  // released with its transaction open: rolled back
  ASSERT_EQ(count.rows().size(), 1u);
  EXPECT_GT(count.rows().at("qzmap140"), 0);
}

}  // namespace
}  // namespace migprof::app
