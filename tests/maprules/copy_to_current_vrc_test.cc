#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

// Profile 1 holds rules for table xy/uvw/123 (and decoys that must not be
// copied); profile 2's application UAPP describes the table with a plain
// field, an array field of depth 3 with a defined domain and a field whose
// domain is empty.
class MapRuleCopy : public MapRuleTest {
 protected:
  void SetUp() override {
    AddProfiles();
    AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "123",
             "prtx, logn, stat, lusr, comt, vari, stbl, isms, txtn",
             "'  lead and trail  ', 'old', ' A ', 'x', ' note ', ' v ', 's ', '1', NULL");
    AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "123", "prtx, stat, comt, txtn",
             "NULL, 'B', 'c', 'T2'");
    AddKeyed("qzmap120", 1, "SV", "xy", "uvw", "999", "prtx", "'other table'");
    AddKeyed("qzmap120", 1, "S2", "xy", "uvw", "123", "prtx", "'other vrc'");
    AddKeyed("qzmap130", 1, "SV", "xy", "uvw", "123", "scpac, scmod, sflno, icod, qury",
             "'ab', 'cde', '7', 'I1', 'q1'");
    AddKeyed("qzmap130", 1, "SV", "xy", "uvw", "123", "scpac, scmod, sflno, icod, qury, txtn",
             "'ab', 'cde', '8', 'I2', NULL, 'T'");
    int dnum = 1;
    for (const char* element : {"name", "qty(1)", "qty(3)", "qty", "qty(0)", "other"}) {
      AddFieldRule("xy", "uvw", "123", element, dnum++);
    }
    AddKeyed("qzmap160", 1, "SV", "xy", "uvw", "123", "func", "'f1'");
    AddKeyed("qzmap160", 1, "SV", "xy", "uvw", "123", "func", "'f2'");
    AddField("xy", "uvw", "123", "name", 0);
    AddField("xy", "uvw", "123", "qty", 3, "'xyDOM'");
    AddField("xy", "uvw", "123", "blank", 0, "''");
    Insert("qzddi220", "appl, cpac, cdom", "'UAPP', 'xy', 'DOM'");
    // The source profile's application must not drive the field list.
    AddField("xy", "uvw", "123", "other", 0, "NULL", "SAPP");
  }
};

TEST_F(MapRuleCopy, SingleTableCopiesEachStageInOrder) {
  std::string before = DateTime::Now().ToString();
  ado::StatementLog log;

  ASSERT_EQ(Copy("xy", "uvw", "123", "zzuvw999", Boolean(1)), kTrue) << object_.ErrDescription();
  const Texts statements = log.texts();

  std::string after = DateTime::Now().ToString();
  EXPECT_EQ(RulesOf("qzmap120",
                    "tcpac, tcmod, tflno, prtx, logn, stat, lusr, comt, vari, "
                    "stbl, isms, txtn, rele, cust",
                    2),
            (Table{{"xy", "uvw", "123", "lead and trail", "", " A ", "j.smith", "note", " v ", "s ",
                    "1", "NULL", "UR", "UC"},
                   {"xy", "uvw", "123", "NULL", "", "B", "j.smith", "c", "NULL", "NULL", "NULL",
                    "T2", "UR", "UC"}}));
  for (const auto& row : RulesOf("qzmap120", "ldat", 2)) {
    EXPECT_GE(row[0], before);
    EXPECT_LE(row[0], after);
  }
  EXPECT_EQ(RulesOf("qzmap130", "tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury, txtn", 2),
            (Table{{"xy", "uvw", "123", "ab", "cde", "7", "I1", "q1", "NULL"},
                   {"xy", "uvw", "123", "ab", "cde", "8", "I2", "NULL", "T"}}));
  // An array field is looked up as name(1) to name(n), never bare or as (0).
  EXPECT_EQ(RulesOf("qzmap140", "tcpac, tcmod, tflno, fdnm, dnum, mrul, type, stat, txtn", 2),
            (Table{{"xy", "uvw", "123", "name", "1", "r-name", "t", "s", "x-name"},
                   {"xy", "uvw", "123", "qty(1)", "2", "r-qty(1)", "t", "s", "NULL"},
                   {"xy", "uvw", "123", "qty(3)", "3", "r-qty(3)", "t", "s", "x-qty(3)"}}));
  EXPECT_EQ(RulesOf("qzmap160", "tcpac, tcmod, tflno, func", 2),
            (Table{{"xy", "uvw", "123", "f1"}, {"xy", "uvw", "123", "f2"}}));
  EXPECT_EQ(db_.Count("qzmap170"), 0);
  EXPECT_EQ(object_.ErrDescription(), "");
  EXPECT_EQ(object_.ErrorNumber(), 0);

  const std::string source = "where mprf =1and vers ='SV'and rele = 'SR'and cust ='SC' and";
  const std::string filter = " tcpac='xy' and tcmod='uvw' and tflno='123'";
  Texts expected = {
      "select * from qzmap120 where mprf =2and vers ='UV'and rele = 'UR'and cust ='UC' and "
      "tcpac ='xy'and tcmod ='uvw'and tflno = '123'",
      " select * from qzmap100 where mprf = 1",
      "select * from qzmap120 " + source + filter,
      "select * from qzmap120",
      "select * from qzmap130 " + source + filter,
      "select * from qzmap130",
      "SELECT DISTINCT appl, cdom FROM qzddi150 WHERE appl = ( SELECT tapp FROM qzmap100 WHERE "
      "mprf = 2) AND cpac = 'xy' AND cmod ='uvw' AND flno = '123' AND (qzddi150.cdom IS NOT "
      "NULL) AND (qzddi150.cdom<>'') AND NOT EXISTS (SELECT NULL FROM qzddi220 t220 WHERE "
      "(appl=( SELECT tapp FROM qzmap100 WHERE mprf = 2) ) AND (t220.cpac+t220.cdom)=qzddi150."
      "cdom)",
      "select fdnm,dept from qzddi150 where appl = ( select tapp from qzmap100 where mprf = 2) "
      "and cpac = 'xy' and cmod ='uvw' and flno = '123'"};
  for (const char* element : {"name", "qty(1)", "qty(2)", "qty(3)", "blank"}) {
    expected.push_back(
        "select * from qzmap140 where mprf =1 and vers ='SV' and rele = 'SR' and cust ='SC' and "
        "tcpac ='xy' and tcmod ='uvw' and tflno ='123' and fdnm = '" +
        std::string(element) + "'");
    expected.push_back("select * from qzmap140");
  }
  expected.push_back(
      "select * from qzmap160 where mprf =1 and vers ='SV' and rele = 'SR' and cust ='SC' and " +
      filter);
  expected.push_back("select * from qzmap160");
  EXPECT_EQ(statements, expected);
}

TEST_F(MapRuleCopy, MultiTableCopiesTheListedTablesAndTheirLinks) {
  AddKeyed("qzmap120", 1, "SV", "qz", "tbl", "1", "prtx", "'second'");
  AddKeyed("qzmap170", 1, "SV", "xy", "uvw", "123", "cpac, cmod, cflno", "'cc', 'ccc', NULL");
  AddKeyed("qzmap170", 1, "SV", "xy", "uvw", "999", "cpac", "'no'");
  AddKeyed("qzmap170", 1, "SV", "qz", "tbl", "1", "cpac, cmod", "'dd', 'ddd'");
  AddField("qz", "tbl", "1", "f", 0);
  AddFieldRule("qz", "tbl", "1", "f", 7);
  // Field names of the legacy list serve single-table mode only.
  Insert("qzlgy150", "appl, cpac, cmod, flno, flna", "'UAPP', 'qz', 'tbl', '1', 'name'");
  ado::StatementLog log;

  // The main table is checked in the target and for domains, not copied.
  ASSERT_EQ(Copy("mm", "mmm", "1", "qztbl1,xyuvw123", kTrue), kTrue) << object_.ErrDescription();

  // Rows come in the order the database returns them for the combined filter.
  EXPECT_THAT(RulesOf("qzmap170", "bpac, bmod, bflno, cpac, cmod, cflno", 2),
              ::testing::UnorderedElementsAre(Texts{"xy", "uvw", "123", "cc", "ccc", "NULL"},
                                              Texts{"qz", "tbl", "1", "dd", "ddd", "NULL"}));
  EXPECT_THAT(RulesOf("qzmap120", "tflno, prtx", 2),
              ::testing::UnorderedElementsAre(Texts{"123", "lead and trail"}, Texts{"123", "NULL"},
                                              Texts{"1", "second"}));
  EXPECT_EQ(RulesOf("qzmap140", "tcpac, tflno, fdnm", 2), (Table{{"qz", "1", "f"},
                                                                 {"xy", "123", "name"},
                                                                 {"xy", "123", "qty(1)"},
                                                                 {"xy", "123", "qty(3)"}}));
  EXPECT_EQ(RulesOf("qzmap160", "func", 2), (Table{{"f1"}, {"f2"}}));
  EXPECT_EQ(log.texts().at(2),
            "select * from qzmap170 where mprf =1 and vers ='SV' and rele = 'SR' and cust ='SC' "
            "and  ((bpac='qz' and bmod='tbl' and bflno='1') or (bpac='xy' and bmod='uvw' and "
            "bflno='123'))");
  EXPECT_EQ(log.texts().at(4),
            "select * from qzmap120 where mprf =1and vers ='SV'and rele = 'SR'and cust ='SC' and "
            "((tcpac='qz' and tcmod='tbl' and tflno='1') or (tcpac='xy' and tcmod='uvw' and "
            "tflno='123'))");
}

TEST_F(MapRuleCopy, LegacyFieldListAndSelectionSpelling) {
  AddKeyed("qzmap120", 1, "SV", "qz", "tbl", "1");
  Insert("qzlgy150", "appl, cpac, cmod, flno, flna", "'UAPP', 'qz', 'tbl', '1', 'leg'");
  AddField("qz", "tbl", "1", "dict", 0);
  AddFieldRule("qz", "tbl", "1", "leg", 1);
  AddFieldRule("qz", "tbl", "1", "dict", 2);
  ASSERT_EQ(Copy("qz", "tbl", "1"), kTrue);
  EXPECT_EQ(RulesOf("qzmap140", "tcpac, fdnm", 2), (Table{{"qz", "leg"}}));

  // "QZ" is not the legacy package: the dictionary serves, and the copies
  // carry the selection's spelling while the table rule keeps the source's.
  db_.Exec("delete from qzmap120 where mprf = 2");
  db_.Exec("delete from qzmap140 where mprf = 2");
  ASSERT_EQ(Copy("QZ", "tbl", "1 "), kTrue);
  EXPECT_EQ(RulesOf("qzmap140", "tcpac, tflno, fdnm", 2), (Table{{"QZ", "1 ", "dict"}}));
  EXPECT_EQ(RulesOf("qzmap120", "tcpac, tflno", 2), (Table{{"qz", "1"}}));
}

TEST_F(MapRuleCopy, RefusalsKeepTheErrorNumberAndInsertNothing) {
  // A copy that stops at a missing domain leaves ErrorNumber at 110.
  AddField("mi", "ssi", "ng", "f", 0, "'miNODOM'");
  AddKeyed("qzmap120", 1, "SV", "mi", "ssi", "ng");
  ASSERT_EQ(Copy("mi", "ssi", "ng"), kFalse);
  ASSERT_EQ(object_.ErrorNumber(), 110);
  AddKeyed("qzmap120", 2, "UV", "xy", "uvw", "123");
  struct Case {
    int source;
    const char* flno;
    const char* childs;
    Boolean isms;
    const char* message;
  } cases[] = {
      {1, "123", "", kFalse, "Record Already Exists With the User Profile"},
      {1, "123", "xyuvw999", kTrue, "Record Already Exists With the User Profile"},
      {5, "555", "", kFalse, "Profile Does Not Exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    long rows = db_.Count("qzmap120");
    ASSERT_EQ(object_.CopyToCurrentVRC(c.source, 2, "UV", "UR", "UC", "xy", "uvw", c.flno, "u",
                                       Variant(), c.childs, c.isms),
              kFalse);
    EXPECT_EQ(object_.ErrDescription(), c.message);
    EXPECT_EQ(object_.ErrorNumber(), 110);
    EXPECT_EQ(db_.Count("qzmap120"), rows);
  }
  // No table rule in the selection: the links copied before stay.
  AddKeyed("qzmap170", 1, "SV", "no", "rul", "e", "cpac", "'c'");
  ASSERT_EQ(Copy("xy", "uvw", "555", "norule", kTrue), kFalse);
  EXPECT_EQ(object_.ErrDescription(), "No Record Exists for the Source Profile");
  EXPECT_EQ(RulesOf("qzmap170", "bpac, cpac", 2), (Table{{"no", "c"}}));
  EXPECT_EQ(object_.ErrorNumber(), 110);
}

TEST_F(MapRuleCopy, MissingDomainStopsBeforeFieldAndFunctionRules) {
  db_.Exec("delete from qzddi220");
  ASSERT_EQ(Copy("xy", "uvw", "123"), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), 110);
  EXPECT_EQ(object_.ErrDescription(),
            "WARNING: [xyuvw123] Field(s) skipped due to missing Domains for Application [UAPP]: "
            "xyDOM ");
  EXPECT_EQ(RulesOf("qzmap120", "tflno", 2).size(), 2u);
  EXPECT_EQ(RulesOf("qzmap130", "tflno", 2).size(), 2u);
  EXPECT_EQ(db_.Count("qzmap140 where mprf = 2"), 0);
  EXPECT_EQ(db_.Count("qzmap160 where mprf = 2"), 0);

  // A complete copy clears the description and keeps the number.
  db_.Exec("delete from qzmap120 where mprf = 2");
  Insert("qzddi220", "appl, cpac, cdom", "'UAPP', 'xy', 'DOM'");
  ASSERT_EQ(Copy("xy", "uvw", "123"), kTrue);
  EXPECT_EQ(object_.ErrDescription(), "");
  EXPECT_EQ(object_.ErrorNumber(), 110);
}

// A source made unreadable at one point; the rows of profile 2 left in
// qzmap170, qzmap120, qzmap130, qzmap140 and qzmap160 afterwards.
struct Damage {
  const char* name;
  const char* statement;
  long error;
  const char* left;
};

class MapRuleCopyFailure : public MapRuleCopy, public ::testing::WithParamInterface<Damage> {};

TEST_P(MapRuleCopyFailure, IsRecordedAndLeavesEarlierRows) {
  db_.Exec(GetParam().statement);
  ASSERT_EQ(Copy("xy", "uvw", "123"), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), GetParam().error);
  std::string left;
  for (const char* table : {"qzmap170", "qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    left += (left.empty() ? "" : " ") +
            std::to_string(db_.Count(std::string(table) + " where mprf = 2"));
  }
  EXPECT_EQ(left, GetParam().left);
}

const Damage kDamages[] = {
    {"NullIcod", "update qzmap130 set icod = NULL where sflno = '8'", errc::kTypeMismatch,
     "0 2 1 0 0"},
    {"NullSourceVers", "update qzmap100 set vers = NULL where mprf = 1", errc::kTypeMismatch,
     "0 0 0 0 0"},
    {"NullDnum", "update qzmap140 set dnum = NULL where fdnm = 'qty(3)'", errc::kTypeMismatch,
     "0 2 2 2 0"},
    {"DnumOverflow", "update qzmap140 set dnum = 40000 where fdnm = 'qty(1)'", errc::kOverflow,
     "0 2 2 1 0"},
    {"NullDepth", "update qzddi150 set dept = NULL where fdnm = 'qty'", errc::kTypeMismatch,
     "0 2 2 1 0"}};

INSTANTIATE_TEST_SUITE_P(MapRuleRunTime, MapRuleCopyFailure, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MapRuleCopy, EmptyListInListModeFailsAtTheFirstFilteredStatement) {
  ASSERT_EQ(Copy("xy", "uvw", "123", "", kTrue), kFalse);
  EXPECT_EQ(object_.ErrorNumber(), errc::kErrorsInCommand);
  EXPECT_EQ(db_.Count("qzmap120 where mprf = 2") + db_.Count("qzmap170 where mprf = 2"), 0);
}

// Targets whose txtn has a default (in MariaDB's syntax on a server), where
// a copied Null would override it. A server's tables are shared with later
// tests, so the default is dropped again.
class MapRuleCopyTxtnDefault : public MapRuleCopy {
 protected:
  void SetUp() override {
    MapRuleCopy::SetUp();
    for (const std::string table : {"qzmap120", "qzmap130", "qzmap140"}) {
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
      db_.Exec("alter table " + table + " rename to copy_of_source");
      db_.Exec(create);
      db_.Exec("insert into " + table + " select * from copy_of_source");
      db_.Exec("drop table copy_of_source");
    }
  }
  void TearDown() override {
    if (db_.embedded()) return;
    for (const std::string table : {"qzmap120", "qzmap130", "qzmap140"}) {
      db_.Exec("alter table " + table + " alter column txtn drop default");
    }
  }
};

TEST_F(MapRuleCopyTxtnDefault, NullTxtnIsNotWrittenSoTheDefaultApplies) {
  ASSERT_EQ(Copy("xy", "uvw", "123"), kTrue) << object_.ErrDescription();
  EXPECT_EQ(RulesOf("qzmap120", "txtn", 2), (Table{{"dflt"}, {"T2"}}));
  EXPECT_EQ(RulesOf("qzmap130", "txtn", 2), (Table{{"dflt"}, {"T"}}));
  EXPECT_EQ(RulesOf("qzmap140", "txtn", 2), (Table{{"x-name"}, {"dflt"}, {"x-qty(3)"}}));
}

TEST_F(MapRuleCopy, TargetProfileWithoutRowGetsNoFieldRules) {
  db_.Exec("delete from qzmap100 where mprf = 2");
  ASSERT_EQ(Copy("xy", "uvw", "123"), kTrue);
  EXPECT_EQ(db_.Count("qzmap120 where mprf = 2"), 2);
  EXPECT_EQ(db_.Count("qzmap130 where mprf = 2"), 2);
  EXPECT_EQ(db_.Count("qzmap140 where mprf = 2"), 0);
  EXPECT_EQ(db_.Count("qzmap160 where mprf = 2"), 2);
}

}  // namespace
}  // namespace migprof::testing
