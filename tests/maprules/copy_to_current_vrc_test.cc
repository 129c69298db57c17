// CopyToCurrentVRC on target tables whose txtn column has a default: a Null
// source txtn is not written, so the default applies. The traces in
// tests/golden pin the copy itself; changing a column's default needs each
// server's own statements, so this case lives here.
#include <gtest/gtest.h>

#include <string>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

const char* const kTxtnTables[] = {"qzmap120", "qzmap130", "qzmap140"};

class MapRuleCopyTxtnDefault : public MapRuleTest {
 protected:
  void SetUp() override {
    for (const std::string table : kTxtnTables) {
      if (!db_.embedded()) {
        db_.Exec("alter table " + table + " alter column txtn set default 'dflt'");
        continue;
      }
      // The embedded database cannot add a default to a column: the table
      // is made again with one.
      std::string create = db_.Value("select sql from sqlite_master where name = '" + table + "'");
      const std::string column = "txtn TEXT COLLATE SQLSERVER";
      ASSERT_NE(create.find(column), std::string::npos) << create;
      create.insert(create.find(column) + column.size(), " DEFAULT 'dflt'");
      db_.Exec("drop table " + table);
      db_.Exec(create);
    }
  }
  // A server's tables are shared with later tests.
  void TearDown() override {
    if (db_.embedded()) return;
    for (const std::string table : kTxtnTables) {
      db_.Exec("alter table " + table + " alter column txtn drop default");
    }
  }
};

TEST_F(MapRuleCopyTxtnDefault, NullTxtnIsNotWrittenSoTheDefaultApplies) {
  AddProfiles();
  AddField("xy", "uvw", "1", "f", 0);
  for (const char* txtn : {"NULL", "'T'"}) {
    AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "1", "txtn, prtx", std::string(txtn) + ", 'p'");
    AddKeyed("qzmap130", 1, "SV", "xy", "uvw", "1", "txtn, scpac, scmod, sflno, icod",
             std::string(txtn) + ", 'a', 'b', 'c', 'i'");
  }
  AddKeyed("qzmap140", 1, "SV", "xy", "uvw", "1", "fdnm, dnum", "'f', 1");

  ASSERT_EQ(Copy("xy", "uvw", "1"), kTrue) << object_.ErrDescription();
  for (const std::string table : kTxtnTables) {
    Table expected = table == "qzmap140" ? Table{{"dflt"}} : Table{{"dflt"}, {"T"}};
    EXPECT_EQ(db_.Rows("select txtn from " + table + " where mprf = 2 order by txtn"), expected)
        << table;
  }
}

}  // namespace
}  // namespace migprof::testing
