#include <gtest/gtest.h>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

const char* const kRuleTables[] = {"qzmap110", "qzmap120", "qzmap125", "qzmap130",
                                   "qzmap135", "qzmap140", "qzmap145", "qzmap160",
                                   "qzmap165", "qzmap170", "qzmap175"};

// Every rule table holds, for profile 3 in VRC UV/UR/UC, rows of tables
// xy/uvw/123 (two of them alike) and xy/uvw/124, and decoys: table 999, VRC
// OV, profile 4.
class MapRuleDelete : public MapRuleTest {
 protected:
  void SetUp() override {
    for (const char* table : kRuleTables) {
      for (const char* flno : {"123", "123", "124", "999"})
        AddKeyed(table, 3, "UV", "xy", "uvw", flno);
      AddKeyed(table, 3, "OV", "xy", "uvw", "123");
      AddKeyed(table, 4, "UV", "xy", "uvw", "123");
    }
    // A recorded failure that the deletions must leave alone.
    Insert("qzmap100", "mprf, vers", "9, NULL");
    object_.CopyToCurrentVRC(9, 3, "", "", "", "", "", "", "", Variant(), "", kFalse);
  }

  // For each rule table, in kRuleTables order, which of 123/124/999 rows of
  // profile 3 in UV are left, e.g. "2,1,1" (decoys must always be left).
  Texts Left() {
    Texts out;
    for (const char* table : kRuleTables) {
      std::string key =
          std::string(table) == "qzmap170" || std::string(table) == "qzmap175" ? "bflno" : "tflno";
      std::string counts;
      for (const char* flno : {"123", "124", "999"}) {
        counts +=
            (counts.empty() ? "" : ",") +
            std::to_string(db_.Count(std::string(table) + " where mprf = 3 and vers = 'UV' and " +
                                     key + " = '" + flno + "'"));
      }
      EXPECT_EQ(db_.Count(std::string(table) + " where mprf = 4 or vers = 'OV'"), 2) << table;
      out.push_back(counts);
    }
    return out;
  }

  void ExpectErrorStateUntouched() {
    EXPECT_EQ(object_.ErrorNumber(), errc::kTypeMismatch);
    EXPECT_EQ(object_.ErrDescription(), errtext::kTypeMismatch);
  }
};

std::string Statement(const std::string& head, const char* table, const std::string& filter) {
  return head + " " + table + " where mprf = 3 and vers='UV' and rele='UR' and cust='UC' and" +
         filter;
}

TEST_F(MapRuleDelete, SingleTableEmptiesNineTablesInOrder) {
  ado::StatementLog log;
  object_.DeleteMapRules(3, "UV", "UR", "UC", "xy", "uvw", "123", "xyuvw124", Boolean(1));
  const Texts statements = log.texts();

  EXPECT_EQ(Left(), (Texts{"0,1,1", "0,1,1", "0,1,1", "0,1,1", "0,1,1", "0,1,1", "0,1,1", "0,1,1",
                           "0,1,1", "2,1,1", "2,1,1"}));
  const std::string filter = " tcpac='xy' and tcmod='uvw' and tflno='123'";
  Texts expected;
  for (const char* table :
       {"qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145"}) {
    expected.push_back(Statement("select * from", table, filter));
  }
  for (const char* table : {"qzmap160", "qzmap165", "qzmap110"}) {
    expected.push_back(Statement("delete", table, filter));
  }
  EXPECT_EQ(statements, expected);
  ExpectErrorStateUntouched();
}

TEST_F(MapRuleDelete, ListModeAlsoEmptiesTheTableLinks) {
  ado::StatementLog log;
  object_.DeleteMapRules(3, "UV", "UR", "UC", "zz", "zzz", "0", "xyuvw123,xyuvw124", kTrue);
  const Texts statements = log.texts();

  EXPECT_EQ(Left(), Texts(11, "0,0,1"));
  ASSERT_EQ(statements.size(), 11u);
  EXPECT_EQ(statements[0],
            Statement("delete", "qzmap170",
                      " ((bpac='xy' and bmod='uvw' and bflno='123') or (bpac='xy' and bmod='uvw' "
                      "and bflno='124'))"));
  EXPECT_EQ(statements[1].substr(0, 15), "delete qzmap175");
  EXPECT_EQ(statements[2],
            Statement("select * from", "qzmap120",
                      " ((tcpac='xy' and tcmod='uvw' and tflno='123') or (tcpac='xy' and "
                      "tcmod='uvw' and tflno='124'))"));
}

TEST_F(MapRuleDelete, FailuresAreRaisedAndEarlierDeletionsStay) {
  // An empty list is rejected by the database.
  EXPECT_EQ(RaisedBy([&] {
              object_.DeleteMapRules(3, "UV", "UR", "UC", "xy", "uvw", "123", "", kTrue);
            }).number(),
            errc::kErrorsInCommand);
  EXPECT_EQ(Left(), Texts(11, "2,1,1"));

  db_.Exec("drop table qzmap140");
  EXPECT_THROW(object_.DeleteMapRules(3, "UV", "UR", "UC", "", "", "", "xyuvw123", kTrue),
               ComError);
  for (const char* table :
       {"qzmap170", "qzmap175", "qzmap120", "qzmap125", "qzmap130", "qzmap135"}) {
    EXPECT_EQ(db_.Count(std::string(table) + " where mprf = 3"), 3) << table;
  }
  for (const char* table : {"qzmap145", "qzmap160", "qzmap165", "qzmap110"}) {
    EXPECT_EQ(db_.Count(std::string(table) + " where mprf = 3"), 5) << table;
  }
  ExpectErrorStateUntouched();
}

TEST_F(MapRuleDelete, DeleteDataRunsOnlyOneSelect) {
  // What counts as one select is MapRuleSelectCheck's; a refusal runs nothing.
  ado::StatementLog log;
  try {
    object_.DeleteData("select * from qzmap120; delete from qzmap125", 3, "UV", "UR", "UC");
    ADD_FAILURE() << "a second statement was accepted";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), errc::kInvalidArgument);
    EXPECT_EQ(error.description(), errtext::kSelectStatementOnly);
  }
  EXPECT_TRUE(log.texts().empty());
  EXPECT_EQ(Left(), Texts(11, "2,1,1"));

  // The select alone decides; the other arguments are not used.
  object_.DeleteData("select * from qzmap125 where tflno = '123'", 99, "", "", "");
  EXPECT_EQ(db_.Count("qzmap125"), 2);
  object_.DeleteData("select * from qzmap125 where tflno = 'none'", 3, "UV", "UR", "UC");
  EXPECT_EQ(db_.Count("qzmap125"), 2);
  ExpectErrorStateUntouched();
}

}  // namespace
}  // namespace migprof::testing
