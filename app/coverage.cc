#include "app/coverage.h"

#include <cstdlib>
#include <ctime>

#include "app/members.h"
#include "app/reads.h"
#include "insight/signoff_sheet.h"

namespace migprof::app {

insight::Coverage Coverage(Application& app, const Principal& principal,
                           const insight::RuleSet& set, bool lineage) {
  Require(app, principal, Operation::kRead, set.mprf, "coverage", {}, /*record=*/false);
  return insight::ProfileCoverage(app.source(), set, lineage);
}

insight::CoverageCounts CoverageTotal(Application& app, const Principal& principal,
                                      const insight::RuleSet& set) {
  Require(app, principal, Operation::kRead, set.mprf, "coverage", {}, /*record=*/false);
  return insight::CoverageTotal(app.source(), set);
}

insight::Coverage TablesCoverage(Application& app, const Principal& principal,
                                 const insight::RuleSet& set,
                                 const std::vector<insight::TableName>& tables) {
  Require(app, principal, Operation::kRead, set.mprf, "coverage", {}, /*record=*/false);
  return insight::TablesCoverage(app.source(), set, tables);
}

insight::Coverage WriteSignoffSheet(Application& app, const Principal& principal,
                                    const insight::RuleSet& set, const std::string& path) {
  insight::Coverage coverage = Coverage(app, principal, set);
  insight::SignoffHeader header;
  if (std::optional<ProfileSummary> profile = FindProfile(app.db(), set.mprf)) {
    header.description = profile->description;
    if (!profile->parent_vrc.Empty()) header.parent = profile->parent_vrc.Text();
  }
  header.owner = ProfileOwner(app.db(), set.mprf).value_or("");
  header.exported_by = principal.name;
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M UTC", &utc);
  header.exported_at = stamp;
  const char* tmpdir = std::getenv("TMPDIR");
  insight::WriteSignoffSheet(app.source(), coverage, header, path, tmpdir ? tmpdir : "");
  return coverage;
}

}  // namespace migprof::app
