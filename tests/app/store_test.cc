// The front end's own tables (accounts, sessions, jobs) and its reads of the
// component's tables, each test on an embedded database of its own; the
// tokens and password hashes they keep.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/accounts.h"
#include "app/activity.h"
#include "app/errors.h"
#include "app/reads.h"
#include "app/secrets.h"
#include "app/tables.h"
#include "migprof/ado.h"
#include "schema/schema.h"

namespace migprof::app {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("mpweb_" + NewToken().substr(0, 12) + ".db");
    schema::CreateEmbeddedDatabase(path_.string());
    db_ = std::make_unique<Db>(Settings{DataSource{"sqlite:" + path_.string(), "", ""}});
    EnsureTables(*db_);
    store_ = std::make_unique<Accounts>(*db_);
  }
  void TearDown() override {
    store_.reset();
    db_.reset();
    ado::CloseIdleConnections();
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
      std::filesystem::remove(path_.string() + suffix, ignored);
    }
  }

  std::filesystem::path path_;
  std::unique_ptr<Db> db_;
  std::unique_ptr<Accounts> store_;
};

TEST_F(StoreTest, AccountsHaveRolesAndGoWithTheirSessionsAndTokens) {
  EXPECT_FALSE(store_->Any());
  // The first account is an administrator whatever was asked.
  EXPECT_EQ(store_->Add("alice", "hash-1", Role::kViewer), Role::kAdministrator);
  EnsureTables(*db_);  // again, on tables that exist and hold rows
  EXPECT_EQ(store_->Add("o'brien", "hash-3", Role::kViewer), Role::kViewer);
  EXPECT_THROW(store_->Add("alice", "hash-2", Role::kMaintainer), Invalid) << "names are unique";
  EXPECT_THROW(store_->Add("", "hash", Role::kMaintainer), Invalid);
  EXPECT_THROW(store_->Add(std::string(65, 'x'), "hash", Role::kMaintainer), Invalid);
  EXPECT_TRUE(store_->SetPasswordHash("alice", "hash-2"));
  EXPECT_EQ(store_->PasswordHash("alice"), "hash-2");
  EXPECT_EQ(store_->PasswordHash("ALICE"), std::nullopt) << "names are exact";
  EXPECT_TRUE(store_->SetRole("o'brien", Role::kMaintainer));
  EXPECT_EQ(store_->Find("o'brien")->role, Role::kMaintainer);
  EXPECT_EQ(store_->Administrators(), 1);

  const std::string id = store_->NewSession("o'brien");
  const auto [token_id, token] = store_->NewToken("o'brien");
  EXPECT_EQ(store_->TokenUser(token), "o'brien");
  EXPECT_EQ(store_->Find("o'brien")->sessions, 1);
  EXPECT_EQ(store_->Find("o'brien")->tokens, 1);
  // Disabling ends the sessions; the token stays, refused by its account.
  EXPECT_TRUE(store_->SetDisabled("o'brien", true));
  EXPECT_FALSE(store_->FindSession(id));
  EXPECT_TRUE(store_->Find("o'brien")->disabled);
  EXPECT_TRUE(store_->TokenUser(token));
  EXPECT_TRUE(store_->Remove("o'brien"));
  EXPECT_FALSE(store_->Remove("o'brien"));
  EXPECT_FALSE(store_->TokenUser(token)) << "removing an account revokes its tokens";
  EXPECT_EQ(store_->List().size(), 1u);
}

TEST_F(StoreTest, AnOlderFileGetsRolesAndItsAccountsStayAdministrators) {
  db_->Execute("drop table mpweb_user");
  db_->Execute(
      "create table mpweb_user (usrn varchar(64) not null primary key, pwhs varchar(255))");
  db_->Execute("insert into mpweb_user (usrn, pwhs) values ('old', 'h')");
  // Copies of an older file have no rows per table.
  db_->Execute("drop table mpweb_job");
  db_->Execute("create table mpweb_job (jobi varchar(64) not null primary key)");
  db_->Execute("insert into mpweb_job (jobi) values ('j1')");
  EnsureTables(*db_);
  std::optional<Account> old = store_->Find("old");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->role, Role::kAdministrator);
  EXPECT_FALSE(old->disabled);
  EXPECT_EQ(db_->QueryOne("select chgs from mpweb_job where jobi = 'j1'")->at(0), "");
}

TEST(ActivityForms, ArgumentsAndRowCountsSurviveTheirStoredForm) {
  const Arguments arguments{{"i_StrDesc", "two\nlines \\n"}, {"empty", ""}, {"eq", "a=b"}};
  EXPECT_EQ(DecodeArguments(EncodeArguments(arguments)), arguments);
  const RowCounts rows{{"qzmap120", 1}, {"qzmap140", 12}};
  EXPECT_EQ(DecodeRowCounts(EncodeRowCounts(rows)), rows);
  EXPECT_EQ(DecodeRowCounts("qzmap120=x,qzmap140=3,broken"), (RowCounts{{"qzmap140", 3}}));
}

TEST_F(StoreTest, ActivityIsFilteredPagedNewestFirstAndPruned) {
  ActivityLog log(*db_);
  const long long day = 24 * 3600, now = static_cast<long long>(std::time(nullptr));
  struct Entry {
    long long when;
    const char* user;
    std::optional<Integer> mprf;
  };
  const Entry entries[] = {{now - 40 * day, "alice", 100},
                           {now - 2 * day, "bob", 110},
                           {now - day, "alice", 110},
                           {now, "alice", std::nullopt}};
  for (const Entry& e : entries) {
    ActivityEntry entry;
    entry.when = e.when;
    entry.user = e.user;
    entry.entry = EntryPoint::kApi;
    entry.operation = "DeleteMap100";
    entry.mprf = e.mprf;
    entry.outcome = Outcome::kRefused;
    entry.message = "it's a parent";
    entry.rows = {{"qzmap101", 2}};
    log.Record(entry);
  }
  EXPECT_EQ(log.Count({}), 4);
  EXPECT_EQ(log.Count({Integer{110}, "", std::nullopt, std::nullopt}), 2);
  EXPECT_EQ(log.Count({std::nullopt, "alice", now - 3 * day, std::nullopt}), 2);
  EXPECT_EQ(log.Count({std::nullopt, "", std::nullopt, now - day}), 2);
  std::vector<ActivityEntry> page = log.List({}, 1, 2);
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[0].when, now - day) << "newest first";
  EXPECT_EQ(page[0].message, "it's a parent");
  EXPECT_EQ(page[0].outcome, Outcome::kRefused);
  EXPECT_EQ(page[0].TotalRows(), 2);
  EXPECT_EQ(page[1].entry, EntryPoint::kApi);
  EXPECT_EQ(log.Prune(30), 1);
  EXPECT_EQ(log.Count({}), 3);
}

TEST_F(StoreTest, SessionsAreStoredHashedEndOnSignOutAndExpire) {
  const std::string id = store_->NewSession("alice");
  std::optional<SessionRecord> session = store_->FindSession(id);
  EXPECT_EQ(store_->EndSessions("nobody"), 0);
  ASSERT_TRUE(session);
  EXPECT_EQ(session->user, "alice");
  EXPECT_EQ(session->csrf.size(), 64u);
  // Only the hash is in the table: the cookie's id itself is nowhere.
  EXPECT_EQ(db_->QueryNumber("select count(*) from mpweb_session where sidh = '" + id + "'"), 0);
  EXPECT_EQ(
      db_->QueryNumber("select count(*) from mpweb_session where sidh = '" + HashToken(id) + "'"),
      1);
  // Another session of the same user has its own CSRF token.
  std::optional<SessionRecord> other = store_->FindSession(store_->NewSession("alice"));
  ASSERT_TRUE(other);
  EXPECT_NE(other->csrf, session->csrf);

  // The flash is read once.
  store_->SetFlash(session->id_hash, "Profile 14 created");
  EXPECT_EQ(store_->TakeFlash(*store_->FindSession(id)), "Profile 14 created");
  EXPECT_EQ(store_->TakeFlash(*store_->FindSession(id)), "");

  store_->EndSession(session->id_hash);
  EXPECT_FALSE(store_->FindSession(id));
  // Unknown, malformed and expired sessions are refused; an expired row goes.
  const std::string live = store_->NewSession("bob");
  EXPECT_TRUE(store_->FindSession(live));
  EXPECT_FALSE(store_->FindSession(""));
  EXPECT_FALSE(store_->FindSession(NewToken()));
  EXPECT_FALSE(store_->FindSession(HashToken(live))) << "the stored hash is not a key";
  db_->Execute("update mpweb_session set expi = 1");
  EXPECT_FALSE(store_->FindSession(live));
  EXPECT_EQ(
      db_->QueryNumber("select count(*) from mpweb_session where sidh = '" + HashToken(live) + "'"),
      0)
      << "the expired row is removed";
}

class ReadsTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    for (const char* app : {"'A1', 1", "'A2', 1", "'A3', 1"}) {
      db_->Execute(std::string("insert into qzddi100 (appl, extn) values (") + app + ")");
    }
    TOVRHandleMigProf object;
    ApplyTo(db_->source(), object);
    // 10 standard, 11 derived from it (under revision control), 20 bob's.
    ASSERT_TRUE(
        object
            .InsertInMap100(10, "Customer's master", "A1", "A2", "1", "0", "C", "__", "N", "app",
                            "alice")
            .IsTrue() &&
        object
            .InsertInMap100(11, "Derived", "A1", "A2", "1U", "0", "D", "1_0_C", "Y", "app", "alice",
                            "9", "9", "9")
            .IsTrue() &&
        object.InsertInMap100(20, "Other", "A2", "A3", "2", "0", "C", "__", "N", "app", "bob")
            .IsTrue())
        << object.ErrDescription();
  }

  void AddTableRule(Integer mprf, const Vrc& vrc, const std::string& code, int fields) {
    const TableKey key = *ParseTableCode(code);
    const std::string key_columns = "(mprf, vers, rele, cust, tcpac, tcmod, tflno, ";
    const std::string head = std::to_string(mprf) + ", '" + vrc.vers + "', '" + vrc.rele + "', '" +
                             vrc.cust + "', '" + key.tcpac + "', '" + key.tcmod + "', '" +
                             key.tflno + "', ";
    db_->Execute("insert into qzmap120 " + key_columns + "stat) values (" + head + "'X')");
    for (int i = 0; i < fields; ++i) {
      db_->Execute("insert into qzmap140 " + key_columns + "fdnm, dnum) values (" + head + "'F" +
                   std::to_string(i) + "', 0)");
    }
  }
};

TEST_F(ReadsTest, ProfilesCarryTheirParentAndMatchTheSearch) {
  std::vector<ProfileSummary> all = ListProfiles(*db_, "");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].parent, std::nullopt);
  EXPECT_EQ(all[1].parent, Integer{10});
  EXPECT_EQ(all[1].depth, 2);
  EXPECT_EQ(all[1].parent_vrc.Text(), "1_0_C");
  struct {
    const char* search;
    std::vector<Integer> found;
  } cases[] = {{"Deriv", {11}}, {"2", {20}}, {"1", {10, 11}}, {"'s", {10}}, {"none", {}}};
  for (const auto& c : cases) {
    std::vector<Integer> found;
    for (const ProfileSummary& p : ListProfiles(*db_, c.search)) found.push_back(p.mprf);
    EXPECT_EQ(found, c.found) << c.search;
  }
}

TEST_F(ReadsTest, ProfileLookups) {
  EXPECT_EQ(ProfileOwner(*db_, 11), "alice");
  EXPECT_EQ(ProfileOwner(*db_, 20), "bob");
  EXPECT_EQ(ProfileOwner(*db_, 99), std::nullopt);
  EXPECT_EQ(FindProfileByVrc(*db_, Vrc{"1U", "0", "D"}), Integer{11});
  EXPECT_EQ(FindProfileByVrc(*db_, Vrc{"1", "0", "X"}), std::nullopt);
  EXPECT_EQ(FindProfile(*db_, 99), std::nullopt);
  EXPECT_EQ(DevelopmentVrc(*db_, 11), (Vrc{"9", "9", "9"}));
  EXPECT_EQ(DevelopmentVrc(*db_, 10), std::nullopt);
  std::vector<Level> levels = DerivationLevels(*db_, 11);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[1].profile, "10");
}

TEST_F(ReadsTest, RuleListsArePagedAndCounted) {
  const Vrc own{"1", "0", "C"};
  for (int i = 0; i < 7; ++i) AddTableRule(10, own, "xyuvw" + std::to_string(100 + i), i);
  AddTableRule(10, Vrc{"9", "9", "9"}, "xyuvw200", 1);
  EXPECT_EQ(CountTableRules(*db_, 10, own), 7);
  std::vector<TableRuleSummary> page = ListTableRules(*db_, 10, own, 2, 3);
  ASSERT_EQ(page.size(), 3u);
  EXPECT_EQ(page[0].key.Code(), "xyuvw102");
  EXPECT_EQ(page[0].fields, 2);
  EXPECT_EQ(page[0].status, "X");
  EXPECT_EQ(ListTableRules(*db_, 10, own, 6, 3).size(), 1u);
  EXPECT_EQ(FieldRules(*db_, 10, own, page[2].key, 1, 2).size(), 2u);

  const ProfileSummary profile = *FindProfile(*db_, 10);
  EXPECT_EQ(ProfileVrcs(*db_, profile), (std::vector<Vrc>{own, Vrc{"9", "9", "9"}}));

  std::vector<CopyCount> compare =
      CompareCopy(*db_, 10, 20, Vrc{"2", "0", "C"}, {*ParseTableCode("xyuvw104")});
  ASSERT_EQ(compare.size(), 1u);
  EXPECT_EQ(compare[0].source[2], 4);
  EXPECT_EQ(compare[0].target[2], 0);
}

// A table search matches a code typed either way from its start; the
// choosers' reads page, count and find what a form offers.
TEST_F(ReadsTest, TableSearchPickersAndDerivedProfiles) {
  const Vrc own{"1", "0", "C"};
  for (const char* code : {"oritm001", "oritm002", "oritm100", "orsls400", "tcibd001"}) {
    AddTableRule(10, own, code, 0);
  }
  struct {
    const char* search;
    std::vector<std::string> found;
  } cases[] = {{"", {"oritm001", "oritm002", "oritm100", "orsls400", "tcibd001"}},
               {"or", {"oritm001", "oritm002", "oritm100", "orsls400"}},
               {"o", {"oritm001", "oritm002", "oritm100", "orsls400"}},
               {"or itm", {"oritm001", "oritm002", "oritm100"}},
               {"oritm0", {"oritm001", "oritm002"}},
               {" or itm 001 ", {"oritm001"}},
               {"ori", {"oritm001", "oritm002", "oritm100"}},
               {"xx", {}},
               {"'", {}}};
  for (const auto& c : cases) {
    std::vector<std::string> found;
    for (const TableRuleSummary& r : ListTableRules(*db_, 10, own, c.search, 0, 50)) {
      found.push_back(r.key.Code());
    }
    EXPECT_EQ(found, c.found) << c.search;
    EXPECT_EQ(CountTableRules(*db_, 10, own, c.search), static_cast<long long>(c.found.size()))
        << c.search;
  }
  EXPECT_EQ(ListTableRules(*db_, 10, own, "or", 1, 2).front().key.Code(), "oritm002");

  const std::vector<TableKey> asked = {*ParseTableCode("oritm002"), *ParseTableCode("xxabc001"),
                                       *ParseTableCode("tc ibd 001")};
  EXPECT_EQ(TablesPresent(*db_, 10, own, asked),
            (std::vector<TableKey>{*ParseTableCode("oritm002"), *ParseTableCode("tcibd001")}));
  EXPECT_TRUE(TablesPresent(*db_, 20, Vrc{"2", "0", "C"}, asked).empty());

  EXPECT_EQ(CountProfiles(*db_, ""), 3);
  EXPECT_EQ(CountProfiles(*db_, "1"), 2);
  std::vector<ProfileSummary> page = ListProfiles(*db_, "", 1, 1);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0].mprf, 11);

  EXPECT_EQ(CountDerivedProfiles(*db_, own), 1);
  EXPECT_EQ(CountDerivedProfiles(*db_, Vrc{"2", "0", "C"}), 0);
  // The same page with its count in one statement, also past its end.
  struct {
    Vrc parent;
    long offset;
    std::vector<Integer> found;
    long long total;
  } pages[] = {{own, 0, {11}, 1}, {own, 1, {}, 1}, {Vrc{"2", "0", "C"}, 0, {}, 0}};
  for (const auto& c : pages) {
    const ProfilePage page = DerivedProfilePage(*db_, c.parent, c.offset, 10);
    std::vector<Integer> found;
    for (const ProfileSummary& p : page.profiles) found.push_back(p.mprf);
    EXPECT_EQ(found, c.found) << c.parent.Text() << " from " << c.offset;
    EXPECT_EQ(page.total, c.total) << c.parent.Text() << " from " << c.offset;
  }
  EXPECT_EQ(DerivedProfilePage(*db_, own, 0, 10).profiles.at(0).parent, Integer{10});
}

// The tree's roots: the standard profiles a page at a time, with the count
// of all of them, also on a page past the last one.
TEST_F(ReadsTest, StandardProfilesArePagedWithTheirCount) {
  TOVRHandleMigProf object;
  ApplyTo(db_->source(), object);
  // Each standard profile has an application pair of its own.
  for (const auto& [mprf, sapp, tapp] :
       {std::tuple<Integer, const char*, const char*>{40, "A1", "A3"}, {30, "A3", "A1"}}) {
    ASSERT_TRUE(object
                    .InsertInMap100(mprf, "More", sapp, tapp, std::to_string(mprf), "0", "C", "__",
                                    "N", "app", "alice")
                    .IsTrue())
        << object.ErrDescription();
  }
  struct {
    long offset, count;
    std::vector<Integer> found;
  } cases[] = {{0, 2, {10, 20}},          {2, 2, {30, 40}}, {3, 10, {40}},
               {0, 10, {10, 20, 30, 40}}, {4, 2, {}},       {10, 2, {}}};
  for (const auto& c : cases) {
    const ProfilePage page = StandardProfiles(*db_, c.offset, c.count);
    std::vector<Integer> found;
    for (const ProfileSummary& p : page.profiles) {
      found.push_back(p.mprf);
      EXPECT_EQ(p.parent, std::nullopt) << p.mprf;
    }
    EXPECT_EQ(found, c.found) << c.offset;
    EXPECT_EQ(page.total, 4) << c.offset;
  }
  const ProfileSummary first = StandardProfiles(*db_, 0, 1).profiles.at(0);
  EXPECT_EQ(first.description, "Customer's master");
  EXPECT_EQ(first.vrc, (Vrc{"1", "0", "C"}));
}

// The tree's "Your profiles": the profiles GetUserOwnerProfiles lists, in
// its order, read a few at a time with the count of all of them.
TEST_F(ReadsTest, OwnedProfilesAreWhatTheMemberListsAPageAtATime) {
  // alice also owns bob's 20; a link to a profile that is gone counts for no
  // one; o'hara's name needs quoting, and his link that is there twice is
  // listed twice.
  db_->Execute("insert into qzusr110 (mprf, usrn) values (20, cast('alice' as varbinary))");
  db_->Execute("insert into qzusr110 (mprf, usrn) values (99, cast('alice' as varbinary))");
  for (int twice = 0; twice < 2; ++twice) {
    db_->Execute("insert into qzusr110 (mprf, usrn) values (10, cast('o''hara' as varbinary))");
  }
  TOVRHandleMigProf object;
  ApplyTo(db_->source(), object);
  for (const char* user : {"alice", "bob", "o'hara", "carol"}) {
    // The member answers "0" for none, else the numbers between tildes.
    const String answer = object.GetUserOwnerProfiles(user);
    std::vector<Integer> listed;
    std::stringstream member(answer == "0" ? "" : answer);
    for (std::string number; std::getline(member, number, '~');)
      listed.push_back(std::stoi(number));
    // Both ways of reading them: an owner of fewer than the count limit,
    // and of as many or more.
    for (const long limit : {50L, 1L}) {
      const ProfilePage all = OwnedProfiles(*db_, user, 50, limit);
      std::vector<Integer> read;
      for (const ProfileSummary& p : all.profiles) read.push_back(p.mprf);
      EXPECT_EQ(read, listed) << user << " " << limit;
      EXPECT_EQ(all.total, std::min<long long>(limit, listed.size())) << user << " " << limit;
    }
  }
  for (const long limit : {50L, 1L}) {
    const ProfilePage first = OwnedProfiles(*db_, "alice", 2, limit);
    ASSERT_EQ(first.profiles.size(), 2u) << limit;
    EXPECT_EQ(first.profiles[0].mprf, 20) << limit;
    EXPECT_EQ(first.profiles[1].mprf, 11) << limit;
    EXPECT_EQ(first.profiles[1].parent, Integer{10}) << limit;
  }
}

TEST(Tokens, AreRandomHexOfFixedLengthWithADistinctHash) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    std::string token = NewToken();
    ASSERT_EQ(token.size(), 64u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(HashToken(token), HashToken(token));
    EXPECT_NE(HashToken(token), token);
    seen.insert(token);
    seen.insert(HashToken(token));
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(Tokens, CsrfComparison) {
  const std::string token = NewToken();
  std::string changed = token;
  changed.back() = changed.back() == 'a' ? 'b' : 'a';
  struct {
    std::string expected, given;
    bool match;
  } cases[] = {
      {token, token, true}, {token, changed, false}, {token, token.substr(1), false},
      {token, "", false},   {"", "", false},  // a session without a token accepts nothing
  };
  for (const auto& c : cases) EXPECT_EQ(TokensEqual(c.expected, c.given), c.match) << c.given;
}

TEST(Passwords, HashVerifiesOnlyTheSamePassword) {
  std::string stored = HashPassword("correct horse");
  EXPECT_NE(stored.find("$argon2"), std::string::npos);
  EXPECT_TRUE(PasswordMatches(stored, "correct horse"));
  EXPECT_FALSE(PasswordMatches(stored, "correct horsE"));
  EXPECT_FALSE(PasswordMatches(stored, ""));
  EXPECT_NE(HashPassword("correct horse"), stored);  // salted
}

}  // namespace
}  // namespace migprof::app
