#include "insight/table_diff.h"

namespace migprof::insight {

DatabaseState ReadState(ado::Connection& connection) {
  DatabaseState state;
  for (const TableInfo& table : AllTables()) {
    std::map<long long, Row> rows;
    if (table.kind != TableKind::kDictionary) {
      for (Row& row :
           ReadRows(connection, "select rowid, " + ColumnList(table) + " from " + table.name)) {
        long long id = static_cast<long long>(row.front().ToDouble());
        row.erase(row.begin());
        rows.emplace(id, std::move(row));
      }
    }
    state.tables.push_back(std::move(rows));
  }
  return state;
}

Json DiffStates(const DatabaseState& before, const DatabaseState& after) {
  Json changes = Json::object();
  const std::vector<TableInfo>& tables = AllTables();
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::vector<std::string>& columns = tables[t].columns;
    const std::map<long long, Row>& old_rows = before.tables[t];
    const std::map<long long, Row>& new_rows = after.tables[t];
    Json added = Json::array(), changed = Json::array(), removed = Json::array();
    for (const auto& [id, row] : old_rows) {
      auto match = new_rows.find(id);
      if (match == new_rows.end()) {
        removed.push_back(RowJson(columns, row));
        continue;
      }
      Json names = Json::array();
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!(row[i] == match->second[i])) names.push_back(columns[i]);
      }
      if (!names.empty()) {
        changed.push_back(Json{{"old", RowJson(columns, row)},
                               {"new", RowJson(columns, match->second)},
                               {"columns", names}});
      }
    }
    for (const auto& [id, row] : new_rows) {
      if (!old_rows.count(id)) added.push_back(RowJson(columns, row));
    }
    if (added.empty() && changed.empty() && removed.empty()) continue;
    changes[tables[t].name] = Json{{"added", added}, {"changed", changed}, {"removed", removed}};
  }
  return changes;
}

}  // namespace migprof::insight
