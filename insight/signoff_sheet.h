// The sign-off spreadsheet of a profile and VRC (.xlsx): a summary with the
// coverage per table, one sheet per kind of rule (table rules, field rules,
// source tables, functions used, table links, the library) and the target
// fields without a rule. Every list has a frozen header row and a filter;
// expired rows are marked. Rows are read from the database and written one
// at a time (the writer keeps one row in memory), so a profile with very
// many rules is never held whole.
#ifndef MIGPROF_INSIGHT_SIGNOFF_SHEET_H_
#define MIGPROF_INSIGHT_SIGNOFF_SHEET_H_

#include <string>
#include <vector>

#include "insight/coverage.h"

namespace migprof::insight {

// What the summary says besides the counts.
struct SignoffHeader {
  String description;
  String parent;  // "{vers}_{rele}_{cust}", "" for a standard profile
  String owner;
  String exported_by;
  String exported_at;  // as the caller wants it read ("2026-12-07 03:30 UTC")
};

// The sheets in order, as their tabs are named.
const std::vector<std::string>& SignoffSheetNames();

// Writes the workbook of coverage.scope to path (replacing it). Temporary
// files of the writer go to tmpdir ("" for the system's). Raises ComError
// when the database fails and std::runtime_error when the file cannot be
// written.
void WriteSignoffSheet(const DataSource& source, const Coverage& coverage,
                       const SignoffHeader& header, const std::string& path,
                       const std::string& tmpdir = "");

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_SIGNOFF_SHEET_H_
