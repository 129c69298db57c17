#include <gtest/gtest.h>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

// Profile 3 has table rules for xy/uvw/123, 124 and 999 in its VRC UV/UR/UC
// and in VRC OV/UR/UC; all start with status "A".
class MapRuleExpire : public MapRuleTest {
 protected:
  void SetUp() override {
    for (const char* vers : {"UV", "OV"}) {
      for (const char* flno : {"123", "124", "999"}) {
        AddKeyed("qzmap120", 3, vers, "xy", "uvw", flno, "stat", "'A'");
      }
    }
  }
  // The status of each rule, "UV/123=A", by descending VRC and table number.
  Texts Statuses() {
    Texts out;
    for (const auto& row :
         db_.Rows("select vers, tflno, stat from qzmap120 order by vers desc, tflno")) {
      out.push_back(row[0] + "/" + row[1] + "=" + row[2]);
    }
    return out;
  }
  void Expire(const char* flno, const char* childs, Boolean isms, Boolean expire) {
    object_.ExpireMapRules(3, "UV", "UR", "UC", "xy", "uvw", flno, childs, isms, expire);
  }
};

TEST_F(MapRuleExpire, ChangesTheCallersVrcWithoutDevelopmentVrc) {
  ado::StatementLog log;
  Expire("123", "xyuvw124", Boolean(1), kTrue);
  Texts statements = log.texts();
  EXPECT_EQ(Statuses(),
            (Texts{"UV/123=X", "UV/124=A", "UV/999=A", "OV/123=A", "OV/124=A", "OV/999=A"}));
  EXPECT_EQ(statements, (Texts{"select * from qzmap105 where mprf = 3",
                               "update qzmap120 set stat = 'X' where mprf = 3 and vers='UV' and "
                               "rele='UR' and cust='UC' and tcpac='xy' and tcmod='uvw' and "
                               "tflno='123'"}));
  log.Clear();

  // Anything but True reinstates, whatever the rule held.
  Expire("", "xyuvw123,xyuvw124", kTrue, Boolean(1));
  statements = log.texts();
  EXPECT_EQ(Statuses(),
            (Texts{"UV/123=M", "UV/124=M", "UV/999=A", "OV/123=A", "OV/124=A", "OV/999=A"}));
  EXPECT_EQ(statements.at(1),
            "update qzmap120 set stat = 'M' where mprf = 3 and vers='UV' and rele='UR' and "
            "cust='UC' and ((tcpac='xy' and tcmod='uvw' and tflno='123') or (tcpac='xy' and "
            "tcmod='uvw' and tflno='124'))");
}

TEST_F(MapRuleExpire, DevelopmentVrcReplacesTheCallersVrc) {
  Insert("qzmap105", "mprf, vers, rele, cust, dver, drel, dcus",
         "3, 'UV', 'UR', 'UC', 'OV', 'UR', 'UC'");
  Expire("124", "", kFalse, kTrue);
  EXPECT_EQ(Statuses(),
            (Texts{"UV/123=A", "UV/124=A", "UV/999=A", "OV/123=A", "OV/124=X", "OV/999=A"}));
}

TEST_F(MapRuleExpire, FailuresAreRaisedBeforeAnyChange) {
  // An empty list leaves an empty group, which the database rejects.
  ado::StatementLog log;
  EXPECT_THROW(Expire("123", "", kTrue, kTrue), ComError);
  ASSERT_EQ(log.texts().size(), 2u);
  EXPECT_EQ(log.texts()[1].substr(log.texts()[1].size() - 20), "and cust='UC' and ()");

  Insert("qzmap105", "mprf, dver, drel, dcus", "3, NULL, 'UR', 'UC'");
  // A Null development version cannot be taken as text.
  EXPECT_EQ(RaisedBy([&] { Expire("123", "", kFalse, kTrue); }).number(), errc::kTypeMismatch);
  EXPECT_EQ(Statuses(),
            (Texts{"UV/123=A", "UV/124=A", "UV/999=A", "OV/123=A", "OV/124=A", "OV/999=A"}));
  EXPECT_EQ(object_.ErrorNumber(), 0);
  EXPECT_EQ(object_.ErrDescription(), "");
}

}  // namespace
}  // namespace migprof::testing
