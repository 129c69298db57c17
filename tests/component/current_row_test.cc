// "The current row" of an updatable recordset is exactly the table row the
// cursor stands on, whatever the statement lists or however it names its
// table; statements whose rows are no rows of one table are refused before
// anything changes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {
namespace {

using ::testing::UnorderedElementsAreArray;
using Names = std::vector<std::string>;

// "code" twice: twin rows, equal in every column (qzmap140 has no key).
const Names kFields = {"code", "code", "item", "qty", "qty(1)", "qty(2)"};

class CurrentRow : public ComponentTest {
 protected:
  void SetUp() override { Reset(); }

  // Six field rules of profile 1 in qzmap140, a profile row in qzmap100
  // and one rule each in qzmap120 and qzmap125 (profile 10).
  void Reset() {
    for (const char* table : {"qzmap100", "qzmap120", "qzmap125", "qzmap140"}) {
      db_.Exec(std::string("delete from ") + table);
    }
    for (const std::string& field : kFields) {
      db_.Exec(
          "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm) values "
          "(1, 'V', 'R', 'C', 'xy', 'uvw', '1', '" +
          field + "')");
    }
    db_.Exec("insert into qzmap100 (mprf, vers, rele, cust) values (10, 'V', 'R', 'C')");
    for (const char* table : {"qzmap120", "qzmap125"}) {
      db_.Exec(std::string("insert into ") + table +
               " (mprf, vers, rele, cust, tcpac) values (10, 'V', 'R', 'C', 'a')");
    }
  }

  Names FieldsLeft() const {
    Names names;
    for (const auto& row : db_.Rows("select fdnm from qzmap140")) names.push_back(row.at(0));
    return names;
  }

  static Names Without(const Names& gone) {
    Names names;
    for (const std::string& field : kFields) {
      if (std::find(gone.begin(), gone.end(), field) == gone.end()) names.push_back(field);
    }
    return names;
  }

  // Row counts of the tables a wrong deletion could reach.
  std::vector<long> OtherTables() const {
    return {db_.Count("qzmap100"), db_.Count("qzmap120"), db_.Count("qzmap125")};
  }
};

TEST_F(CurrentRow, DeleteDataDeletesExactlyTheRowsTheSelectYields) {
  const struct {
    const char* name;
    std::string select;
    Names deleted;
  } kCases[] = {
      {"key not listed", "select mprf, tcpac from qzmap140 where fdnm = 'qty(2)'", {"qty(2)"}},
      {"alias of a column", "select fdnm as f from qzmap140 where fdnm = 'qty'", {"qty"}},
      {"bracketed table, twin rows", "select * from [qzmap140] where fdnm = 'code'", {"code"}},
      {"double-quoted names", "select \"fdnm\" from \"qzmap140\" where fdnm = 'item'", {"item"}},
      {"table alias",
       "select r.tcpac from qzmap140 as r where r.fdnm like 'qty(%'",
       {"qty(1)", "qty(2)"}},
      {"from inside a comment",
       "select mprf, vers, rele, cust /* from qzmap100 */ from qzmap140 where fdnm = 'item'",
       {"item"}},
      {"sub-select in the list",
       "select (select count(*) from qzmap120) n, fdnm from qzmap140 where fdnm = 'code'",
       {"code"}},
      {"sub-select in the condition",
       "select tflno from qzmap140 where mprf in (select mprf - 9 from qzmap100) and fdnm = 'qty'",
       {"qty"}},
      {"join listing one table",
       "select a.fdnm from qzmap140 a join qzmap120 b on b.vers = a.vers where a.fdnm = 'qty(1)'",
       {"qty(1)"}},
      {"no row", "select * from qzmap140 where fdnm = 'none'", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Reset();
    const std::vector<long> others = OtherTables();

    object_.DeleteData(c.select, 1, "V", "R", "C");

    EXPECT_THAT(FieldsLeft(), UnorderedElementsAreArray(Without(c.deleted)));
    EXPECT_EQ(OtherTables(), others);
  }
}

TEST_F(CurrentRow, StatementsWhoseRowsAreNoTableRowsAreRefusedBeforeAnyDeletion) {
  const struct {
    const char* name;
    std::string select;
    std::int32_t number;
    std::string says;  // part of the description
  } kCases[] = {
      {"columns of two tables", "select * from qzmap140 a join qzmap120 b on b.vers = a.vers",
       errc::kCannotUpdate, "its columns come from more than one table (qzmap140, qzmap120)."},
      {"distinct values", "select distinct mprf from qzmap140", errc::kCannotUpdate,
       "cannot be changed through the recordset"},
      {"grouped rows", "select mprf from qzmap140 group by mprf", errc::kCannotUpdate,
       "cannot be changed through the recordset"},
      {"no column of a table", "select 1 from qzmap140", errc::kCannotUpdate,
       "cannot be changed through the recordset: it reads no column of a table."},
      {"table named twice", "select a.fdnm from qzmap140 a join qzmap140 b on b.fdnm = a.fdnm",
       errc::kCannotUpdate, "cannot be changed through the recordset"},
      {"NUL ends the text early",
       std::string("select * from qzmap140 where mprf = 1") + '\0' + " and 1 = 0",
       errc::kErrorsInCommand, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const ComError error = RaisedBy([&] { object_.DeleteData(c.select, 1, "V", "R", "C"); });
    EXPECT_EQ(error.number(), c.number) << error.description();
    EXPECT_FALSE(error.description().empty());
    EXPECT_NE(error.description().find(c.says), std::string::npos) << error.description();
    EXPECT_EQ(FieldsLeft().size(), kFields.size());
    EXPECT_EQ(OtherTables(), (std::vector<long>{1, 1, 1}));
  }
}

// Update changes the current row only, through an alias too; AddNew writes
// an aliased field into its column.
TEST_F(CurrentRow, UpdateAndAddNewReachTheTableColumnsBehindTheFields) {
  const struct {
    const char* select;
    const char* field;
    const char* changed;  // the fdnm whose row must hold the new tcpac
  } kCases[] = {
      {"select tcpac from qzmap140 where fdnm = 'qty(2)'", "tcpac", "qty(2)"},
      {"select tcpac as p, fdnm as f from [qzmap140] where fdnm = 'item'", "p", "item"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.select);
    Reset();
    auto rs = ado::Recordset::Create();
    rs->Open(c.select, db_.Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
    rs->Fields().Item(String(c.field)).Value(Variant("zz"));
    rs->Update();
    rs->Close();
    EXPECT_EQ(db_.Rows("select fdnm from qzmap140 where tcpac = 'zz'"),
              (std::vector<std::vector<std::string>>{{c.changed}}));
    EXPECT_EQ(db_.Count("qzmap140 where tcpac = 'xy'"), static_cast<long>(kFields.size()) - 1);
  }

  auto rs = ado::Recordset::Create();
  rs->Open("select fdnm as f, mprf from qzmap140 where 1 = 0", db_.Connect(), ado::adOpenDynamic,
           ado::adLockOptimistic);
  rs->AddNew();
  rs->Fields().Item(String("f")).Value(Variant("added"));
  rs->Fields().Item(String("mprf")).Value(Variant(Integer{3}));
  rs->Update();
  EXPECT_EQ(db_.Value("select mprf from qzmap140 where fdnm = 'added'"), "3");
}

}  // namespace
}  // namespace migprof::testing
