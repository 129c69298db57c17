// The ProgID registry and the built-in configuration-management stand-in.
#include "migprof/object_registry.h"

#include <gtest/gtest.h>

#include "configmgt/config_mgt.h"
#include "migprof/dispatch.h"
#include "profiles/config_mgt_standin.h"
#include "testing/test_database.h"

namespace migprof::testing {
namespace {

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

class ProfileConfigMgtStandIn : public ComponentTest {};

TEST_F(ProfileConfigMgtStandIn, AnswersFromCheckedOutFunctions) {
  profiles::ConfigMgtStandIn standin;
  Integer mprf = 2;
  EXPECT_THROW(standin.Check_Check_Out(mprf), ComError);
  standin.OpenConnection(db_.Connect());
  db_.Exec("insert into qzlib100 (mprf, fnam, stat) values (2, 'F1', 'N')");
  db_.Exec("insert into qzlib100 (mprf, fnam, stat) values (3, 'F3', 'C')");
  EXPECT_TRUE(standin.Check_Check_Out(mprf).ToBoolean().IsTrue());
  EXPECT_EQ(standin.ErrDescription(), "");
  db_.Exec("insert into qzlib100 (mprf, vers, fnam, stat) values (2, 'DV', 'Calc', 'C')");
  EXPECT_FALSE(standin.Check_Check_Out(mprf).ToBoolean().IsTrue());
  EXPECT_NE(standin.ErrDescription().find("Calc"), std::string::npos);
  String s = "s";
  EXPECT_TRUE(standin.Global_Undo_Check_Out(s, mprf, s, s, s, s).ToBoolean().IsTrue());
  EXPECT_TRUE(standin.Delete_Revisions(mprf, s, s, s, s, s).ToBoolean().IsTrue());
  EXPECT_EQ(db_.Count("qzlib100"), 3);
}

}  // namespace
}  // namespace migprof::testing
