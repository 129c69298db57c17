// The JSON form of a profile's coverage, as the tool prints it and the API
// answers it, and the readable table the tool prints by default.
#ifndef MIGPROF_WIRE_COVERAGE_JSON_H_
#define MIGPROF_WIRE_COVERAGE_JSON_H_

#include <ostream>

#include "app/coverage.h"
#include "wire/json_values.h"

namespace migprof::wire {

// {"profile": {"mprf", "vers", "rele", "cust"}, "source_app", "target_app",
//  "parent": {"mprf", "vers", "rele", "cust"} | null,
//  "total": counts,
//  "tables": [{"tcpac", "tcmod", "tflno", "in_dictionary", "table_rule":
//      stat | null, "counts": counts, "unmapped": [element...], "expired":
//      [...], "stale": [...], "missing_sources": ["scpac scmod sflno"...],
//      "missing_functions": [name...]}...]}
// counts: {"elements", "mapped", "expired", "unmapped", "percent" (mapped
// of elements, one decimal; null without elements), "field_rules",
// "stale_rules", "missing_sources", "missing_functions", "inherited",
// "overridden", "local"}.
Json CoverageJson(const insight::Coverage& coverage);

// Mapped of elements in percent, rounded down to one decimal ("87.5"); "-"
// without elements. Rounded down so that 100 means every element.
std::string CoveragePercent(const insight::CoverageCounts& counts);

// One line per table and a total line, columns aligned; with unmapped or
// stale, the element names of each table below its line.
void WriteCoverageTable(std::ostream& out, const insight::Coverage& coverage, bool unmapped,
                        bool stale);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_COVERAGE_JSON_H_
