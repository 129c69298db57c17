#include "configmgt/snapshot_diff.h"

#include <algorithm>
#include <map>

#include "configmgt/line_diff.h"

namespace migprof::configmgt {
namespace {

using KeyedRows = std::vector<std::pair<String, const StoredRow*>>;

// The rows of table, each with the key it is matched by: the field name
// where the row has one (repeated names numbered), else its position.
KeyedRows RowsOf(const Snapshot& rows, const String& table) {
  KeyedRows keyed;
  std::map<String, int> seen;
  int position = 0;
  for (const StoredRow& row : rows) {
    if (row.table != table) continue;
    ++position;
    std::optional<Variant> field = row.Get("fdnm");
    String key = field && !field->IsNull() ? field->ToString() : "#" + std::to_string(position);
    if (int repeat = seen[key]++; repeat > 0) key += " #" + std::to_string(repeat + 1);
    keyed.emplace_back(key, &row);
  }
  return keyed;
}

const StoredRow* Lookup(const KeyedRows& rows, const String& key) {
  for (const auto& [k, row] : rows) {
    if (k == key) return row;
  }
  return nullptr;
}

void WholeRow(const String& table, const String& key, const StoredRow& row, bool added,
              std::vector<Change>& out) {
  for (const auto& [column, value] : row.values) {
    std::optional<String> text = DisplayText(value);
    out.push_back(Change{table,
                         key,
                         column,
                         added ? std::nullopt : text,
                         added ? text : std::nullopt,
                         added,
                         !added,
                         {}});
  }
}

}  // namespace

std::vector<Change> DiffSnapshots(const Snapshot& before, const Snapshot& after) {
  std::vector<String> tables;
  for (const Snapshot* side : {&before, &after}) {
    for (const StoredRow& row : *side) {
      if (std::find(tables.begin(), tables.end(), row.table) == tables.end()) {
        tables.push_back(row.table);
      }
    }
  }
  std::vector<Change> changes;
  for (const String& table : tables) {
    KeyedRows old_rows = RowsOf(before, table);
    KeyedRows new_rows = RowsOf(after, table);
    for (const auto& [key, old_row] : old_rows) {
      const StoredRow* new_row = Lookup(new_rows, key);
      if (!new_row) {
        WholeRow(table, key, *old_row, /*added=*/false, changes);
        continue;
      }
      for (const auto& [column, value] : old_row->values) {
        std::optional<String> was = DisplayText(value);
        std::optional<Variant> now_value = new_row->Get(column);
        std::optional<String> now = now_value ? DisplayText(*now_value) : std::nullopt;
        if (was == now) continue;
        Change change{table, key, column, was, now, false, false, {}};
        if (was && now && (was->find('\n') != String::npos || now->find('\n') != String::npos)) {
          change.lines = LineDiff(*was, *now);
        }
        changes.push_back(std::move(change));
      }
    }
    for (const auto& [key, new_row] : new_rows) {
      if (!Lookup(old_rows, key)) WholeRow(table, key, *new_row, /*added=*/true, changes);
    }
  }
  return changes;
}

}  // namespace migprof::configmgt
