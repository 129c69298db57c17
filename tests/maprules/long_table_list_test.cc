// A selection of thousands of tables: the copy, the expiry and the deletion
// take the list whole, on every database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

class LongTableList : public MapRuleTest {
 protected:
  // Tables 0 to entries - 1 of package "ab", module "cde".
  static std::string List(int entries) {
    std::string list;
    for (int i = 0; i < entries; ++i) list += (i ? ",abcde" : "abcde") + std::to_string(i);
    return list;
  }

  // Table numbers of profile 2's rules in a rule table, with a further
  // condition; links name their table by bflno.
  std::set<std::string> Tables(const std::string& table, const std::string& where = "") {
    const std::string column = table == "qzmap170" ? "bflno" : "tflno";
    std::set<std::string> numbers;
    for (const auto& row :
         db_.Rows("select " + column + " from " + table + " where mprf = 2" + where)) {
      numbers.insert(row.at(0));
    }
    return numbers;
  }
};

// The sanitizer build takes the shorter list only: it walks the same code,
// and the longer one costs it minutes.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLongestList = 1000;
#else
constexpr int kLongestList = 5000;
#endif

TEST_F(LongTableList, CopyExpireAndDeleteTakeThousandsOfTables) {
  std::vector<int> sizes = {1000};
  if (kLongestList > 1000) sizes.push_back(kLongestList);
  for (const int entries : sizes) {
    SCOPED_TRACE(entries);
    for (const char* table : {"qzmap100", "qzmap120", "qzmap160", "qzmap170"}) {
      db_.Exec(std::string("delete from ") + table);
    }
    AddProfiles();
    // Rules at the start, the middle and the end of the list, and one of a
    // table outside it, in the source; one outside it in the target too.
    const std::set<std::string> listed = {std::to_string(0), std::to_string(entries / 2),
                                          std::to_string(entries - 1)};
    for (const std::string& number : listed) {
      AddKeyed("qzmap120", 1, "SV", "ab", "cde", number.c_str(), "stat", "'N'");
      AddKeyed("qzmap160", 1, "SV", "ab", "cde", number.c_str(), "func", "'f'");
      AddKeyed("qzmap170", 1, "SV", "ab", "cde", number.c_str(), "cpac", "'cc'");
    }
    const std::string outside = std::to_string(entries);
    AddKeyed("qzmap120", 1, "SV", "ab", "cde", outside.c_str(), "stat", "'N'");
    AddKeyed("qzmap120", 2, "UV", "ab", "cde", outside.c_str(), "stat", "'N'");
    const std::string list = List(entries);

    ASSERT_EQ(Copy("mm", "mmm", "1", list, kTrue), kTrue) << object_.ErrDescription();
    std::set<std::string> copied = listed;
    copied.insert(outside);  // the target's own rule
    EXPECT_EQ(Tables("qzmap120"), copied);
    EXPECT_EQ(Tables("qzmap160"), listed);
    EXPECT_EQ(Tables("qzmap170"), listed);

    object_.ExpireMapRules(2, "UV", "UR", "UC", "", "", "", list, kTrue, kTrue);
    EXPECT_EQ(Tables("qzmap120", " and stat = 'X'"), listed);

    object_.DeleteMapRules(2, "UV", "UR", "UC", "", "", "", list, kTrue);
    EXPECT_EQ(Tables("qzmap120"), std::set<std::string>{outside});
    EXPECT_THAT(Tables("qzmap160"), ::testing::IsEmpty());
    EXPECT_THAT(Tables("qzmap170"), ::testing::IsEmpty());
    EXPECT_EQ(db_.Value("select count(*) from qzmap120 where mprf = 1"),
              std::to_string(listed.size() + 1));
  }
}

}  // namespace
}  // namespace migprof::testing
