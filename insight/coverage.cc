// Coverage: the dictionary of the target application against the rules of
// one profile and VRC, each read once and matched in memory, so the cost is
// a handful of statements whatever the number of rules.
#include "insight/coverage.h"

#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "component/sql_text.h"
#include "insight/rows.h"
#include "migprof/com_error.h"

namespace migprof::insight {
namespace {

using Key = std::tuple<String, String, String>;

Key KeyOf(const Row& row, std::size_t first = 0) {
  return {TextOf(row[first]), TextOf(row[first + 1]), TextOf(row[first + 2])};
}

// " where (cond and a = 'x' and b = 'y' and c = 'z') or (...)": rows that
// meet cond and hold any of keys in the columns a, b and c. Each term
// repeats cond so that it names a whole index key: every database then
// seeks each table instead of reading every row that meets cond. keys must
// not be empty.
String WhereAnyOf(const String& cond, const std::set<Key>& keys, const char* a, const char* b,
                  const char* c) {
  String out;
  for (const Key& key : keys) {
    out += String(out.empty() ? " where (" : " or (") + cond + " and " + a + " = " +
           SqlQuoted(std::get<0>(key)) + " and " + b + " = " + SqlQuoted(std::get<1>(key)) +
           " and " + c + " = " + SqlQuoted(std::get<2>(key)) + ")";
  }
  return out;
}

// One table while it is counted: its dictionary elements with what the
// rules say of each.
struct Element {
  String name;
  bool in_force = false;  // a field rule that is not expired
  bool any_rule = false;
};
struct Work {
  TableCoverage result;
  std::vector<Element> elements;
  std::unordered_map<String, std::size_t> index;  // element name -> elements
};

class Counter {
 public:
  // only: the tables to count; all of the profile and the dictionary
  // without it.
  Counter(const DataSource& source, const RuleSet& set, std::optional<std::set<Key>> only)
      : connection_(Connect(source)), only_(std::move(only)) {
    Resolve(set);
  }

  Coverage Run(const DataSource* lineage_source) {
    if (only_ && only_->empty()) return std::move(coverage_);
    Dictionary();
    TableRules();
    FieldRules();
    Sources();
    Functions();
    if (lineage_source) Lineage(*lineage_source);
    for (auto& [key, work] : tables_) {
      CoverageCounts& counts = work.result.counts;
      for (const Element& element : work.elements) {
        ++counts.elements;
        if (element.in_force) {
          ++counts.mapped;
        } else if (element.any_rule) {
          ++counts.expired;
          work.result.expired.push_back(element.name);
        } else {
          ++counts.unmapped;
          work.result.unmapped.push_back(element.name);
        }
      }
      Add(coverage_.total, counts);
      coverage_.tables.push_back(std::move(work.result));
    }
    return std::move(coverage_);
  }

 private:
  static void Add(CoverageCounts& total, const CoverageCounts& c) {
    total.elements += c.elements;
    total.mapped += c.mapped;
    total.expired += c.expired;
    total.unmapped += c.unmapped;
    total.field_rules += c.field_rules;
    total.stale_rules += c.stale_rules;
    total.missing_sources += c.missing_sources;
    total.missing_functions += c.missing_functions;
    total.inherited += c.inherited;
    total.overridden += c.overridden;
    total.local += c.local;
  }

  void Resolve(const RuleSet& set) {
    std::vector<Row> rows = ReadRows(
        *connection_, "select sapp, tapp, vers, rele, cust from qzmap100" + WhereProfile(set.mprf));
    if (rows.empty()) {
      throw ComError(kInsightRefused, "Profile " + std::to_string(set.mprf) + " does not exist");
    }
    const Row& row = rows.front();
    coverage_.source_app = TextOf(row[0]);
    coverage_.target_app = TextOf(row[1]);
    coverage_.scope = Scope{set.mprf, TextOf(row[2]), TextOf(row[3]), TextOf(row[4])};
    if (set.vrc) {
      coverage_.scope.vers = (*set.vrc)[0];
      coverage_.scope.rele = (*set.vrc)[1];
      coverage_.scope.cust = (*set.vrc)[2];
    }
    const Scope& s = coverage_.scope;
    rules_ = WhereProfile(static_cast<Integer>(s.mprf)) + AndVrc(s.vers, s.rele, s.cust);
  }

  // " where cond", kept to the listed tables (columns a, b, c) when there
  // is a list.
  String Where(const String& cond, const char* a, const char* b, const char* c) const {
    return only_ ? WhereAnyOf(cond, *only_, a, b, c) : " where " + cond;
  }

  // The rules of the profile and VRC (of the listed tables).
  String RulesWhere() const {
    return Where(rules_.substr(String(" where ").size()), "tcpac", "tcmod", "tflno");
  }

  Work& Table(const Key& key) {
    auto [it, added] = tables_.try_emplace(key);
    if (added)
      std::tie(it->second.result.tcpac, it->second.result.tcmod, it->second.result.tflno) = key;
    return it->second;
  }

  void AddElements(Work& work, const String& field, long depth) {
    work.result.in_dictionary = true;
    for (String& name : FieldElements(field, depth)) {
      if (work.index.try_emplace(name, work.elements.size()).second) {
        work.elements.push_back(Element{std::move(name)});
      }
    }
  }

  // The target application's fields; a legacy table (package qz, module
  // tbl) without dictionary rows takes its plain fields from the legacy
  // field list, as the rule copy does.
  void Dictionary() {
    const String app = SqlQuoted(coverage_.target_app);
    for (const Row& row :
         ReadRows(*connection_, "select cpac, cmod, flno, fdnm, dept from qzddi150" +
                                    Where("appl = " + app, "cpac", "cmod", "flno") +
                                    " order by cpac, cmod, flno, fdnm")) {
      AddElements(Table(KeyOf(row)), TextOf(row[3]), row[4].IsNull() ? 0 : row[4].ToLong());
    }
    for (const Row& row :
         ReadRows(*connection_, "select cpac, cmod, flno, flna from qzlgy150" +
                                    Where("appl = " + app + " and cpac = 'qz' and cmod = 'tbl'",
                                          "cpac", "cmod", "flno") +
                                    " order by flno, flna")) {
      const Key key = KeyOf(row);
      auto found = tables_.find(key);
      if (found != tables_.end() && !legacy_.count(key)) continue;  // qzddi150 has it
      legacy_.insert(key);
      Work& work = Table(key);
      AddElements(work, TextOf(row[3]), 0);
    }
  }

  void TableRules() {
    for (const Row& row :
         ReadRows(*connection_, "select tcpac, tcmod, tflno, stat from qzmap120" + RulesWhere())) {
      Table(KeyOf(row)).result.table_rule = TextOf(row[3]);
    }
  }

  void FieldRules() {
    for (const Row& row : ReadRows(
             *connection_, "select tcpac, tcmod, tflno, fdnm, stat from qzmap140" + RulesWhere())) {
      Work& work = Table(KeyOf(row));
      ++work.result.counts.field_rules;
      const String name = TextOf(row[3]);
      auto found = work.index.find(name);
      if (found == work.index.end()) {
        ++work.result.counts.stale_rules;
        work.result.stale.push_back(name);
        continue;
      }
      Element& element = work.elements[found->second];
      element.any_rule = true;
      const bool expired = TextOf(row[4]) == "X" || work.result.table_rule.value_or("") == "X";
      if (!expired) element.in_force = true;
    }
  }

  // Source tables may come from either application of the profile; for
  // listed tables only the source tables their rules name are looked up.
  void Sources() {
    const std::vector<Row> rules =
        ReadRows(*connection_,
                 "select tcpac, tcmod, tflno, scpac, scmod, sflno from qzmap130" + RulesWhere());
    const String apps = "appl in (" + SqlQuoted(coverage_.source_app) + ", " +
                        SqlQuoted(coverage_.target_app) + ")";
    String where = " where " + apps;
    if (only_) {
      std::set<Key> used;
      for (const Row& row : rules) used.insert(KeyOf(row, 3));
      if (used.empty()) return;
      where = WhereAnyOf(apps, used, "cpac", "cmod", "flno");
    }
    std::set<Key> known;
    for (const char* list : {"qzddi150", "qzlgy150"}) {
      for (const Row& row : ReadRows(
               *connection_, "select distinct cpac, cmod, flno from " + String(list) + where)) {
        known.insert(KeyOf(row));
      }
    }
    for (const Row& row : rules) {
      const Key source = KeyOf(row, 3);
      if (known.count(source)) continue;
      Work& work = Table(KeyOf(row));
      ++work.result.counts.missing_sources;
      work.result.missing_sources.push_back(std::get<0>(source) + " " + std::get<1>(source) + " " +
                                            std::get<2>(source));
    }
  }

  // For listed tables only the library functions their rules use are read.
  void Functions() {
    const std::vector<Row> uses =
        ReadRows(*connection_, "select tcpac, tcmod, tflno, func from qzmap160" + RulesWhere());
    String named;
    if (only_) {
      std::set<String> used;
      for (const Row& row : uses) used.insert(TextOf(row[3]));
      if (used.empty()) return;
      for (const String& name : used)
        named += (named.empty() ? " and fnam in (" : ", ") + SqlQuoted(name);
      named += ")";
    }
    std::set<String> in_force;
    for (const Row& row :
         ReadRows(*connection_, "select fnam, stat from qzlib100" + rules_ + named)) {
      if (TextOf(row[1]) != "X") in_force.insert(TextOf(row[0]));
    }
    for (const Row& row : uses) {
      const String name = TextOf(row[3]);
      if (in_force.count(name)) continue;
      Work& work = Table(KeyOf(row));
      ++work.result.counts.missing_functions;
      work.result.missing_functions.push_back(name);
    }
  }

  // Inherited, overridden and local field rules of a derived profile, by
  // comparing with the parent its derivation level 2 names.
  void Lineage(const DataSource& source) {
    std::vector<Row> rows =
        ReadRows(*connection_, "select pprf, vers, rele, cust from qzmap101" +
                                   WhereProfile(static_cast<Integer>(coverage_.scope.mprf)) +
                                   " and levl = 2");
    if (rows.empty() || rows.front()[0].IsNull()) return;
    const Row& level = rows.front();
    const Integer parent = level[0].ToInteger();
    RuleSet left{
        static_cast<Integer>(coverage_.scope.mprf),
        std::vector<String>{coverage_.scope.vers, coverage_.scope.rele, coverage_.scope.cust}};
    RuleSet right{parent,
                  std::vector<String>{TextOf(level[1]), TextOf(level[2]), TextOf(level[3])}};
    Comparison comparison;
    try {
      comparison = Compare(source, left, right);
    } catch (const ComError& error) {
      if (error.number() == kInsightRefused) return;  // the parent no longer exists
      throw;
    }
    if (!comparison.right_is_parent) return;
    coverage_.parent = comparison.right;
    for (const TableComparison& table : comparison.tables) {
      if (table.table != "qzmap140") continue;
      for (const RuleComparison& rule : table.rules) {
        if (rule.key.size() < 3) continue;
        auto found = tables_.find(Key{TextOf(rule.key[0].second), TextOf(rule.key[1].second),
                                      TextOf(rule.key[2].second)});
        if (found == tables_.end()) continue;  // only the parent has rules for it
        CoverageCounts& counts = found->second.result.counts;
        if (rule.lineage == RuleLineage::kInherited) ++counts.inherited;
        if (rule.lineage == RuleLineage::kOverridden) ++counts.overridden;
        if (rule.lineage == RuleLineage::kLocal) ++counts.local;
      }
    }
  }

  std::shared_ptr<ado::Connection> connection_;
  std::optional<std::set<Key>> only_;
  Coverage coverage_;
  String rules_;  // " where mprf = ... and vers = ... and rele = ... and cust = ..."
  std::map<Key, Work> tables_;
  std::set<Key> legacy_;  // tables whose elements came from the legacy field list
};

}  // namespace

std::vector<String> FieldElements(const String& name, long depth) {
  if (depth == 0) return {name};
  std::vector<String> names;
  for (long i = 1; i <= depth; ++i) names.push_back(name + "(" + std::to_string(i) + ")");
  return names;
}

Coverage ProfileCoverage(const DataSource& source, const RuleSet& set, bool lineage) {
  return Counter(source, set, std::nullopt).Run(lineage ? &source : nullptr);
}

Coverage TablesCoverage(const DataSource& source, const RuleSet& set,
                        const std::vector<TableName>& tables) {
  std::set<Key> only;
  for (const TableName& t : tables) only.insert(Key{t.tcpac, t.tcmod, t.tflno});
  return Counter(source, set, std::move(only)).Run(nullptr);
}

}  // namespace migprof::insight
