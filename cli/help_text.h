// The texts of the tool's --help pages beyond what the option parser writes:
// the JSON forms of each command, with examples.
#ifndef MIGPROF_CLI_HELP_TEXT_H_
#define MIGPROF_CLI_HELP_TEXT_H_

#include <string>

#include "migprof/dispatch.h"

namespace migprof::cli {

// A member as a declaration, such as
// "ValidateDerivation(ByRef i_intMPRF As Integer, ByRef i_intPPRF As Integer) As Boolean".
std::string MemberSignature(const dispatch::Member& member);

std::string ToolFooter();
std::string InitFooter();
std::string BackupFooter();
std::string UpgradeFooter();
std::string SessionFooter();
std::string SqlFooter();
// Lists every member the tool can call, from the dispatch table.
std::string CallFooter();
// "Examples:" with lines of the command itself, for the commands of revision
// control, insight and API tokens (a subcommand shows its parent's footer
// unless it has one of its own); "" for another command.
std::string ExamplesFooter(const std::string& command);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_HELP_TEXT_H_
