// The bar that shows how far a table or profile is mapped: the widths of
// its parts and the counts its text states, for the coverage_bar template.
#ifndef MIGPROF_WEB_PAGES_COVERAGE_BAR_H_
#define MIGPROF_WEB_PAGES_COVERAGE_BAR_H_

#include "app/coverage.h"
#include "web/pages/render.h"

namespace migprof::web {

// Sets on d: percent, mapped_width and expired_width (percent of the
// elements), the counts (elements, mapped, expired, unmapped, field_rules,
// stale, missing_sources, missing_functions, inherited, overridden, local)
// and has_elements, has_expired, has_unmapped.
void SetCoverageBar(Data& d, const insight::CoverageCounts& counts);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_COVERAGE_BAR_H_
