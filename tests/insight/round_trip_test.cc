// A profile moved between the embedded database and a server: exported from
// one, imported into the other and exported there again, the documents are
// the same byte for byte, in both directions. Runs when MIGPROF_TEST_DSN
// names a server.
#include <gtest/gtest.h>

#include "cli/run_cli.h"
#include "insight_fixture.h"
#include "migprof/schema.h"

namespace migprof::testing {
namespace {

TEST(RoundTripAcrossDatabases, EmbeddedToServerAndServerToEmbedded) {
  for (const bool from_server : {false, true}) {
    SCOPED_TRACE(from_server ? "server to embedded" : "embedded to server");
    TestDatabase server;  // emptied
    if (server.embedded()) GTEST_SKIP() << "needs a server: set MIGPROF_TEST_DSN";
    TempPath file("migprof_round_trip");
    schema::CreateEmbeddedDatabase(file.path);
    const insight::DataSource embedded{"sqlite:" + file.path, "", ""};
    const insight::DataSource remote{server.dsn(), server.uid(), server.pwd()};
    const insight::DataSource& from = from_server ? remote : embedded;
    const insight::DataSource& to = from_server ? embedded : remote;
    TOVRHandleMigProf object;
    object.DatabaseName(from.name);
    object.DatabaseUser(from.user);
    object.DatabasePassword(from.password);
    app::PopulateDemoEstate(object);
    // Every demo profile, parents first.
    for (const app::DemoProfile& p : app::DemoProfiles()) {
      SCOPED_TRACE(p.mprf);
      const std::string document = insight::ExportProfile(from, p.mprf);
      EXPECT_EQ(insight::ImportProfile(to, document).mprf, p.mprf);
      EXPECT_EQ(insight::ExportProfile(to, p.mprf), document);
    }
  }
}

}  // namespace
}  // namespace migprof::testing
