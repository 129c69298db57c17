// The demo estate in a fresh database, and every row of it read back in a
// form two databases can be compared by.
#ifndef MIGPROF_TESTS_INSIGHT_INSIGHT_FIXTURE_H_
#define MIGPROF_TESTS_INSIGHT_INSIGHT_FIXTURE_H_

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/demo_estate.h"
#include "insight/rows.h"
#include "insight/tables.h"
#include "migprof/insight.h"
#include "testing/test_database.h"
#include "wire/insight_json.h"

namespace migprof::testing {

// Per table, its rows as JSON texts, sorted. The date a change stamps
// (ldat) and the owner cipher (ownr, salted afresh each time) are blanked:
// two runs of one member differ in them.
using Contents = std::map<std::string, std::vector<std::string>>;

inline std::string RowText(insight::Json row) {
  for (const char* column : {"ldat", "ownr"}) {
    if (row.contains(column)) row[column] = nullptr;
  }
  return row.dump();
}

inline Contents ContentsOf(const insight::DataSource& source) {
  std::shared_ptr<ado::Connection> connection = insight::Connect(source);
  Contents contents;
  for (const insight::TableInfo& table : insight::AllTables()) {
    std::vector<std::string>& rows = contents[table.name];
    for (const insight::Row& row : insight::ReadRows(*connection, insight::SelectAll(table))) {
      rows.push_back(RowText(insight::RowJson(table.columns, row)));
    }
    std::sort(rows.begin(), rows.end());
  }
  return contents;
}

class InsightTest : public ComponentTest {
 protected:
  void SetUp() override { app::PopulateDemoEstate(object_); }
  insight::DataSource source() const { return {db_.dsn(), db_.uid(), db_.pwd()}; }
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_INSIGHT_INSIGHT_FIXTURE_H_
