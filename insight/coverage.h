// How far the mapping rules of a profile and VRC cover the target
// application's data dictionary: per target table and in total, the field
// elements the dictionary defines (array fields expanded to name(1) ...
// name(n), as the rule copy names them), which of them have a field rule,
// which have none, and which rules name a field or table the dictionary does
// not have. Read only: it changes nothing.
#ifndef MIGPROF_INSIGHT_COVERAGE_H_
#define MIGPROF_INSIGHT_COVERAGE_H_

#include <optional>
#include <string>
#include <vector>

#include "migprof/insight.h"

namespace migprof::insight {

// The counts of one table or of the whole profile.
struct CoverageCounts {
  // Field elements of the dictionary: mapped + expired + unmapped.
  long long elements = 0;
  long long mapped = 0;    // with a field rule in force
  long long expired = 0;   // only with expired rules (the field rule's or its table rule's stat X)
  long long unmapped = 0;  // without any field rule
  long long field_rules = 0;  // qzmap140 rows
  // Field rules naming an element the table's dictionary does not have, or
  // a table the dictionary does not have at all.
  long long stale_rules = 0;
  // Source tables (qzmap130) that neither application's dictionary or
  // legacy field list has, and functions (qzmap160) the profile's library
  // holds under this VRC in no row that is in force (absent or expired).
  long long missing_sources = 0;
  long long missing_functions = 0;
  // Field rules of a derived profile against its parent's rules, as Compare
  // tells them; all 0 for a standard profile.
  long long inherited = 0, overridden = 0, local = 0;
  bool operator==(const CoverageCounts&) const = default;
};

struct TableCoverage {
  String tcpac, tcmod, tflno;
  bool in_dictionary = false;  // the target application's dictionary has the table
  // stat of the table rule (qzmap120); nullopt when there is none.
  std::optional<String> table_rule;
  CoverageCounts counts;
  std::vector<String> unmapped;           // element names, in dictionary order
  std::vector<String> expired;            // element names, in dictionary order
  std::vector<String> stale;              // element names of stale field rules
  std::vector<String> missing_sources;    // "scpac scmod sflno"
  std::vector<String> missing_functions;  // function names
  bool operator==(const TableCoverage&) const = default;
};

// A target table by its key.
struct TableName {
  String tcpac, tcmod, tflno;
};

struct Coverage {
  Scope scope;
  String source_app, target_app;
  // The parent (qzmap101 level 2) the lineage counts are against.
  std::optional<Scope> parent;
  CoverageCounts total;
  // Every table of the target application's dictionary and every table the
  // profile has rules for under the VRC, by table key.
  std::vector<TableCoverage> tables;
};

// The coverage of set (the profile's own VRC when set names none). A
// profile that does not exist raises ComError(kInsightRefused). Table keys
// and names are compared exactly (letter case and blanks count).
// Without lineage, the inherited/overridden/local counts stay 0 and the
// parent unread (a summary that needs only the totals).
Coverage ProfileCoverage(const DataSource& source, const RuleSet& set, bool lineage = true);

// The coverage of the listed tables of set only, as ProfileCoverage counts
// them without lineage: every statement names the tables (and the source
// tables and functions their rules use), so a page of a rules list costs
// the same whatever the size of the profile. A listed table that neither
// the dictionary nor a rule has is left out; the total sums the tables.
Coverage TablesCoverage(const DataSource& source, const RuleSet& set,
                        const std::vector<TableName>& tables);

// The total of ProfileCoverage(source, set, false), counted without reading
// every row of the target's dictionary: the tables the profile's rules name
// are counted as TablesCoverage counts them, the dictionary's other tables
// (each wholly unmapped) by a grouped statement. Raises as ProfileCoverage.
CoverageCounts CoverageTotal(const DataSource& source, const RuleSet& set);

// The element names of a dictionary field of array depth depth: the name
// for depth 0, name(1) ... name(depth) otherwise, none for a negative depth.
std::vector<String> FieldElements(const String& name, long depth);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_COVERAGE_H_
