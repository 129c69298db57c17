// The tables the insight functions read and write, with their columns in a
// fixed order and how a rule of each is told apart from the others.
#ifndef MIGPROF_INSIGHT_TABLES_H_
#define MIGPROF_INSIGHT_TABLES_H_

#include <string>
#include <vector>

namespace migprof::insight {

enum class TableKind {
  kProfile,     // qzmap100, qzmap101, qzmap105: one profile's own rows
  kRule,        // mapping rules, per profile and VRC
  kFunction,    // the function library, per profile and VRC
  kUser,        // qzusr100 (no profile column), qzusr110
  kDictionary,  // read only: data dictionary and legacy field lists
};

struct TableInfo {
  std::string name;
  TableKind kind;
  std::vector<std::string> columns;
  // Columns, after mprf and the VRC, that find a rule of a rule or function
  // table; empty for the other kinds.
  std::vector<std::string> rule_key;
};

// Every table of the profile database, in schema order.
const std::vector<TableInfo>& AllTables();
// The table named name; raises std::out_of_range for another name.
const TableInfo& TableNamed(const std::string& name);

// "col1, col2, ..." of table.
std::string ColumnList(const TableInfo& table);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_TABLES_H_
