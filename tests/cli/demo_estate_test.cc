// The demo estate that `migprof init --demo` creates, checked through the
// members a front end would call on it.
#include "cli/demo_estate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>
#include <vector>

#include "cli/app.h"
#include "component/sql_text.h"

namespace migprof::cli {
namespace {

long CountOf(TOVRHandleMigProf& object, const std::string& sql) {
  std::shared_ptr<ado::Recordset> rows = object.getNewConnection()->Execute(sql);
  return rows->Fields().Item(0).Value().ToLong();
}

std::string FieldRules(Integer mprf, const DemoProfile& p) {
  return "select count(*) from qzmap140 where mprf = " + SqlNumber(mprf) + " and vers = '" +
         p.vers + "' and rele = '" + p.rele + "' and cust = '" + p.cust + "' and tcpac = '" +
         kDemoUncopiedTable[0] + "' and tcmod = '" + kDemoUncopiedTable[1] + "' and tflno = '" +
         kDemoUncopiedTable[2] + "'";
}

TEST(DemoEstate, InitDemoFillsAnEstateTheMembersWorkOn) {
  // Named after the process, so runs side by side never share the file; the
  // file and its side files go before and after (after the object is gone).
  struct TempFile {
    TempFile()
        : path((std::filesystem::temp_directory_path() /
                ("migprof_demo_estate_test_" + std::to_string(::getpid()) + ".db"))
                   .string()) {
      Remove();
    }
    ~TempFile() { Remove(); }
    void Remove() const {
      std::error_code ignored;
      for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix, ignored);
      }
    }
    const std::string path;
  } file;
  const std::string& path = file.path;
  const char* argv[] = {"migprof", "init", "--demo", path.c_str()};
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(RunMigprof(4, argv, in, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("Try first"), std::string::npos) << out.str();

  TOVRHandleMigProf object;
  object.DatabaseName("sqlite:" + path);
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
    EXPECT_EQ(object.GetUserOwnerProfiles(owner), expected) << owner;
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
        EXPECT_TRUE(object.ValidateDerivation(child, parent).IsTrue()) << p.mprf;
      }
    }
    deepest = std::max(deepest, depth);
    EXPECT_EQ(CountOf(object, "select deph from qzmap100 where mprf = " + SqlNumber(p.mprf)),
              depth);
    EXPECT_EQ(CountOf(object, "select count(*) from qzmap101 where mprf = " + SqlNumber(p.mprf)),
              depth);
  }
  EXPECT_EQ(deepest, 3);

  // A fresh profile derived from the standard one takes over a whole table:
  // every field rule of the source matches an element of the dictionary.
  const Integer fresh = 900;
  const DemoProfile mine{fresh,
                         "Trial",
                         standard->sapp,
                         standard->tapp,
                         "V10U",
                         "R9",
                         "TRIAL",
                         "",
                         "N",
                         "",
                         "carol",
                         "",
                         "",
                         "",
                         0};
  ASSERT_TRUE(
      object
          .InsertInMap100(fresh, mine.description, mine.sapp, mine.tapp, mine.vers, mine.rele,
                          mine.cust,
                          std::string(standard->vers) + "_" + standard->rele + "_" + standard->cust,
                          "N", "", mine.owner)
          .IsTrue())
      << object.ErrDescription();
  ASSERT_TRUE(object
                  .CopyToCurrentVRC(kDemoStandardProfile, fresh, mine.vers, mine.rele, mine.cust,
                                    kDemoUncopiedTable[0], kDemoUncopiedTable[1],
                                    kDemoUncopiedTable[2], mine.owner, Variant(), "", kFalse)
                  .IsTrue())
      << object.ErrDescription();
  const long source_rules = CountOf(object, FieldRules(kDemoStandardProfile, *standard));
  EXPECT_GT(source_rules, 0);
  EXPECT_EQ(CountOf(object, FieldRules(fresh, mine)), source_rules);

  // The checked-out function cannot be deleted, in the own VRC or in the
  // development VRC, and only the user who has it out may expire it there.
  for (const auto& [vers, rele, cust] :
       {std::tuple{standard->vers, standard->rele, standard->cust},
        std::tuple{standard->dver, standard->drel, standard->dcus}}) {
    EXPECT_FALSE(object
                     .Func_Delete(kDemoStandardProfile, vers, rele, cust, kDemoCheckedOutFunction,
                                  kDemoCheckedOutBy)
                     .IsTrue())
        << vers;
    EXPECT_EQ(object.ErrDescription(), "Checked out function can not be deleted!");
  }
  EXPECT_FALSE(object
                   .Func_Expire(kDemoStandardProfile, standard->vers, standard->rele,
                                standard->cust, kDemoCheckedOutFunction, "bob", kTrue)
                   .IsTrue());
  EXPECT_TRUE(object
                  .Func_Expire(kDemoStandardProfile, standard->vers, standard->rele, standard->cust,
                               kDemoCheckedOutFunction, kDemoCheckedOutBy, kTrue)
                  .IsTrue())
      << object.ErrDescription();
}

}  // namespace
}  // namespace migprof::cli
