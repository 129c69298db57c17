// The front end's command of the tool: `serve`.
#ifndef MIGPROF_CLI_WEB_COMMANDS_H_
#define MIGPROF_CLI_WEB_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <istream>
#include <ostream>

namespace migprof::cli {

// Adds the command to app; the returned function runs it when it was parsed
// and answers its exit status, or -1 when it was not.
std::function<int()> AddWebCommands(CLI::App& app, std::istream& in, std::ostream& out,
                                    std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_WEB_COMMANDS_H_
