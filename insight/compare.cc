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

Json SideJson(const Side& side) {
  return Json{{"mprf", side.mprf}, {"vers", side.vers}, {"rele", side.rele}, {"cust", side.cust}};
}

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

Json Compare(const DataSource& source, const RuleSet& left_set, const RuleSet& right_set) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  Side left = Resolve(*connection, left_set);
  Side right = Resolve(*connection, right_set);
  const bool right_is_parent = !left.verf.empty() && left.verf == right.own_vers &&
                               left.relf == right.own_rele && left.cusf == right.own_cust;
  Json tables = Json::object();
  Json summary{{"same", 0}, {"changed", 0}, {"only_left", 0}, {"only_right", 0}};
  for (const TableInfo& table : AllTables()) {
    if (table.kind != TableKind::kRule && table.kind != TableKind::kFunction) continue;
    std::vector<std::size_t> key_index;
    Grouped lefts = ReadGrouped(*connection, table, left, key_index);
    Grouped rights = ReadGrouped(*connection, table, right, key_index);
    std::vector<bool> is_key(table.columns.size(), false);
    for (std::size_t i : key_index) is_key[i] = true;

    Json entries = Json::array();
    auto entry = [&](const Row& any, const char* status) {
      Json key = Json::object();
      for (std::size_t i : key_index) key[table.columns[i]] = ValueJson(any[i]);
      summary[status] = summary[status].get<long>() + 1;
      return Json{{"key", std::move(key)}, {"status", status}};
    };
    auto add_lineage = [&](Json& item, const char* lineage) {
      if (right_is_parent) item["lineage"] = lineage;
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
          Json item = entry(ls[n], "only_left");
          add_lineage(item, "local");
          entries.push_back(std::move(item));
        } else if (n >= ls.size()) {
          entries.push_back(entry(rs[n], "only_right"));
        } else {
          Json changes = Json::object();
          for (std::size_t i = kScopeColumns; i < table.columns.size(); ++i) {
            if (is_key[i] || IsStamp(table.columns[i]) || ls[n][i] == rs[n][i]) continue;
            changes[table.columns[i]] =
                Json{{"left", ValueJson(ls[n][i])}, {"right", ValueJson(rs[n][i])}};
          }
          bool same = changes.empty();
          Json item = entry(ls[n], same ? "same" : "changed");
          if (!same) item["changes"] = std::move(changes);
          add_lineage(item, same ? "inherited" : "overridden");
          entries.push_back(std::move(item));
        }
      }
      if (take_left) ++l;
      if (take_right) ++r;
    }
    if (!entries.empty()) tables[table.name] = std::move(entries);
  }
  return Json{{"left", SideJson(left)},
              {"right", SideJson(right)},
              {"right_is_parent", right_is_parent},
              {"tables", std::move(tables)},
              {"summary", std::move(summary)}};
}

}  // namespace migprof::insight
