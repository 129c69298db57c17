// CopyToCurrentVRC on target tables whose txtn column has a default: a Null
// source txtn is not written, so the default applies. The traces in
// tests/golden pin the copy itself; changing a column's default needs each
// server's own statements, so this case lives here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

const char* const kTxtnTables[] = {"qzmap120", "qzmap130", "qzmap140"};

class MapRuleCopyTxtnDefault : public ComponentTest {
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
  const std::string key = "'SV', 'SR', 'SC', 'xy', 'uvw', '1'";
  db_.Exec("insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'A')");
  db_.Exec("insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', 'B')");
  db_.Exec(
      "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('B', 'xy', 'uvw', "
      "'1', 'f', 0)");
  for (const char* txtn : {"NULL", "'T'"}) {
    const std::string columns = "(mprf, vers, rele, cust, tcpac, tcmod, tflno, txtn, ";
    const std::string values = ") values (1, " + key + ", " + txtn + ", ";
    db_.Exec("insert into qzmap120 " + columns + "prtx" + values + "'p')");
    db_.Exec("insert into qzmap130 " + columns + "scpac, scmod, sflno, icod" + values +
             "'a', 'b', 'c', 'i')");
  }
  db_.Exec(
      "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum) values "
      "(1, " +
      key + ", 'f', 1)");

  ASSERT_EQ(object_.CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "1", "u", Variant(), "",
                                     kFalse),
            kTrue)
      << object_.ErrDescription();
  for (const std::string table : kTxtnTables) {
    Table expected = table == "qzmap140" ? Table{{"dflt"}} : Table{{"dflt"}, {"T"}};
    EXPECT_EQ(db_.Rows("select txtn from " + table + " where mprf = 2 order by txtn"), expected)
        << table;
  }
}

}  // namespace
}  // namespace migprof::testing
