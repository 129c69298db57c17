// The commands that look into a profile database without changing it:
// preview, compare, where-used, export, and import (which can be previewed).
// Each writes JSON (export: the profile document) to out, a failure to err,
// and returns the exit status of commands.h.
#ifndef MIGPROF_CLI_INSIGHT_COMMANDS_H_
#define MIGPROF_CLI_INSIGHT_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/session.h"
#include "migprof/insight.h"

namespace migprof::cli {

// The five commands as subcommands of the tool, with their options.
class InsightCommands {
 public:
  // Adds the subcommands to app; the options are read into this object, so
  // it must stay where it is until Run.
  explicit InsightCommands(CLI::App& app);
  InsightCommands(const InsightCommands&) = delete;
  InsightCommands& operator=(const InsightCommands&) = delete;

  // True when app's parse chose one of the five.
  bool parsed() const;
  // Runs the one chosen.
  int Run(std::ostream& out, std::ostream& err) const;

 private:
  DatabaseSettings settings_;
  CLI::App* preview_;
  CLI::App* compare_;
  CLI::App* where_used_;
  CLI::App* export_;
  CLI::App* import_;
  std::string member_;
  std::vector<std::string> words_;
  std::optional<std::string> args_json_;
  std::string left_, right_;
  std::optional<std::string> mprf_, table_, function_;
  std::string file_;
  bool dry_run_ = false;
};

// Runs a changing member, with arguments as for RunCallCommand, on a
// snapshot and writes the plan (insight::Preview): the member's answer as
// "outcome" (CallMember's form) and the rows it would change. kExitOk once
// the plan is made, also when the member refused or raised (that is in
// "outcome"). Members that change nothing are refused (kExitBadRequest).
int RunPreviewCommand(const DatabaseSettings& settings, const std::string& member,
                      const std::vector<std::string>& words,
                      const std::optional<std::string>& args_json, std::ostream& out,
                      std::ostream& err);

// Parses "<mprf>" or "<mprf>:<vers>_<rele>_<cust>"; raises BadRequest.
insight::RuleSet ParseRuleSet(const std::string& text);

// Compares two rule sets given as ParseRuleSet reads them.
int RunCompareCommand(const DatabaseSettings& settings, const std::string& left,
                      const std::string& right, std::ostream& out, std::ostream& err);

// Where used: exactly one of a profile number (its lineage), a table code
// "<tcpac><tcmod><tflno>" (2 + 3 + the rest) or a function name.
int RunWhereUsedCommand(const DatabaseSettings& settings, const std::optional<std::string>& mprf,
                        const std::optional<std::string>& table,
                        const std::optional<std::string>& function, std::ostream& out,
                        std::ostream& err);

int RunExportCommand(const DatabaseSettings& settings, const std::string& mprf, std::ostream& out,
                     std::ostream& err);

// Imports the document in file; with dry_run, previews the import instead.
int RunImportCommand(const DatabaseSettings& settings, const std::string& file, bool dry_run,
                     std::ostream& out, std::ostream& err);
// The same for a document already read.
int RunImportDocument(const DatabaseSettings& settings, const std::string& document, bool dry_run,
                      std::ostream& out, std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_INSIGHT_COMMANDS_H_
