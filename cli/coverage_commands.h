// `migprof coverage`: where a migration stands. For a profile and VRC, the
// target fields of each table with and without a field rule, stale rules,
// missing source tables and functions; as a readable table, as JSON, or as
// the spreadsheet the reviewers sign off.
#ifndef MIGPROF_CLI_COVERAGE_COMMANDS_H_
#define MIGPROF_CLI_COVERAGE_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "cli/session.h"

namespace migprof::cli {

class CoverageCommands {
 public:
  // Adds the command to app; the options are read into this object.
  explicit CoverageCommands(CLI::App& app);
  CoverageCommands(const CoverageCommands&) = delete;
  CoverageCommands& operator=(const CoverageCommands&) = delete;

  // After parsing: runs the command when it was chosen and returns its exit
  // status; nullopt when another command was chosen.
  std::optional<int> RunChosen(std::ostream& out, std::ostream& err) const;

 private:
  CLI::App* coverage_;
  DatabaseSettings settings_;
  std::string profile_;
  bool json_ = false, unmapped_ = false, stale_ = false;
  std::optional<std::string> xlsx_;
};

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_COVERAGE_COMMANDS_H_
