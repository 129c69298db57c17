#include "web/pages/coverage_bar.h"

#include <string>
#include <utility>

#include "wire/coverage_json.h"

namespace migprof::web {

void SetCoverageBar(Data& d, const insight::CoverageCounts& c) {
  d.set("percent", wire::CoveragePercent(c));
  d.set("has_elements", Flag(c.elements > 0));
  d.set("has_expired", Flag(c.expired > 0));
  d.set("has_unmapped", Flag(c.unmapped > 0));
  auto part = [&](long long n) {
    return std::to_string(c.elements > 0 ? n * 100.0 / static_cast<double>(c.elements) : 0.0);
  };
  d.set("mapped_width", part(c.mapped));
  d.set("expired_width", part(c.expired));
  for (const auto& [name, value] : {std::pair<const char*, long long>{"elements", c.elements},
                                    {"mapped", c.mapped},
                                    {"expired", c.expired},
                                    {"unmapped", c.unmapped},
                                    {"field_rules", c.field_rules},
                                    {"stale", c.stale_rules},
                                    {"missing_sources", c.missing_sources},
                                    {"missing_functions", c.missing_functions},
                                    {"inherited", c.inherited},
                                    {"overridden", c.overridden},
                                    {"local", c.local}}) {
    d.set(name, std::to_string(value));
  }
}

}  // namespace migprof::web
