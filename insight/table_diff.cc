#include "insight/table_diff.h"

#include <algorithm>

namespace migprof::insight {

namespace {

// How many row ids one statement names.
constexpr std::size_t kIdsPerRead = 500;

}  // namespace

DatabaseState ReadState(ado::Connection& connection,
                        const std::map<std::string, std::set<long long>>& rows) {
  DatabaseState state;
  for (const TableInfo& table : AllTables()) {
    std::map<long long, Row> read;
    auto ids = rows.find(table.name);
    if (table.kind != TableKind::kDictionary && ids != rows.end()) {
      std::vector<long long> wanted(ids->second.begin(), ids->second.end());
      for (std::size_t from = 0; from < wanted.size(); from += kIdsPerRead) {
        std::string list;
        for (std::size_t i = from; i < std::min(wanted.size(), from + kIdsPerRead); ++i) {
          list += (list.empty() ? "" : ", ") + std::to_string(wanted[i]);
        }
        // Named: SQLite would name the row id after the table's rowkey, a
        // column the data-access layer leaves out of every result.
        for (Row& row :
             ReadRows(connection, "select rowid as rowid, " + ColumnList(table) + " from " +
                                      table.name + " where rowid in (" + list + ")")) {
          long long id = static_cast<long long>(row.front().ToDouble());
          row.erase(row.begin());
          read.emplace(id, std::move(row));
        }
      }
    }
    state.tables.push_back(std::move(read));
  }
  return state;
}

DatabaseState StateBefore(const sqlite::TouchedRows& touched) {
  DatabaseState state;
  for (const TableInfo& table : AllTables()) {
    std::map<long long, Row> rows;
    auto found = touched.find(table.name);
    if (found != touched.end()) {
      for (const auto& [id, values] : found->second) {
        if (values) rows.emplace(id, *values);
      }
    }
    state.tables.push_back(std::move(rows));
  }
  return state;
}

std::map<std::string, std::set<long long>> RowIds(const sqlite::TouchedRows& touched) {
  std::map<std::string, std::set<long long>> ids;
  for (const auto& [table, rows] : touched) {
    for (const auto& entry : rows) ids[table].insert(entry.first);
  }
  return ids;
}

std::vector<TableChanges> DiffStates(const DatabaseState& before, const DatabaseState& after) {
  std::vector<TableChanges> changes;
  const std::vector<TableInfo>& tables = AllTables();
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::vector<std::string>& columns = tables[t].columns;
    const std::map<long long, Row>& old_rows = before.tables[t];
    const std::map<long long, Row>& new_rows = after.tables[t];
    TableChanges table{tables[t].name, columns, {}, {}, {}};
    for (const auto& [id, row] : old_rows) {
      auto match = new_rows.find(id);
      if (match == new_rows.end()) {
        table.removed.push_back(row);
        continue;
      }
      std::vector<String> names;
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!(row[i] == match->second[i])) names.push_back(columns[i]);
      }
      if (!names.empty()) table.changed.push_back(RowChange{row, match->second, std::move(names)});
    }
    for (const auto& [id, row] : new_rows) {
      if (!old_rows.count(id)) table.added.push_back(row);
    }
    if (table.added.empty() && table.changed.empty() && table.removed.empty()) continue;
    changes.push_back(std::move(table));
  }
  return changes;
}

}  // namespace migprof::insight
