// The ProgID registry and the configuration-management component registered under its ProgID.
#include "migprof/object_registry.h"

#include <gtest/gtest.h>

#include "configmgt/config_mgt.h"
#include "migprof/dispatch.h"
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

}  // namespace
}  // namespace migprof::testing
