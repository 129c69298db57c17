// A profile moved between the embedded database and a server: exported from
// one, imported into the other and exported there again, the documents are
// the same byte for byte, in both directions. Runs when MIGPROF_TEST_DSN
// names a server.
#include <gtest/gtest.h>

#include <filesystem>

#include "insight_fixture.h"
#include "migprof/schema.h"

namespace migprof::testing {
namespace {

// A fresh embedded database file beside a server's TestDatabase.
class EmbeddedFile {
 public:
  explicit EmbeddedFile(const char* name)
      : path_((std::filesystem::temp_directory_path() /
               ("migprof_round_trip_" + std::to_string(::getpid()) + "_" + name + ".db"))
                  .string()) {
    Remove();
    schema::CreateEmbeddedDatabase(path_);
  }
  ~EmbeddedFile() { Remove(); }
  insight::DataSource source() const { return {"sqlite:" + path_, "", ""}; }

 private:
  void Remove() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(path_ + suffix, ignored);
  }
  std::string path_;
};

void FillWithDemoEstate(const insight::DataSource& source) {
  TOVRHandleMigProf object;
  object.DatabaseName(source.name);
  object.DatabaseUser(source.user);
  object.DatabasePassword(source.password);
  cli::PopulateDemoEstate(object);
}

// Exports every demo profile from `from` (parents first), imports each into
// `to` and exports it there again.
void ExpectSameDocumentsAfterTheMove(const insight::DataSource& from,
                                     const insight::DataSource& to) {
  for (const cli::DemoProfile& p : cli::DemoProfiles()) {
    SCOPED_TRACE(p.mprf);
    const std::string document = insight::ExportProfile(from, p.mprf);
    EXPECT_EQ(insight::ImportProfile(to, document)["mprf"], p.mprf);
    EXPECT_EQ(insight::ExportProfile(to, p.mprf), document);
  }
}

class RoundTripAcrossDatabasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (server_.embedded()) GTEST_SKIP() << "needs a server: set MIGPROF_TEST_DSN";
  }
  insight::DataSource server() const { return {server_.dsn(), server_.uid(), server_.pwd()}; }

  TestDatabase server_;  // emptied
};

TEST_F(RoundTripAcrossDatabasesTest, EmbeddedToServerAndBack) {
  EmbeddedFile origin("origin");
  FillWithDemoEstate(origin.source());
  ExpectSameDocumentsAfterTheMove(origin.source(), server());
}

TEST_F(RoundTripAcrossDatabasesTest, ServerToEmbeddedAndBack) {
  FillWithDemoEstate(server());
  EmbeddedFile destination("destination");
  ExpectSameDocumentsAfterTheMove(server(), destination.source());
}

}  // namespace
}  // namespace migprof::testing
