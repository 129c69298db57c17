// The front end's commands of the tool: `serve` and `user add|remove`.
#ifndef MIGPROF_CLI_WEB_COMMANDS_H_
#define MIGPROF_CLI_WEB_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <istream>
#include <ostream>

namespace migprof::cli {

// Adds the commands to app; the returned function runs the one that was
// parsed and answers its exit status, or -1 when none of them was.
std::function<int()> AddWebCommands(CLI::App& app, std::istream& in, std::ostream& out,
                                    std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_WEB_COMMANDS_H_
