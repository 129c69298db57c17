// The total of a profile's coverage without reading the whole dictionary:
// the tables the profile's rules name are counted as TablesCoverage counts
// them, every other table of the target's dictionary (all its elements
// unmapped) by one grouped statement that answers a row per table.
#include <set>
#include <tuple>

#include "component/sql_text.h"
#include "insight/coverage.h"
#include "insight/rows.h"

namespace migprof::insight {
namespace {

using Key = std::tuple<String, String, String>;

}  // namespace

CoverageCounts CoverageTotal(const DataSource& source, const RuleSet& set) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  const std::vector<Row> profile =
      ReadRows(*connection, "select tapp, vers, rele, cust from qzmap100" + WhereProfile(set.mprf));
  // Whatever the shortcut below cannot count to the letter is counted the
  // whole way (also a profile that is not there, refused as it refuses it).
  const auto whole = [&] { return ProfileCoverage(source, set, false).total; };
  if (profile.empty()) return whole();
  const String app = SqlQuoted(TextOf(profile[0][0]));
  const std::vector<String> vrc =
      set.vrc ? *set.vrc
              : std::vector<String>{TextOf(profile[0][1]), TextOf(profile[0][2]),
                                    TextOf(profile[0][3])};
  const String rules = WhereProfile(set.mprf) + AndVrc(vrc[0], vrc[1], vrc[2]);

  // The tables any rule of the profile names. A rule without a table key
  // is counted the whole way (no table list can name it), and so is a
  // target with legacy field lists (they stand in for missing dictionary
  // tables one by one).
  std::set<Key> named;
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    for (const Row& row : ReadRows(
             *connection, String("select distinct tcpac, tcmod, tflno from ") + table + rules)) {
      if (row[0].IsNull() || row[1].IsNull() || row[2].IsNull()) return whole();
      named.emplace(TextOf(row[0]), TextOf(row[1]), TextOf(row[2]));
    }
  }
  if (!ReadRows(*connection, "select flno from qzlgy150 where appl = " + app +
                                 " and cpac = 'qz' and cmod = 'tbl'")
           .empty()) {
    return whole();
  }
  std::vector<TableName> list;
  for (const auto& [pac, mod, flno] : named) list.push_back(TableName{pac, mod, flno});
  const Coverage counted = TablesCoverage(source, {set.mprf, vrc}, list);
  CoverageCounts total = counted.total;

  // Every other table of the dictionary, one row each from a grouped read
  // (the database groups by its collation: one group holds every spelling
  // of a key, and a group of a named table holds a spelling counted above).
  // All its elements are unmapped; a field of depth 0 is one element, one
  // of a negative depth none. That sum is the count when no two fields of
  // the group share a name and none is an array (whose element names,
  // "name(1)", another field could hold); a group where either may not hold
  // is counted as the named ones are.
  std::set<Key> done;
  for (const TableCoverage& table : counted.tables) {
    done.emplace(table.tcpac, table.tcmod, table.tflno);
  }
  std::vector<TableName> more;
  long long other = 0;
  for (const Row& group :
       ReadRows(*connection,
                "select cpac, cmod, flno, count(*), count(distinct fdnm), "
                "sum(case when dept < 0 then 0 else 1 end), "
                "sum(case when dept > 0 then 1 else 0 end) from qzddi150 where appl = " +
                    app + " group by cpac, cmod, flno")) {
    // Rows without a table key are one table with the empty key to the
    // whole count, which no list can name.
    if (group[0].IsNull() || group[1].IsNull() || group[2].IsNull()) return whole();
    if (done.count(Key{TextOf(group[0]), TextOf(group[1]), TextOf(group[2])})) continue;
    if (group[3].ToDouble() != group[4].ToDouble() || group[6].ToDouble() != 0) {
      more.push_back(TableName{TextOf(group[0]), TextOf(group[1]), TextOf(group[2])});
    } else {
      other += static_cast<long long>(group[5].ToDouble());
    }
  }
  if (!more.empty()) {
    const CoverageCounts extra = TablesCoverage(source, {set.mprf, vrc}, more).total;
    total.elements += extra.elements;
    total.unmapped += extra.unmapped;
  }
  total.elements += other;
  total.unmapped += other;
  return total;
}

}  // namespace migprof::insight
