#include "web/store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "schema/schema.h"
#include "web/tokens.h"

namespace migprof::web {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("mpweb_store_" + NewToken().substr(0, 12) + ".db");
    schema::CreateEmbeddedDatabase(path_.string());
    db_ = std::make_unique<Db>(DbSettings{"sqlite:" + path_.string(), "", ""});
    EnsureWebTables(*db_);
    store_ = std::make_unique<Store>(*db_);
  }
  void TearDown() override {
    store_.reset();
    db_.reset();
    std::filesystem::remove(path_);
  }

  std::filesystem::path path_;
  std::unique_ptr<Db> db_;
  std::unique_ptr<Store> store_;
};

TEST_F(StoreTest, AccountsAddReplaceAndRemoveWithTheirSessions) {
  EXPECT_FALSE(store_->HasUsers());
  store_->AddUser("alice", "hash-1");
  EnsureWebTables(*db_);  // again, on tables that exist and hold rows
  store_->AddUser("alice", "hash-2");
  store_->AddUser("o'brien", "hash-3");
  EXPECT_EQ(store_->PasswordHash("alice"), "hash-2");
  EXPECT_EQ(store_->PasswordHash("o'brien"), "hash-3");
  EXPECT_EQ(store_->PasswordHash("ALICE"), std::nullopt) << "names are exact";
  const std::string id = store_->NewSession("alice");
  EXPECT_TRUE(store_->RemoveUser("alice"));
  EXPECT_FALSE(store_->RemoveUser("alice"));
  EXPECT_EQ(store_->PasswordHash("alice"), std::nullopt);
  EXPECT_FALSE(store_->FindSession(id)) << "removing an account ends its sessions";
}

TEST_F(StoreTest, SessionsAreStoredHashedAndEndOnSignOut) {
  const std::string id = store_->NewSession("alice");
  std::optional<SessionRecord> session = store_->FindSession(id);
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
  EXPECT_TRUE(store_->FindSession(store_->NewSession("bob")));
}

TEST_F(StoreTest, UnknownMalformedAndExpiredSessionsAreRefused) {
  const std::string id = store_->NewSession("alice");
  EXPECT_FALSE(store_->FindSession(""));
  EXPECT_FALSE(store_->FindSession(NewToken()));
  EXPECT_FALSE(store_->FindSession(HashToken(id))) << "the stored hash is not a key";
  db_->Execute("update mpweb_session set expi = 1");
  EXPECT_FALSE(store_->FindSession(id));
  EXPECT_EQ(db_->QueryNumber("select count(*) from mpweb_session"), 0) << "expired row removed";
}

TEST_F(StoreTest, JobsKeepProgressAndOutcomeForTheirUserOnly) {
  JobRecord job;
  job.user = "alice";
  job.source = 12;
  job.target = -5;
  job.vrc = "1_0_C";
  job.tables = "xyuvw123,xyuvw124";
  job.total = 40;
  const std::string id = store_->NewJob(job);
  store_->JobProgress(id, 17);
  std::optional<JobRecord> running = store_->FindJob(id, "alice");
  ASSERT_TRUE(running);
  EXPECT_EQ(std::tie(running->state, running->done, running->target, running->tables),
            std::make_tuple("running", 17, job.target, job.tables));
  EXPECT_FALSE(store_->FindJob(id, "bob"));
  EXPECT_LE(running->seconds_since_update, 1);
  db_->Execute("update mpweb_job set updt = updt - 100");
  EXPECT_GE(store_->FindJob(id, "alice")->seconds_since_update, 100);
  store_->FinishJob(id, "failed", "110", "Domains <B>x</B> missing", 30);
  std::optional<JobRecord> finished = store_->FindJob(id, "alice");
  ASSERT_TRUE(finished);
  EXPECT_EQ(std::tie(finished->state, finished->error_number, finished->error_description,
                     finished->done),
            std::make_tuple("failed", "110", "Domains <B>x</B> missing", 30));
}

}  // namespace
}  // namespace migprof::web
