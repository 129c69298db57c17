#include "wire/coverage_json.h"

#include <iomanip>
#include <sstream>

namespace migprof::wire {
namespace {

Json ScopeJson(const insight::Scope& scope) {
  return Json{
      {"mprf", scope.mprf}, {"vers", scope.vers}, {"rele", scope.rele}, {"cust", scope.cust}};
}

Json CountsJson(const insight::CoverageCounts& c) {
  const std::string percent = CoveragePercent(c);
  return Json{{"elements", c.elements},
              {"mapped", c.mapped},
              {"expired", c.expired},
              {"unmapped", c.unmapped},
              {"percent", percent == "-" ? Json(nullptr) : Json(std::stod(percent))},
              {"field_rules", c.field_rules},
              {"stale_rules", c.stale_rules},
              {"missing_sources", c.missing_sources},
              {"missing_functions", c.missing_functions},
              {"inherited", c.inherited},
              {"overridden", c.overridden},
              {"local", c.local}};
}

}  // namespace

std::string CoveragePercent(const insight::CoverageCounts& counts) {
  if (counts.elements <= 0) return "-";
  const long long tenths = counts.mapped * 1000 / counts.elements;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

Json CoverageJson(const insight::Coverage& coverage) {
  Json tables = Json::array();
  for (const insight::TableCoverage& t : coverage.tables) {
    tables.push_back(Json{{"tcpac", t.tcpac},
                          {"tcmod", t.tcmod},
                          {"tflno", t.tflno},
                          {"in_dictionary", t.in_dictionary},
                          {"table_rule", t.table_rule ? Json(*t.table_rule) : Json(nullptr)},
                          {"counts", CountsJson(t.counts)},
                          {"unmapped", t.unmapped},
                          {"expired", t.expired},
                          {"stale", t.stale},
                          {"missing_sources", t.missing_sources},
                          {"missing_functions", t.missing_functions}});
  }
  return Json{{"profile", ScopeJson(coverage.scope)},
              {"source_app", coverage.source_app},
              {"target_app", coverage.target_app},
              {"parent", coverage.parent ? ScopeJson(*coverage.parent) : Json(nullptr)},
              {"total", CountsJson(coverage.total)},
              {"tables", std::move(tables)}};
}

void WriteCoverageTable(std::ostream& out, const insight::Coverage& coverage, bool unmapped,
                        bool stale) {
  const insight::Scope& s = coverage.scope;
  out << "Profile " << s.mprf << ' ' << s.vers << '_' << s.rele << '_' << s.cust << "  "
      << coverage.source_app << " -> " << coverage.target_app;
  if (coverage.parent) {
    out << "  derived from " << coverage.parent->mprf << ' ' << coverage.parent->vers << '_'
        << coverage.parent->rele << '_' << coverage.parent->cust;
  }
  out << "\n\n";
  const bool lineage = coverage.parent.has_value();
  auto line = [&](const std::string& table, const std::string& rule,
                  const insight::CoverageCounts& c) {
    out << std::left << std::setw(14) << table << std::setw(6) << rule << std::right << std::setw(9)
        << c.elements << std::setw(8) << c.mapped << std::setw(8) << c.expired << std::setw(9)
        << c.unmapped << std::setw(7) << CoveragePercent(c) << std::setw(7) << c.stale_rules
        << std::setw(9) << c.missing_sources << std::setw(9) << c.missing_functions;
    if (lineage) {
      out << std::setw(11) << c.inherited << std::setw(11) << c.overridden << std::setw(7)
          << c.local;
    }
    out << '\n';
  };
  out << std::left << std::setw(14) << "Table" << std::setw(6) << "Rule" << std::right
      << std::setw(9) << "Elements" << std::setw(8) << "Mapped" << std::setw(8) << "Expired"
      << std::setw(9) << "Unmapped" << std::setw(7) << "%" << std::setw(7) << "Stale"
      << std::setw(9) << "NoSource" << std::setw(9) << "NoFunc";
  if (lineage)
    out << std::setw(11) << "Inherited" << std::setw(11) << "Overridden" << std::setw(7) << "Local";
  out << '\n';
  for (const insight::TableCoverage& t : coverage.tables) {
    std::string name = t.tcpac + ' ' + t.tcmod + ' ' + t.tflno;
    if (!t.in_dictionary) name += " ?";
    line(name, t.table_rule ? *t.table_rule : "-", t.counts);
    auto names = [&](const char* what, const std::vector<String>& list) {
      if (list.empty()) return;
      out << "    " << what << ':';
      for (const String& name : list) out << ' ' << name;
      out << '\n';
    };
    if (unmapped) names("unmapped", t.unmapped);
    if (stale) names("stale", t.stale);
  }
  line("Total", "", coverage.total);
  out << "\nRule: the table rule's status (- none). \"?\": a table the dictionary of "
      << coverage.target_app << " does not have.\n";
}

}  // namespace migprof::wire
