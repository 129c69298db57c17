// A preview lists exactly the rows Apply then changes: random changes of
// every kind over the demo estate (also ones the member or the permission
// table refuses), each previewed and then made, with the database's rows
// read before and after Apply and compared, table by table and row by row,
// old and new values, with what the preview listed. Runs on whichever
// database the test database names (embedded, or a server over ODBC).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/changes.h"
#include "app/demo_estate.h"
#include "app/errors.h"
#include "app/reads.h"
#include "app/tables.h"
#include "insight/rows.h"
#include "insight/tables.h"
#include "testing/test_database.h"

namespace migprof::app {
namespace {

using insight::Row;

// A row as text, value by value. A date the change stamped (now, not the
// estate's) reads "<now>": Preview and Apply run a moment apart.
struct Canon {
  String now_floor;  // dates at or after this were stamped by a change

  String Value(const Variant& value) const {
    // Dates are kept as "YYYY-MM-DD hh:mm:ss" texts or as dates.
    const String text = value.type() == Variant::Type::kDate     ? value.AsDate().ToString()
                        : value.type() == Variant::Type::kString ? value.AsString()
                                                                 : String();
    if (text.size() == 19 && text[4] == '-' && text[13] == ':' && text >= now_floor) {
      return "<now>";
    }
    return insight::ValueJson(value).dump();
  }
  // A profile's owner is enciphered under a fresh salt each time: read in
  // clear.
  std::vector<String> Of(const insight::TableInfo& table, const Row& row) const {
    std::vector<String> out;
    for (std::size_t i = 0; i < row.size(); ++i) {
      const Variant& value = row[i];
      if (table.name == "qzmap100" && table.columns[i] == "ownr" &&
          value.type() == Variant::Type::kBinary) {
        const Binary& bytes = value.AsBinary();
        out.push_back(
            "owner " +
            DecipherOwner(std::string(bytes.begin(), bytes.end())).value_or("(cannot be read)"));
        continue;
      }
      out.push_back(Value(value));
    }
    return out;
  }
  std::vector<String> Of(const Row& row) const {
    std::vector<String> out;
    for (const Variant& value : row) out.push_back(Value(value));
    return out;
  }
};

using Text = std::vector<String>;

// What a change did to one table: rows gone and rows new (as multisets), a
// gone and a new row of the same key paired as one changed row.
struct TableDiff {
  std::multiset<Text> removed, added;
  std::multiset<std::pair<Text, Text>> changed;
  bool operator==(const TableDiff&) const = default;
};
using Diff = std::map<String, TableDiff>;

// Pairs gone and new rows by key (the key columns' positions; all columns
// for a table without one): a key with exactly one of each is a changed row.
TableDiff Pair(const std::vector<std::size_t>& key, std::multiset<Text> gone,
               std::multiset<Text> fresh) {
  // Rows in both are not changes (a multiset difference).
  for (auto it = gone.begin(); it != gone.end();) {
    auto match = fresh.find(*it);
    if (match == fresh.end()) {
      ++it;
    } else {
      fresh.erase(match);
      it = gone.erase(it);
    }
  }
  auto key_of = [&](const Text& row) {
    if (key.empty()) return row;
    Text k;
    for (std::size_t i : key) k.push_back(row[i]);
    return k;
  };
  std::map<Text, std::pair<std::vector<Text>, std::vector<Text>>> by_key;
  for (const Text& row : gone) by_key[key_of(row)].first.push_back(row);
  for (const Text& row : fresh) by_key[key_of(row)].second.push_back(row);
  TableDiff diff;
  for (const auto& [k, rows] : by_key) {
    if (rows.first.size() == 1 && rows.second.size() == 1) {
      diff.changed.emplace(rows.first.front(), rows.second.front());
      continue;
    }
    diff.removed.insert(rows.first.begin(), rows.first.end());
    diff.added.insert(rows.second.begin(), rows.second.end());
  }
  return diff;
}

// The positions of the columns that find one row of table.
std::vector<std::size_t> KeyOf(const insight::TableInfo& table) {
  std::vector<String> names = {"mprf"};
  if (table.kind == insight::TableKind::kRule || table.kind == insight::TableKind::kFunction) {
    names = {"mprf", "vers", "rele", "cust"};
    names.insert(names.end(), table.rule_key.begin(), table.rule_key.end());
  } else if (table.name == "qzmap101") {
    names = {"mprf", "levl"};
  } else if (table.name == "qzusr100") {
    names = {"usrn"};
  } else if (table.name == "qzusr110") {
    names = {"mprf", "usrn"};
  }
  std::vector<std::size_t> key;
  for (const String& name : names) {
    auto at = std::find(table.columns.begin(), table.columns.end(), name);
    key.push_back(static_cast<std::size_t>(at - table.columns.begin()));
  }
  return key;
}

// Every row of every table a change may touch: the component's tables but
// the dictionary, and the revision-control tables (which no preview lists,
// so a change there is a disagreement too).
using State = std::map<String, std::multiset<Text>>;
const char* const kRevisionTables[] = {"qzcfg100", "qzcfg110"};

State ReadAll(const DataSource& source, const Canon& canon) {
  auto connection = insight::Connect(source);
  State state;
  for (const insight::TableInfo& table : insight::AllTables()) {
    if (table.kind == insight::TableKind::kDictionary) continue;
    std::multiset<Text>& rows = state[table.name];
    for (const Row& row : insight::ReadRows(*connection, insight::SelectAll(table))) {
      rows.insert(canon.Of(table, row));
    }
  }
  for (const char* table : kRevisionTables) {
    std::multiset<Text>& rows = state[table];
    for (const Row& row : insight::ReadRows(*connection, String("select * from ") + table)) {
      rows.insert(canon.Of(row));
    }
  }
  return state;
}

Diff Between(const State& before, const State& after) {
  Diff diff;
  for (const auto& [name, old_rows] : before) {
    const std::multiset<Text>& new_rows = after.at(name);
    if (old_rows == new_rows) continue;
    std::vector<std::size_t> key;
    for (const insight::TableInfo& table : insight::AllTables()) {
      if (table.name == name) key = KeyOf(table);
    }
    diff[name] = Pair(key, old_rows, new_rows);
  }
  return diff;
}

Diff Listed(const std::vector<insight::TableChanges>& changes, const Canon& canon) {
  Diff diff;
  for (const insight::TableChanges& table : changes) {
    const insight::TableInfo& info = insight::TableNamed(table.table);
    std::multiset<Text> gone, fresh;
    for (const Row& row : table.removed) gone.insert(canon.Of(info, row));
    for (const Row& row : table.added) fresh.insert(canon.Of(info, row));
    for (const insight::RowChange& row : table.changed) {
      gone.insert(canon.Of(info, row.before));
      fresh.insert(canon.Of(info, row.after));
    }
    TableDiff paired = Pair(KeyOf(info), gone, fresh);
    if (paired == TableDiff{}) continue;  // only stamps differ
    diff[table.table] = paired;
  }
  return diff;
}

String Show(const Diff& diff) {
  std::ostringstream out;
  auto row = [&](const Text& values) {
    for (const String& v : values) out << v << " ";
  };
  for (const auto& [table, d] : diff) {
    out << table << ":\n";
    for (const Text& r : d.removed) out << "  - ", row(r), out << "\n";
    for (const Text& r : d.added) out << "  + ", row(r), out << "\n";
    for (const auto& [b, a] : d.changed) out << "  ~ ", row(b), out << "=> ", row(a), out << "\n";
  }
  return out.str();
}

// Random changes over the demo estate: profiles, VRCs, tables and functions
// that exist, and some that do not.
class Draws {
 public:
  // The profiles' own VRCs are read from db as it stands.
  Draws(unsigned start, const testing::TestDatabase& db) : db_(db), rng_(start) {}

  Change Next() {
    // Copies come up more often than the rest, so that what deletions take
    // away comes back and the estate keeps rules to change.
    switch (Pick(12)) {
      case 0: {
        // A standard profile of its own pair of applications; a derived one
        // of its parent's, with the "U" its version then needs.
        const Integer mprf = OneOf<Integer>({130, 130, 140, 100});
        const String description = "drawn " + std::to_string(Pick(1000));
        const String parent = OneOf<String>({"__", "V10_R1_STD", "V10U_R1_ACME", "V99_R9_NONE"});
        const bool standard = parent == "__";
        const app::Vrc vrc{"V" + std::to_string(13 + Pick(3)) + (standard ? "" : "U"), "R1", "X"};
        const bool revision = Pick(2) == 0;
        return CreateProfile{
            mprf,      description, standard ? "LEGCRM" : "LEGERP",
            "ORVOERP", vrc,         parent,
            revision,  "Orvo ERP",  revision ? app::Vrc{"V16", "R1", "X"} : app::Vrc{}};
      }
      case 1: {
        const Integer mprf = Profile();
        const String description = "changed " + std::to_string(Pick(1000));
        const bool revision = Pick(2) == 0;
        return UpdateProfile{mprf,
                             description,
                             revision,
                             OwnVrc(mprf),
                             "Orvo ERP",
                             OneOf<String>({"__", "V10_R1_STD", "V10U_R1_ACME"}),
                             revision ? app::Vrc{"V11", "R1", "STD"} : app::Vrc{}};
      }
      case 2:
        return DeleteProfile{Profile()};
      case 3:
      case 9:
      case 10: {
        const Integer source = Pick(2) == 0 ? Integer{100} : Profile(), target = Profile();
        return CopyRules{source, target, Vrc(target), Tables()};
      }
      case 4: {
        const Integer mprf = Profile();
        return DeleteRules{mprf, Vrc(mprf), Tables()};
      }
      case 5: {
        const Integer mprf = Profile();
        return ExpireRules{mprf, Vrc(mprf), Tables(), Pick(3) != 0};
      }
      case 6:
      case 11: {
        const Integer source = Pick(2) == 0 ? Integer{100} : Profile(), target = Profile();
        return CopyFunction{source, target, Vrc(target), Function()};
      }
      case 7: {
        const Integer mprf = Profile();
        return ExpireFunction{mprf, Vrc(mprf), Function(), Pick(3) != 0};
      }
      default: {
        const Integer mprf = Profile();
        return DeleteFunction{mprf, Vrc(mprf), Function()};
      }
    }
  }

  // Mostly an administrator; now and then an owner, someone else's
  // maintainer or a viewer, whom the permission table may refuse.
  Principal Who() {
    switch (Pick(10)) {
      case 0:
        return {"alice", Role::kMaintainer, EntryPoint::kPage};
      case 1:
        return {"bob", Role::kMaintainer, EntryPoint::kApi};
      case 2:
        return {"vera", Role::kViewer, EntryPoint::kPage};
      default:
        return {"root", Role::kAdministrator, EntryPoint::kCli};
    }
  }

 private:
  unsigned Pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }
  template <typename T>
  T OneOf(std::initializer_list<T> items) {
    return items.begin()[Pick(static_cast<unsigned>(items.size()))];
  }
  Integer Profile() { return OneOf<Integer>({100, 100, 110, 120, 120, 200, 300, 130, 999}); }
  app::Vrc OwnVrc(Integer mprf) {
    const auto rows =
        db_.Rows("select vers, rele, cust from qzmap100 where mprf = " + std::to_string(mprf));
    if (rows.empty()) return {"V13", "R1", "X"};
    return {rows[0][0], rows[0][1], rows[0][2]};
  }
  // Mostly the profile's own VRC; else the standard profile's development
  // VRC, or one nobody has.
  app::Vrc Vrc(Integer mprf) {
    switch (Pick(6)) {
      case 0:
        return {"V11", "R1", "STD"};
      case 1:
        return {"V99", "R9", "NONE"};
      default:
        return OwnVrc(mprf);
    }
  }
  std::vector<TableKey> Tables() {
    static const TableKey kAll[] = {
        {"or", "itm", "001"}, {"or", "cus", "100"}, {"or", "sls", "400"}, {"or", "sls", "401"},
        {"cr", "acc", "010"}, {"cr", "con", "020"}, {"zz", "zzz", "999"}};
    std::vector<TableKey> tables;
    for (unsigned n = 1 + Pick(3); n > 0; --n) {
      const TableKey& key = kAll[Pick(std::size(kAll))];
      if (std::find(tables.begin(), tables.end(), key) == tables.end()) tables.push_back(key);
    }
    return tables;
  }
  String Function() {
    return OneOf<String>({"conv_date", "fmt_item_code", "map_country", "map_uom", "old_price",
                          "fmt_phone", "no_such_function"});
  }

  const testing::TestDatabase& db_;
  std::mt19937 rng_;
};

String Describe(const Change& change, const Principal& who) {
  MemberCall call = ToCall(change, who.name);
  String text = who.name + ": " + call.member->name + "(";
  for (const Variant& arg : call.args) {
    text += (arg.IsNull() ? String("Null") : arg.ToString()) + ", ";
  }
  return text + ")";
}

class PreviewOutcomeTest : public testing::ComponentTest {
 protected:
  void SetUp() override {
    app::PopulateDemoEstate(object_);
    EnsureTables(app_.db());
  }

  Application app_{Settings{DataSource{db_.dsn(), db_.uid(), db_.pwd()}}};
};

// MIGPROF_PREVIEW_DRAWS sets the number of changes (default 200, a few
// seconds on the embedded database), MIGPROF_PREVIEW_START the start value
// of the draws.
TEST_F(PreviewOutcomeTest, APreviewListsTheRowsApplyChanges) {
  const char* wanted = std::getenv("MIGPROF_PREVIEW_DRAWS");
  const int draws = wanted ? std::atoi(wanted) : 200;
  const char* start = std::getenv("MIGPROF_PREVIEW_START");
  const Canon canon{DateTime::Now().ToString()};
  Draws draw(start ? static_cast<unsigned>(std::atol(start)) : 20261207u, db_);
  int changed = 0, refused = 0, forbidden = 0;
  for (int i = 0; i < draws; ++i) {
    const Principal who = draw.Who();
    const Change change = draw.Next();
    SCOPED_TRACE("draw " + std::to_string(i) + " " + Describe(change, who));
    const State before = ReadAll(app_.source(), canon);
    PreviewResult preview;
    try {
      preview = Preview(app_, who, change);
    } catch (const Forbidden&) {
      ++forbidden;
      EXPECT_THROW(Apply(app_, who, change), Forbidden);
      EXPECT_EQ(ReadAll(app_.source(), canon), before);
      continue;
    }
    const MemberOutcome outcome = Apply(app_, who, change);
    const Diff made = Between(before, ReadAll(app_.source(), canon));
    const Diff listed = Listed(preview.changes, canon);
    EXPECT_TRUE(listed == made) << "listed:\n" << Show(listed) << "made:\n" << Show(made);
    EXPECT_EQ(preview.outcome.Succeeded(), outcome.Succeeded()) << outcome.FailureText();
    EXPECT_EQ(preview.outcome.FailureNumber(), outcome.FailureNumber());
    made.empty() ? ++refused : ++changed;
  }
  // The draws reach all three ends.
  EXPECT_GT(changed, draws / 20);
  EXPECT_GT(refused, draws / 20);
  EXPECT_GT(forbidden, 0);
  std::cout << draws << " draws: " << changed << " changed rows, " << refused << " changed none, "
            << forbidden << " forbidden\n";
  RecordProperty("changed", changed);
  RecordProperty("unchanged", refused);
  RecordProperty("forbidden", forbidden);
}

}  // namespace
}  // namespace migprof::app
