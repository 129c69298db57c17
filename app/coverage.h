// Where a migration stands: the coverage of a profile and VRC (what the
// target application's dictionary defines against the field rules the
// profile has), for any principal that may read the profile. Read only:
// nothing is changed or recorded and no check-out is needed.
#ifndef MIGPROF_APP_COVERAGE_H_
#define MIGPROF_APP_COVERAGE_H_

#include <string>
#include <vector>

#include "app/application.h"
#include "insight/coverage.h"

namespace migprof::app {

// Raises Forbidden, or ComError(insight::kInsightRefused) for a profile
// that does not exist.
insight::Coverage Coverage(Application& app, const Principal& principal,
                           const insight::RuleSet& set, bool lineage = true);

// The total coverage of set (without lineage counts), as Coverage counts
// it, for a summary. Raises as Coverage does.
insight::CoverageCounts CoverageTotal(Application& app, const Principal& principal,
                                      const insight::RuleSet& set);

// The coverage of the listed tables of set only (a page of a rules list),
// without lineage counts. Raises as Coverage does.
insight::Coverage TablesCoverage(Application& app, const Principal& principal,
                                 const insight::RuleSet& set,
                                 const std::vector<insight::TableName>& tables);

// Writes the sign-off workbook of set to path: the summary names the
// profile's description, parent VRC and owner, the principal as the one who
// exported it and the time now (UTC). Answers the coverage it summarises.
// Raises as Coverage does, and std::runtime_error when path cannot be
// written.
insight::Coverage WriteSignoffSheet(Application& app, const Principal& principal,
                                    const insight::RuleSet& set, const std::string& path);

}  // namespace migprof::app

#endif  // MIGPROF_APP_COVERAGE_H_
