// Export: a profile and everything stored under it as one document, written
// by hand so that every row sits on a line of its own and a review diff
// shows rule by rule what changed.
#include <algorithm>
#include <string>

#include "insight/profile_document.h"
#include "insight/rows.h"
#include "migprof/com_error.h"

namespace migprof::insight {

std::vector<const TableInfo*> ProfileTables() {
  std::vector<const TableInfo*> tables;
  for (const TableInfo& table : AllTables()) {
    if (table.kind == TableKind::kDictionary || table.name == "qzusr100") continue;
    tables.push_back(&table);
  }
  return tables;
}

std::string ExportProfile(const DataSource& source, Integer mprf) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  std::string document = "{\n";
  document += "  \"format\": " + Json(kProfileFormat).dump() + ",\n";
  document += "  \"mprf\": " + std::to_string(mprf) + ",\n";
  document += "  \"tables\": {";
  bool first_table = true;
  for (const TableInfo* table : ProfileTables()) {
    std::vector<std::string> lines;
    for (const Row& row : ReadRows(*connection, SelectAll(*table, WhereProfile(mprf)))) {
      lines.push_back(RowJson(table->columns, row).dump());
    }
    if (table->name == "qzmap100" && lines.empty()) {
      throw ComError(kInsightRefused, "Profile " + std::to_string(mprf) + " does not exist");
    }
    // Sorted, so the document does not depend on the order rows were added.
    std::sort(lines.begin(), lines.end());
    document += first_table ? "\n" : ",\n";
    first_table = false;
    document += "    " + Json(table->name).dump() + ": [";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      document += (i == 0 ? "\n      " : ",\n      ") + lines[i];
    }
    document += lines.empty() ? "]" : "\n    ]";
  }
  document += "\n  }\n}\n";
  return document;
}

}  // namespace migprof::insight
