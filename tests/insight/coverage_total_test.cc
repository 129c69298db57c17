// The coverage total a profile page shows, counted without reading the
// whole dictionary, equals the whole count; what the shortcut cannot count
// to the letter is counted the whole way.
#include <gtest/gtest.h>

#include "insight/coverage.h"
#include "insight_fixture.h"

namespace migprof::testing {
namespace {

class CoverageTotalTest : public InsightTest {};

TEST_F(CoverageTotalTest, EqualsTheWholeCountOnEveryProfile) {
  // Each case adds rows to the demo estate's target dictionary (taken away
  // again after it) and says whether the whole dictionary must be read: a
  // table with twin names or array fields is counted by its own rows, one
  // without a key sends the count the whole way.
  const struct {
    const char* rows;
    const char* added;  // which rows the case added, to take them away
    bool whole;
  } cases[] = {
      {"", "", false},
      {"('ORVOERP','or','new','901','a',0), ('ORVOERP','or','new','901','b',0), "
       "('ORVOERP','or','new','901','neg',-1), ('ORVOERP','or','new','901','nul',null)",
       "flno = '901'", false},
      // Another spelling of a table the rules name: counted with it.
      {"('ORVOERP','OR','SLS','400','extra',2)", "fdnm = 'extra'", false},
      {"('ORVOERP','or','new','902','a',0), ('ORVOERP','or','new','902','a',0)", "flno = '902'",
       false},
      {"('ORVOERP','or','new','903','a',0), ('ORVOERP','OR','new','903','b',0)", "flno = '903'",
       false},
      {"('ORVOERP','or','new','904','a',2), ('ORVOERP','or','new','904','a(1)',0)", "flno = '904'",
       false},
      {"('ORVOERP',null,'new','905','a',0)", "flno = '905'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    if (*c.rows) {
      db_.Exec(std::string("insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ") +
               c.rows);
    }
    for (const app::DemoProfile& p : app::DemoProfiles()) {
      SCOPED_TRACE(p.mprf);
      const insight::RuleSet set{p.mprf, std::nullopt};
      ado::StatementLog log;
      const insight::CoverageCounts total = insight::CoverageTotal(source(), set);
      bool read_whole = false;
      for (const String& text : log.texts()) {
        // The whole dictionary, not the named tables' part ("where (appl ...").
        read_whole |=
            text.rfind("select cpac, cmod, flno, fdnm, dept from qzddi150 where appl", 0) == 0;
      }
      EXPECT_EQ(total, insight::ProfileCoverage(source(), set, false).total);
      if (std::string(p.tapp) == "ORVOERP") {
        EXPECT_EQ(read_whole, c.whole);
      }
    }
    if (*c.added) db_.Exec(std::string("delete from qzddi150 where ") + c.added);
  }
}

}  // namespace
}  // namespace migprof::testing
