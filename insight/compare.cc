// Compare: the rules of two profile/VRC pairs, matched rule by rule on each
// table's rule key and compared column by column.
#include <algorithm>
#include <map>

#include "insight/rows.h"
#include "migprof/com_error.h"

namespace migprof::insight {
namespace {

// Columns every rule row starts with: the profile and the VRC.
constexpr std::size_t kScopeColumns = 4;

// Who changed a rule last and when: stamped by every copy, so they say
// nothing about the rule itself and are left out of the comparison.
bool IsStamp(const std::string& column) {
  return column == "lusr" || column == "lurn" || column == "ldat";
}

struct Side {
  Integer mprf;
  String vers, rele, cust;
  String verf, relf, cusf;  // the profile's parent VRC
  String own_vers, own_rele, own_cust;
};

Side Resolve(ado::Connection& connection, const RuleSet& set) {
  std::vector<Row> rows =
      ReadRows(connection,
               "select vers, rele, cust, verf, relf, cusf from qzmap100" + WhereProfile(set.mprf));
  if (rows.empty()) {
    throw ComError(kInsightRefused, "Profile " + std::to_string(set.mprf) + " does not exist");
  }
  auto text = [](const Variant& value) { return value.IsNull() ? String() : value.ToString(); };
  const Row& row = rows.front();
  Side side{set.mprf,     text(row[0]), text(row[1]), text(row[2]), text(row[3]),
            text(row[4]), text(row[5]), text(row[0]), text(row[1]), text(row[2])};
  if (set.vrc) {
    side.vers = (*set.vrc)[0];
    side.rele = (*set.vrc)[1];
    side.cust = (*set.vrc)[2];
  }
  return side;
}

Scope ScopeOf(const Side& side) { return Scope{side.mprf, side.vers, side.rele, side.cust}; }

// The rows of table under side, grouped by rule key (as its JSON text);
// rows of one key in a fixed order, so duplicates pair up the same way on
// every run.
using Grouped = std::map<std::string, std::vector<Row>>;

Grouped ReadGrouped(ado::Connection& connection, const TableInfo& table, const Side& side,
                    std::vector<std::size_t>& key_index) {
  key_index.clear();
  for (const std::string& name : table.rule_key) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i] == name) key_index.push_back(i);
    }
  }
  Grouped grouped;
  for (Row& row : ReadRows(
           connection,
           SelectAll(table, WhereProfile(side.mprf) + AndVrc(side.vers, side.rele, side.cust)))) {
    Json key = Json::array();
    for (std::size_t i : key_index) key.push_back(ValueJson(row[i]));
    grouped[key.dump()].push_back(std::move(row));
  }
  for (auto& [key, rows] : grouped) {
    if (rows.size() > 1) {
      std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return RowJson(table.columns, a).dump() < RowJson(table.columns, b).dump();
      });
    }
  }
  return grouped;
}

}  // namespace

const char* RuleStatusName(RuleStatus status) {
  static const char* const kNames[] = {"same", "changed", "only_left", "only_right"};
  return kNames[static_cast<int>(status)];
}

const char* RuleLineageName(RuleLineage lineage) {
  static const char* const kNames[] = {"", "inherited", "overridden", "local"};
  return kNames[static_cast<int>(lineage)];
}

Comparison Compare(const DataSource& source, const RuleSet& left_set, const RuleSet& right_set) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  Side left = Resolve(*connection, left_set);
  Side right = Resolve(*connection, right_set);
  Comparison result;
  result.left = ScopeOf(left);
  result.right = ScopeOf(right);
  result.right_is_parent = !left.verf.empty() && left.verf == right.own_vers &&
                           left.relf == right.own_rele && left.cusf == right.own_cust;
  long long* counts[] = {&result.same, &result.changed, &result.only_left, &result.only_right};
  for (const TableInfo& table : AllTables()) {
    if (table.kind != TableKind::kRule && table.kind != TableKind::kFunction) continue;
    std::vector<std::size_t> key_index;
    Grouped lefts = ReadGrouped(*connection, table, left, key_index);
    Grouped rights = ReadGrouped(*connection, table, right, key_index);
    std::vector<bool> is_key(table.columns.size(), false);
    for (std::size_t i : key_index) is_key[i] = true;

    TableComparison entries{table.name, {}};
    auto add = [&](const Row& any, RuleStatus status, RuleLineage lineage) -> RuleComparison& {
      RuleComparison rule;
      for (std::size_t i : key_index) rule.key.emplace_back(table.columns[i], any[i]);
      rule.status = status;
      rule.lineage = result.right_is_parent ? lineage : RuleLineage::kUnknown;
      ++*counts[static_cast<int>(status)];
      entries.rules.push_back(std::move(rule));
      return entries.rules.back();
    };
    static const std::vector<Row> kNoRows;
    auto l = lefts.begin();
    auto r = rights.begin();
    while (l != lefts.end() || r != rights.end()) {
      const bool take_left = r == rights.end() || (l != lefts.end() && l->first <= r->first);
      const bool take_right = l == lefts.end() || (r != rights.end() && r->first <= l->first);
      const std::vector<Row>& ls = take_left ? l->second : kNoRows;
      const std::vector<Row>& rs = take_right ? r->second : kNoRows;
      for (std::size_t n = 0; n < std::max(ls.size(), rs.size()); ++n) {
        if (n >= rs.size()) {
          add(ls[n], RuleStatus::kOnlyLeft, RuleLineage::kLocal);
        } else if (n >= ls.size()) {
          add(rs[n], RuleStatus::kOnlyRight, RuleLineage::kUnknown);
        } else {
          std::vector<ColumnDifference> changes;
          for (std::size_t i = kScopeColumns; i < table.columns.size(); ++i) {
            if (is_key[i] || IsStamp(table.columns[i]) || ls[n][i] == rs[n][i]) continue;
            changes.push_back(ColumnDifference{table.columns[i], ls[n][i], rs[n][i]});
          }
          const bool same = changes.empty();
          add(ls[n], same ? RuleStatus::kSame : RuleStatus::kChanged,
              same ? RuleLineage::kInherited : RuleLineage::kOverridden)
              .changes = std::move(changes);
        }
      }
      if (take_left) ++l;
      if (take_right) ++r;
    }
    if (!entries.rules.empty()) result.tables.push_back(std::move(entries));
  }
  return result;
}

}  // namespace migprof::insight
