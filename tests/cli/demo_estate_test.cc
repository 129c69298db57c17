// The demo estate that `migprof init --demo` creates (CliInit), checked
// through the members a front end would call on it.
#include "app/demo_estate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "component/sql_text.h"
#include "testing/test_database.h"

namespace migprof::app {
namespace {

long CountOf(TOVRHandleMigProf& object, const std::string& sql) {
  std::shared_ptr<ado::Recordset> rows = object.getNewConnection()->Execute(sql);
  return rows->Fields().Item(0).Value().ToLong();
}

// The field rules of profile mprf in vers/rele/cust for the table the estate
// leaves uncopied.
std::string FieldRules(Integer mprf, const std::string& vers, const std::string& rele,
                       const std::string& cust) {
  return "select count(*) from qzmap140 where mprf = " + SqlNumber(mprf) + " and vers = '" + vers +
         "' and rele = '" + rele + "' and cust = '" + cust + "' and tcpac = '" +
         kDemoUncopiedTable[0] + "' and tcmod = '" + kDemoUncopiedTable[1] + "' and tflno = '" +
         kDemoUncopiedTable[2] + "'";
}

class DemoEstate : public testing::ComponentTest {};

TEST_F(DemoEstate, MembersWorkOnTheDemoEstate) {
  PopulateDemoEstate(object_);
  std::map<std::string, std::vector<Integer>> owned;
  std::map<std::string, const DemoProfile*> by_vrc;
  const DemoProfile* standard = nullptr;
  for (const DemoProfile& p : DemoProfiles()) {
    owned[p.owner].push_back(p.mprf);
    by_vrc[std::string(p.vers) + "_" + p.rele + "_" + p.cust] = &p;
    if (p.mprf == kDemoStandardProfile) standard = &p;
  }
  ASSERT_NE(standard, nullptr);

  // Every owner sees exactly the profiles created for them, highest first.
  EXPECT_GE(owned.size(), 2u);
  for (auto& [owner, numbers] : owned) {
    std::sort(numbers.rbegin(), numbers.rend());
    std::string expected;
    for (Integer n : numbers) expected += (expected.empty() ? "" : "~") + std::to_string(n);
    EXPECT_EQ(object_.GetUserOwnerProfiles(owner), expected) << owner;
  }

  // Each derived profile passes the derivation rule against its parent and
  // stores the depth of its line; the line reaches two levels below a
  // standard profile.
  int deepest = 1;
  for (const DemoProfile& p : DemoProfiles()) {
    int depth = 1;
    for (const DemoProfile* up = &p; std::string(up->parent) != "__"; ++depth) {
      up = by_vrc.at(up->parent);
      Integer child = p.mprf, parent = up->mprf;
      if (depth == 1) {
        EXPECT_TRUE(object_.ValidateDerivation(child, parent).IsTrue()) << p.mprf;
      }
    }
    deepest = std::max(deepest, depth);
    EXPECT_EQ(CountOf(object_, "select deph from qzmap100 where mprf = " + SqlNumber(p.mprf)),
              depth);
    EXPECT_EQ(CountOf(object_, "select count(*) from qzmap101 where mprf = " + SqlNumber(p.mprf)),
              depth);
  }
  EXPECT_EQ(deepest, 3);

  // A fresh profile derived from the standard one takes over a whole table:
  // every field rule of the source matches an element of the dictionary.
  const std::string parent =
      std::string(standard->vers) + "_" + standard->rele + "_" + standard->cust;
  ASSERT_TRUE(object_
                  .InsertInMap100(900, "Trial", standard->sapp, standard->tapp, "V10U", "R9",
                                  "TRIAL", parent, "N", "", "carol")
                  .IsTrue())
      << object_.ErrDescription();
  ASSERT_TRUE(object_
                  .CopyToCurrentVRC(kDemoStandardProfile, 900, "V10U", "R9", "TRIAL",
                                    kDemoUncopiedTable[0], kDemoUncopiedTable[1],
                                    kDemoUncopiedTable[2], "carol", Variant(), "", kFalse)
                  .IsTrue())
      << object_.ErrDescription();
  const long source_rules = CountOf(
      object_, FieldRules(kDemoStandardProfile, standard->vers, standard->rele, standard->cust));
  EXPECT_GT(source_rules, 0);
  EXPECT_EQ(CountOf(object_, FieldRules(900, "V10U", "R9", "TRIAL")), source_rules);

  // The checked-out function cannot be deleted, in the own VRC or in the
  // development VRC, and only the user who has it out may expire it there.
  for (const auto& [vers, rele, cust] :
       {std::tuple{standard->vers, standard->rele, standard->cust},
        std::tuple{standard->dver, standard->drel, standard->dcus}}) {
    EXPECT_FALSE(object_
                     .Func_Delete(kDemoStandardProfile, vers, rele, cust, kDemoCheckedOutFunction,
                                  kDemoCheckedOutBy)
                     .IsTrue())
        << vers;
    EXPECT_EQ(object_.ErrDescription(), "Checked out function can not be deleted!");
  }
  EXPECT_FALSE(object_
                   .Func_Expire(kDemoStandardProfile, standard->vers, standard->rele,
                                standard->cust, kDemoCheckedOutFunction, "bob", kTrue)
                   .IsTrue());
  EXPECT_TRUE(object_
                  .Func_Expire(kDemoStandardProfile, standard->vers, standard->rele, standard->cust,
                               kDemoCheckedOutFunction, kDemoCheckedOutBy, kTrue)
                  .IsTrue())
      << object_.ErrDescription();
}

}  // namespace
}  // namespace migprof::app
