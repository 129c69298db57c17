// The total of a profile's coverage without reading the whole dictionary:
// the tables the profile has rules for are counted as TablesCoverage counts
// them, and every other table of the target's dictionary (all its elements
// unmapped) by one grouped statement that answers a row per table.
#include <set>
#include <tuple>

#include "component/sql_text.h"
#include "insight/coverage.h"
#include "insight/rows.h"

namespace migprof::insight {
namespace {

String Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? String() : value.ToString();
}

long long Number(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? 0 : static_cast<long long>(value.ToDouble());
}

// " (a = 'x' and b = 'y' and c = 'z') or (...)" over keys.
String AnyOf(const std::set<std::tuple<String, String, String>>& keys, const char* a, const char* b,
             const char* c) {
  String out;
  for (const auto& [x, y, z] : keys) {
    out += String(out.empty() ? " (" : " or (") + a + " = " + SqlQuoted(x) + " and " + b + " = " +
           SqlQuoted(y) + " and " + c + " = " + SqlQuoted(z) + ")";
  }
  return out;
}

}  // namespace

CoverageCounts CoverageTotal(const DataSource& source, const RuleSet& set) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  const std::vector<Row> profile =
      ReadRows(*connection, "select tapp, vers, rele, cust from qzmap100" + WhereProfile(set.mprf));
  // A profile that is not there is refused as ProfileCoverage refuses it.
  if (profile.empty()) return ProfileCoverage(source, set, false).total;
  const String app = SqlQuoted(Text(profile[0][0]));
  const std::vector<String> vrc =
      set.vrc ? *set.vrc
              : std::vector<String>{Text(profile[0][1]), Text(profile[0][2]), Text(profile[0][3])};
  const String rules = WhereProfile(set.mprf) + AndVrc(vrc[0], vrc[1], vrc[2]);

  // Whatever the shortcut below cannot count to the letter is counted the
  // whole way.
  const auto whole = [&] { return ProfileCoverage(source, set, false).total; };

  // The tables any rule of the profile names; they are counted as
  // TablesCoverage counts them. A rule without a table key is counted by
  // ProfileCoverage only (no table list can name it).
  std::set<std::tuple<String, String, String>> named;
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    for (const Row& row : ReadRows(
             *connection, String("select distinct tcpac, tcmod, tflno from ") + table + rules)) {
      if (row[0].IsNull() || row[1].IsNull() || row[2].IsNull()) return whole();
      named.emplace(Text(row[0]), Text(row[1]), Text(row[2]));
    }
  }
  std::vector<TableName> tables;
  for (const auto& [pac, mod, flno] : named) tables.push_back(TableName{pac, mod, flno});
  CoverageCounts total = TablesCoverage(source, {set.mprf, vrc}, tables).total;

  // Legacy field lists of the target stand in for missing dictionary
  // tables table by table, and dictionary rows without a table key match
  // no list: an estate that has either is counted whole.
  if (Number(ReadRows(*connection, "select count(*) from qzlgy150 where appl = " + app +
                                       " and cpac = 'qz' and cmod = 'tbl'")
                 .front()[0]) > 0 ||
      Number(ReadRows(*connection, "select count(*) from qzddi150 where appl = " + app +
                                       " and (cpac is null or cmod is null or flno is null)")
                 .front()[0]) > 0) {
    return whole();
  }

  // Every other dictionary table, one row each: its elements are the sum
  // of its fields' (a field of depth n is n elements) when no two fields
  // share a name, no name could be an element name of another field
  // ("name(1)") and every row of the group has the same table key to the
  // letter (the counts tell tables apart by exact key, the database's
  // grouping does not). A table where that does not hold is counted whole.
  String where = " where appl = " + app;
  if (!named.empty()) where += " and not (" + AnyOf(named, "cpac", "cmod", "flno") + ")";
  const std::vector<Row> groups = ReadRows(
      *connection,
      "select count(*), count(distinct fdnm), "
      "sum(case when dept is null or dept = 0 then 1 when dept > 0 then dept else 0 end), "
      "sum(case when fdnm is null or fdnm like '%(%' then 1 else 0 end), "
      "case when min(cast(cpac as varbinary(64))) = max(cast(cpac as varbinary(64))) and "
      "min(cast(cmod as varbinary(64))) = max(cast(cmod as varbinary(64))) and "
      "min(cast(flno as varbinary(64))) = max(cast(flno as varbinary(64))) then 1 else 0 end "
      "from qzddi150" +
          where + " group by cpac, cmod, flno");
  long long elements = 0;
  for (const Row& group : groups) {
    if (Number(group[0]) != Number(group[1]) || Number(group[3]) != 0 || Number(group[4]) != 1) {
      return whole();
    }
    elements += Number(group[2]);
  }
  total.elements += elements;
  total.unmapped += elements;
  return total;
}

}  // namespace migprof::insight
