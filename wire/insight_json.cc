#include "wire/insight_json.h"

namespace migprof::wire {
namespace {

Json RowJson(const std::vector<String>& columns, const insight::Values& row) {
  Json object = Json::object();
  for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
    object[columns[i]] = JsonFromVariant(row[i]);
  }
  return object;
}

Json ProfileScopeJson(const insight::Scope& scope) {
  return Json{
      {"mprf", scope.mprf}, {"vers", scope.vers}, {"rele", scope.rele}, {"cust", scope.cust}};
}

Json UsesJson(const std::vector<insight::Use>& uses) {
  Json list = Json::array();
  for (const insight::Use& use : uses) {
    Json item = ProfileScopeJson(use.scope);
    item["tables"] = use.tables;
    list.push_back(std::move(item));
  }
  return list;
}

Json DerivedJson(const std::vector<insight::Derived>& derived) {
  Json list = Json::array();
  for (const insight::Derived& d : derived) {
    Json item = d.known ? ProfileScopeJson(d.scope) : Json{{"mprf", d.scope.mprf}};
    item["derived"] = DerivedJson(d.derived);
    list.push_back(std::move(item));
  }
  return list;
}

}  // namespace

Json ChangesJson(const std::vector<insight::TableChanges>& changes) {
  Json out = Json::object();
  for (const insight::TableChanges& table : changes) {
    Json added = Json::array(), changed = Json::array(), removed = Json::array();
    for (const insight::Values& row : table.added) added.push_back(RowJson(table.columns, row));
    for (const insight::RowChange& row : table.changed) {
      changed.push_back(Json{{"old", RowJson(table.columns, row.before)},
                             {"new", RowJson(table.columns, row.after)},
                             {"columns", row.columns}});
    }
    for (const insight::Values& row : table.removed) removed.push_back(RowJson(table.columns, row));
    out[table.table] = Json{{"added", added}, {"changed", changed}, {"removed", removed}};
  }
  return out;
}

Json ComparisonJson(const insight::Comparison& comparison) {
  Json tables = Json::object();
  for (const insight::TableComparison& table : comparison.tables) {
    Json entries = Json::array();
    for (const insight::RuleComparison& rule : table.rules) {
      Json key = Json::object();
      for (const auto& [column, value] : rule.key) key[column] = JsonFromVariant(value);
      Json item{{"key", std::move(key)}, {"status", insight::RuleStatusName(rule.status)}};
      if (rule.status == insight::RuleStatus::kChanged) {
        Json changes = Json::object();
        for (const insight::ColumnDifference& change : rule.changes) {
          changes[change.column] = Json{{"left", JsonFromVariant(change.left)},
                                        {"right", JsonFromVariant(change.right)}};
        }
        item["changes"] = std::move(changes);
      }
      if (rule.lineage != insight::RuleLineage::kUnknown) {
        item["lineage"] = insight::RuleLineageName(rule.lineage);
      }
      entries.push_back(std::move(item));
    }
    tables[table.table] = std::move(entries);
  }
  return Json{{"left", ProfileScopeJson(comparison.left)},
              {"right", ProfileScopeJson(comparison.right)},
              {"right_is_parent", comparison.right_is_parent},
              {"tables", std::move(tables)},
              {"summary",
               {{"same", comparison.same},
                {"changed", comparison.changed},
                {"only_left", comparison.only_left},
                {"only_right", comparison.only_right}}}};
}

Json LineageJson(const insight::ProfileLineage& lineage) {
  Json ancestors = Json::array();
  for (const insight::Ancestor& a : lineage.ancestors) {
    ancestors.push_back(Json{{"levl", JsonFromVariant(a.level)},
                             {"mprf", JsonFromVariant(a.profile)},
                             {"vers", a.vers},
                             {"rele", a.rele},
                             {"cust", a.cust}});
  }
  return Json{{"profile", ProfileScopeJson(lineage.profile)},
              {"ancestors", std::move(ancestors)},
              {"derived", DerivedJson(lineage.derived)}};
}

Json TableUsageJson(const insight::TableUsage& usage) {
  return Json{{"table", {{"tcpac", usage.tcpac}, {"tcmod", usage.tcmod}, {"tflno", usage.tflno}}},
              {"used_by", UsesJson(usage.used_by)}};
}

Json FunctionUsageJson(const insight::FunctionUsage& usage) {
  Json holds = Json::array();
  for (const insight::FunctionHolder& holder : usage.holds) {
    Json item = ProfileScopeJson(holder.scope);
    item["stat"] = holder.status;
    holds.push_back(std::move(item));
  }
  return Json{
      {"function", usage.name}, {"holds", std::move(holds)}, {"calls", UsesJson(usage.calls)}};
}

Json ImportJson(const insight::ImportResult& result) {
  Json rows = Json::object();
  for (const auto& [table, count] : result.rows) rows[table] = count;
  return Json{{"mprf", result.mprf}, {"rows", std::move(rows)}};
}

}  // namespace migprof::wire
