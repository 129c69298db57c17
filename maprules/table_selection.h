// The selection of tables that the copy, the deletion and the expiry of
// mapping rules work on, and the SQL conditions built from it.
#ifndef MIGPROF_MAPRULES_TABLE_SELECTION_H_
#define MIGPROF_MAPRULES_TABLE_SELECTION_H_

#include <string_view>
#include <vector>

#include "migprof/automation.h"

namespace migprof::maprules {

// The key of one table: package code, module and table number.
struct TableCode {
  String pac;
  String mod;
  String flno;

  bool operator==(const TableCode&) const = default;
};

// One entry of a table list: characters 1-2 are the package code, 3-5 the
// module, 6 to the end the table number. Nothing is trimmed; a short entry
// gives short or empty parts.
TableCode SplitTableCode(std::string_view entry);

// The entries of a comma-separated table list, in order. Every comma
// separates, so empty entries are kept ("a,,b" has three); the empty text
// has no entries at all.
std::vector<String> SplitTableList(std::string_view list);

// Which tables a call selects, with its conditions over the table-key
// columns.
struct TableSelection {
  // The list mode: the flag was True (-1) exactly.
  bool multi_table = false;
  // The selected tables: the list's entries in list mode, else the main
  // table.
  std::vector<TableCode> tables;
  // Condition over tcpac, tcmod, tflno, beginning with a blank:
  //   " tcpac='p' and tcmod='m' and tflno='n'" for the main table, or
  //   " ((tcpac='p1' and tcmod='m1' and tflno='n1') or (...))" for a list,
  //   which is ")" alone when the list is empty.
  String table_filter;
  // The same over bpac, bmod, bflno; built in list mode only (else empty).
  String relation_filter;
};

// Builds the selection of a call: the main table (tcpac, tcmod, tflno) unless
// is_multi_table is True, in which case the list childs, and the main table
// is left out. Every text goes into the conditions between single quotes
// with its quotes doubled.
TableSelection BuildTableSelection(Boolean is_multi_table, const String& tcpac, const String& tcmod,
                                   const String& tflno, const String& childs);

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_TABLE_SELECTION_H_
