// The rows an outcome reports are the rows whose values changed, on either
// database: an UPDATE that writes a row's own values back changes nothing.
#include <gtest/gtest.h>

#include "app/demo_estate.h"
#include "app/members.h"
#include "app/tables.h"
#include "testing/test_database.h"
#include "wire/member_json.h"

namespace migprof::app {
namespace {

class ChangedRowsTest : public testing::ComponentTest {
 protected:
  void SetUp() override {
    PopulateDemoEstate(object_);
    EnsureTables(app_.db());
  }
  Application app_{Settings{DataSource{db_.dsn(), db_.uid(), db_.pwd()}}};
  const Principal alice_{"alice", Role::kMaintainer, EntryPoint::kApi};
};

TEST_F(ChangedRowsTest, AnUpdateCountsOnlyTheRowsItGaveNewValues) {
  // Profile 120's table rule "or sls 400" starts untouched ("N").
  const struct {
    bool expire;
    long long rows;  // of qzmap120 in the outcome
  } steps[] = {{true, 1}, {true, 0}, {false, 1}, {false, 0}};
  for (const auto& step : steps) {
    MemberOutcome outcome =
        Call(app_, alice_,
             MakeCall("ExpireMapRules", {Integer{120}, "V10U", "R1", "ACMENL", "or", "sls", "400",
                                         "", kFalse, step.expire ? kTrue : kFalse}));
    ASSERT_TRUE(outcome.Succeeded()) << outcome.FailureText();
    const auto found = outcome.rows.find("qzmap120");
    EXPECT_EQ(found == outcome.rows.end() ? 0 : found->second, step.rows)
        << (step.expire ? "expire" : "reinstate");
    // The tool and the API answer this form: no table when nothing changed.
    EXPECT_EQ(wire::OutcomeJson(outcome)["rows"].size(), step.rows == 0 ? 0u : 1u);
  }
}

TEST_F(ChangedRowsTest, ARowWrittenThroughARecordsetCountsWhenItsValuesChange) {
  auto connection = db_.Connect();
  for (const auto& [stat, rows] : {std::pair<const char*, long long>{"N", 0}, {"X", 1}}) {
    ado::ScopedChangeCount count;
    auto rs = ado::Recordset::Create();
    rs->Open(
        "select stat from qzmap120 where mprf = 120 and tcpac = 'or' and tcmod = 'sls' and "
        "tflno = '400'",
        connection, ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    ASSERT_FALSE(rs->EndOfFile());
    rs->Fields().Item(String("stat")).Value(Variant(String(stat)));
    rs->Update();
    rs->Close();
    EXPECT_EQ(count.rows().count("qzmap120") ? count.rows().at("qzmap120") : 0, rows) << stat;
  }
}

}  // namespace
}  // namespace migprof::app
