// A NUL character inside a value is data: values read back from the
// database or passed by the caller reach the statements built from them
// whole, and find exactly their rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "maprules/rule_fixture.h"

namespace migprof::testing {
namespace {

using ::testing::UnorderedElementsAre;

// "S<NUL>V" and the like: a prefix that an early-ended literal would leave,
// and a tail after the NUL.
std::string WithNul(const char* head, const char* tail) { return std::string(head) + '\0' + tail; }

// A T-SQL literal of a value.
std::string Quoted(const std::string& value) { return "'" + value + "'"; }

class NulValues : public MapRuleTest {};

TEST_F(NulValues, StoredValuesWithNulFindTheirRows) {
  const std::string vers = WithNul("S", "V");
  const std::string field = WithNul("na", "me");
  Insert("qzmap100", "mprf, vers, rele, cust, tapp", "1, " + Quoted(vers) + ", 'SR', 'SC', 'SAPP'");
  Insert("qzmap100", "mprf, vers, rele, cust, tapp", "2, 'UV', 'UR', 'UC', 'UAPP'");
  EXPECT_EQ(db_.Value("select vers from qzmap100 where mprf = 1"), vers);
  // The source rules live under the VRC with the NUL; decoys under its
  // prefix.
  for (const std::string& v : {vers, std::string("S")}) {
    Insert("qzmap120", "mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx",
           "1, " + Quoted(v) + ", 'SR', 'SC', 'xy', 'uvw', '1', " + Quoted("rule " + v));
    Insert("qzmap140", "mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum",
           "1, " + Quoted(v) + ", 'SR', 'SC', 'xy', 'uvw', '1', " + Quoted(field) + ", 1");
  }
  Insert("qzddi150", "appl, cpac, cmod, flno, fdnm, dept",
         "'UAPP', 'xy', 'uvw', '1', " + Quoted(field) + ", 0");

  ASSERT_EQ(Copy("xy", "uvw", "1"), kTrue) << object_.ErrDescription();
  EXPECT_EQ(RulesOf("qzmap120", "prtx", 2), (Table{{"rule " + vers}}));
  EXPECT_EQ(RulesOf("qzmap140", "fdnm", 2), (Table{{field}}));
}

// A profile whose VRC holds a NUL is the parent of the profile derived from
// exactly that VRC, not of one derived from its prefix.
TEST_F(NulValues, ProfileDeletionFindsTheChildOfAVrcWithNul) {
  const std::string vers = WithNul("P", "V");
  Insert("qzmap100", "mprf, vers, rele, cust", "7, " + Quoted(vers) + ", 'R', 'C'");
  Insert("qzmap100", "mprf, vers, rele, cust, verf, relf, cusf",
         "8, 'W', 'R', 'C', " + Quoted(vers) + ", 'R', 'C'");
  Insert("qzmap100", "mprf, vers, rele, cust", "9, 'P', 'R', 'C'");

  EXPECT_EQ(object_.DeleteMap100(7), kFalse);
  EXPECT_EQ(object_.DeleteMap100(9), kTrue) << object_.ErrDescription();
  EXPECT_EQ(object_.DeleteMap100(8), kTrue) << object_.ErrDescription();
  EXPECT_EQ(object_.DeleteMap100(7), kTrue) << object_.ErrDescription();
  EXPECT_EQ(db_.Count("qzmap100"), 0);
}

TEST_F(NulValues, DevelopmentVrcWithNulIsTheOneChanged) {
  const std::string dver = WithNul("D", "V");
  Insert("qzmap100", "mprf, vers, rele, cust, scme", "5, 'V', 'R', 'C', 'Y'");
  Insert("qzmap105", "mprf, vers, rele, cust, dver, drel, dcus",
         "5, 'V', 'R', 'C', " + Quoted(dver) + ", 'DR', 'DC'");
  for (const std::string& v : {dver, std::string("D")}) {
    Insert("qzlib100", "mprf, vers, rele, cust, fnam, stat, curn",
           "5, " + Quoted(v) + ", 'DR', 'DC', 'f', 'C', 'ann'");
    Insert("qzmap120", "mprf, vers, rele, cust, tcpac, tcmod, tflno, stat",
           "5, " + Quoted(v) + ", 'DR', 'DC', 'xy', 'uvw', '1', 'N'");
  }
  const auto status = [&](const char* table) {
    return db_.Rows(std::string("select vers, stat from ") + table + " where mprf = 5");
  };

  ASSERT_EQ(object_.Func_Expire(5, "V", "R", "C", "f", "ann", kTrue), kTrue)
      << object_.ErrDescription();
  object_.ExpireMapRules(5, "V", "R", "C", "xy", "uvw", "1", "", kFalse, kTrue);

  EXPECT_THAT(status("qzlib100"), UnorderedElementsAre(Texts{dver, "X"}, Texts{"D", "C"}));
  EXPECT_THAT(status("qzmap120"), UnorderedElementsAre(Texts{dver, "X"}, Texts{"D", "N"}));
}

TEST_F(NulValues, ArgumentsWithNulReachOnlyTheirRows) {
  const std::string vers = WithNul("U", "V");
  for (const std::string& v : {vers, std::string("U")}) {
    for (const char* table : {"qzmap120", "qzmap110"}) {
      Insert(table, "mprf, vers, rele, cust, tcpac, tcmod, tflno",
             "3, " + Quoted(v) + ", 'UR', 'UC', 'xy', 'uvw', '1'");
    }
  }
  const auto versions = [&](const char* table, const char* where) {
    return db_.Rows(std::string("select vers from ") + table + " where mprf = 3" + where);
  };

  object_.ExpireMapRules(3, vers, "UR", "UC", "", "", "", "xyuvw1", kTrue, kTrue);
  EXPECT_EQ(versions("qzmap120", " and stat = 'X'"), (Table{{vers}}));

  object_.DeleteMapRules(3, vers, "UR", "UC", "xy", "uvw", "1", "", kFalse);
  EXPECT_EQ(versions("qzmap120", ""), (Table{{"U"}}));
  EXPECT_EQ(versions("qzmap110", ""), (Table{{"U"}}));
}

}  // namespace
}  // namespace migprof::testing
