// The configuration-management component as UpdateMap100 drives it, and the
// ProgID registry it is created from.
#include "configmgt/config_mgt.h"

#include <gtest/gtest.h>

#include "configmgt/revision_fixture.h"
#include "migprof/dispatch.h"
#include "migprof/object_registry.h"
#include "testing/test_database.h"

namespace migprof::testing {
namespace {

using configmgt::RevisionControl;

class ConfigMgtUpdate : public RevisionTest {
 protected:
  Boolean Update(const std::string& scme, const std::string& dver) {
    return object_.UpdateMap100(2, "d", scme, "B1", "R", "C", "l", "__", "alice", "path", dver,
                                "DR", "DC");
  }
};

TEST_F(ConfigMgtUpdate, DevelopmentVrcWaitsUntilNothingIsCheckedOut) {
  const std::vector<std::pair<configmgt::Item, std::string>> holders{{Function(), "alice"},
                                                                     {Rule(), "bob"}};
  for (const auto& [item, user] : holders) {
    SCOPED_TRACE(item.name);
    As(user).CheckOut(item, false);
    EXPECT_FALSE(Update("Y", "DV2").IsTrue());
    const std::string text = object_.ErrDescription();
    EXPECT_NE(text.find(item.name), std::string::npos) << text;
    EXPECT_NE(text.find(user), std::string::npos) << text;
    EXPECT_EQ(db_.Value("select dver from qzmap105"), "DV");
    As(user).CheckIn(item, "done");
  }
  ASSERT_TRUE(Update("Y", "DV2").IsTrue());
  EXPECT_EQ(db_.Value("select dver from qzmap105"), "DV2");
  EXPECT_EQ(object_.ErrDescription(), "");
}

TEST_F(ConfigMgtUpdate, SwitchingOffUndoesCheckOutsAndDeletesRevisionsOnly) {
  RevisionControl alice = As("alice");
  alice.CheckOut(Rule(), false);
  alice.EditRule(Rule(), "F1", {{"mrul", "m9"}});
  alice.CheckIn(Rule(), "rule");
  db_.Exec(
      "insert into qzcfg110 (mprf, vers, rele, cust, kind, itnm, revn, usrn, actn, comt, snap) "
      "values (3, 'DV', 'DR', 'DC', 'F', 'Calc', 1, 'bob', 'check-in', '', '')");
  const Rows before = LiveRows();
  alice.CheckOut(Function(), false);
  alice.EditFunction(Function(), {"changed", std::nullopt, std::nullopt});

  ASSERT_TRUE(Update("N", "").IsTrue());
  EXPECT_EQ(LiveRows(), before);
  EXPECT_EQ(db_.Count("qzcfg100"), 0);
  EXPECT_EQ(db_.Rows("select mprf from qzcfg110"), (Rows{{"3"}}));
  EXPECT_EQ(db_.Count("qzmap105"), 0);
}

TEST_F(ConfigMgtUpdate, MethodsAnswerFalseWithTheReason) {
  configmgt::ConfigMgtComponent component;
  component.DatabaseName("sqlite:/no/such/dir/x.db");
  String user = "alice", vers = "B1", rele = "R", cust = "C", path = "";
  Integer mprf = 2;
  EXPECT_FALSE(
      component.Global_Undo_Check_Out(user, mprf, vers, rele, cust, path).ToBoolean().IsTrue());
  EXPECT_NE(component.ErrDescription(), "");
  EXPECT_FALSE(component.Delete_Revisions(mprf, vers, rele, cust, user, path).ToBoolean().IsTrue());
  EXPECT_NE(component.ErrDescription(), "");
  EXPECT_THROW(component.Check_Check_Out(mprf), ComError);
}

struct Other : LateBoundObject {};

TEST(ProfileObjectRegistry, CreatesByProgIdIgnoringCase) {
  EXPECT_TRUE(std::dynamic_pointer_cast<configmgt::ConfigMgtComponent>(
      CreateObject("tovr20configmgt.TOVRSCONFIGMGT")));
  try {
    CreateObject("No.Such");
    FAIL();
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), errc::kCannotCreateObject);
    EXPECT_EQ(error.description(), errtext::kCannotCreateObject);
  }
  {
    ScopedObjectFactory other("No.Such", [] { return std::make_shared<Other>(); });
    ScopedObjectFactory empty("Empty.Object", [] { return nullptr; });
    EXPECT_TRUE(std::dynamic_pointer_cast<Other>(CreateObject("NO.SUCH")));
    EXPECT_THROW(CreateObject("Empty.Object"), ComError);
    ScopedObjectFactory replaced(kConfigMgtProgId, [] { return std::make_shared<Other>(); });
    EXPECT_TRUE(std::dynamic_pointer_cast<Other>(CreateObject(kConfigMgtProgId)));
  }
  EXPECT_FALSE(FindObjectFactory("No.Such"));
  EXPECT_TRUE(
      std::dynamic_pointer_cast<configmgt::ConfigMgtComponent>(CreateObject(kConfigMgtProgId)));
}

}  // namespace
}  // namespace migprof::testing
