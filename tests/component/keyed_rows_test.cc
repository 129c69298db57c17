// Recordsets on statements that differ only in the values of their
// conditions share one prepared form per native connection, and so does the
// form with the row key appended: each recordset must still change its own
// rows, and refuse changes exactly when its own text gives no row key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/sql/row_key_select.h"
#include "testing/test_database.h"

namespace migprof {
namespace {

using testing::RaisedBy;
using testing::TestDatabase;

TEST(KeyedRows, StatementsOfOneShapeChangeTheirOwnRowsAndRefuseAsTheirText) {
  TestDatabase db;
  for (const std::string name : {"a", "b", "c"}) {
    db.Exec("insert into qzusr100 (usrn, defa) values ('" + name + "', 0)");
  }
  struct Case {
    const char* sql;
    Integer defa;  // written into the first row, then Update
  };
  const Case kCases[] = {
      {"select * from qzusr100 where usrn = 'a'", 1},
      {"select * from qzusr100 where usrn = 'b'", 2},
      {"select * from qzusr100 u where u.usrn = 'c' and defa = 0", 3},
      {"select * from qzusr100 u where u.usrn = 'a' and defa = 1", 4},
      {"select distinct usrn, defa from qzusr100 where usrn = 'b'", 5},
      {"select usrn, max(defa) defa from qzusr100 where usrn = 'c' group by usrn", 6},
      {"select a.defa from qzusr100 a, qzusr100 b where a.usrn = 'a' and b.usrn = 'b'", 7},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sql);
    // Each on a new connection: the pool hands out the native connection
    // that ran the statements before.
    auto rs = ado::Recordset::Create();
    rs->Open(c.sql, db.Connect(), ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    ASSERT_FALSE(rs->EndOfFile());
    rs->Fields()["defa"].Value(c.defa);
    const std::string refusal = tsql::AppendRowKey(c.sql, "qzusr100", {"k"}).refusal;
    if (refusal.empty()) {
      rs->Update();
    } else {
      const ComError error = RaisedBy([&] { rs->Update(); });
      EXPECT_EQ(error.number(), errc::kCannotUpdate);
      EXPECT_EQ(error.description(), refusal);
    }
  }
  EXPECT_EQ(db.Rows("select usrn, defa from qzusr100 order by usrn"),
            (std::vector<std::vector<std::string>>{{"a", "4"}, {"b", "2"}, {"c", "3"}}));
}

}  // namespace
}  // namespace migprof
