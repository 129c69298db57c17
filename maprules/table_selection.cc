#include "maprules/table_selection.h"

#include "component/sql_text.h"
#include "maprules/text_values.h"

namespace migprof::maprules {
namespace {

String KeyTerm(const char* pac_column, const char* mod_column, const char* flno_column,
               const TableCode& table) {
  String term = "(";
  term.append(pac_column).append("='").append(SqlText(table.pac)).append("' and ");
  term.append(mod_column).append("='").append(SqlText(table.mod)).append("' and ");
  term.append(flno_column).append("='").append(SqlText(table.flno)).append("')");
  return term;
}

}  // namespace

TableCode SplitTableCode(std::string_view entry) {
  return TableCode{MidText(entry, 1, 2), MidText(entry, 3, 3), MidText(entry, 6)};
}

std::vector<String> SplitTableList(std::string_view list) {
  std::vector<String> entries;
  if (list.empty()) return entries;
  std::size_t begin = 0;
  for (;;) {
    std::size_t comma = list.find(',', begin);
    entries.emplace_back(list.substr(begin, comma - begin));
    if (comma == std::string_view::npos) break;
    begin = comma + 1;
  }
  return entries;
}

TableSelection BuildTableSelection(Boolean is_multi_table, const String& tcpac, const String& tcmod,
                                   const String& tflno, const String& childs) {
  TableSelection selection;
  selection.multi_table = is_multi_table.IsTrue();
  if (!selection.multi_table) {
    selection.tables.push_back(TableCode{tcpac, tcmod, tflno});
    selection.table_filter = " tcpac='" + SqlText(tcpac) + "' and tcmod='" + SqlText(tcmod) +
                             "' and tflno='" + SqlText(tflno) + "'";
    return selection;
  }
  for (const String& entry : SplitTableList(childs)) {
    selection.tables.push_back(SplitTableCode(entry));
  }
  // The opening " (" comes with the first term, so an empty list leaves only
  // the closing ")" and the statement is rejected by the database.
  for (std::size_t i = 0; i < selection.tables.size(); ++i) {
    const char* lead = i == 0 ? " (" : " or ";
    selection.table_filter += lead + KeyTerm("tcpac", "tcmod", "tflno", selection.tables[i]);
    selection.relation_filter += lead + KeyTerm("bpac", "bmod", "bflno", selection.tables[i]);
  }
  selection.table_filter += ")";
  selection.relation_filter += ")";
  return selection;
}

}  // namespace migprof::maprules
