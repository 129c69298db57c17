// The words a page uses for the component's tables and columns, so that a
// preview or a difference reads "Table rule · Description" rather than
// "qzmap120 · dsca", and values people cannot read (an enciphered owner, a
// one-letter status) are shown as what they mean.
#ifndef MIGPROF_WEB_PAGES_LABELS_H_
#define MIGPROF_WEB_PAGES_LABELS_H_

#include <string>

#include "migprof/automation.h"

namespace migprof::web {

// "Table rules" for qzmap120; an unknown table keeps its name.
std::string TableLabel(const std::string& table);
// The singular, "Table rule".
std::string RowKindLabel(const std::string& table);
// "Description" for dsca; the name itself for a column without a label.
std::string ColumnLabel(const std::string& table, const std::string& column);
// A value as a page shows it in a column: the owner in clear, "Y"/"N" of
// the revision-control switch as yes/no, a status letter with its meaning.
std::string ValueText(const std::string& table, const std::string& column, const Variant& value);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_LABELS_H_
