// A copy whose server was killed: its row in the job table stops moving,
// and whichever server reads it next records it as failed.
#include <ctime>

#include "served_estate.h"

namespace migprof::testing {
namespace {

using LostJob = ServedEstate;

TEST_F(LostJob, SilentRunningCopiesReadAsFailedWithTheirReason) {
  const long long now = static_cast<long long>(std::time(nullptr));
  const struct {
    const char* id;
    long long silent;  // seconds since the last progress
    const char* state;
  } cases[] = {
      {"0000000000000000000000000000000a", 600, "failed"},
      {"0000000000000000000000000000000b", app::JobRunner::kJobSilence + 2, "failed"},
      {"0000000000000000000000000000000c", 1, "running"},
  };
  app::Db db(settings_);
  db.Execute("delete from mpweb_job");
  for (const auto& c : cases) {
    db.Execute(std::string("insert into mpweb_job (jobi, usrn, smpr, umpr, vrc, tabs, stat, done, "
                           "totl, errn, errd, updt) values ('") +
               c.id + "', 'mona', 1, 2, '1_0_0', 'T1', 'running', 876, 2000, '', '', " +
               std::to_string(now - c.silent) + ")");
  }
  // The page of a lost copy says why it ended; the record says so for every
  // server on the database.
  httplib::Result page =
      Client().Get(std::string("/jobs/") + cases[1].id, {{"Cookie", "mpsid=" + cookies_["mona"]}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("stopped sending progress"), std::string::npos);
  EXPECT_EQ(page->body.find("error 0"), std::string::npos);
  for (const auto& c : cases) {
    std::optional<app::JobRecord> job = app_->jobs.Find(c.id, "mona");
    ASSERT_TRUE(job) << c.id;
    EXPECT_EQ(job->state, c.state) << c.id;
    EXPECT_EQ(job->done, 876) << c.id;
    EXPECT_EQ(job->error_description,
              std::string(c.state) == "failed" ? app::JobRunner::kLostText : "")
        << c.id;
  }
  db.Execute("delete from mpweb_job");
}

}  // namespace
}  // namespace migprof::testing
