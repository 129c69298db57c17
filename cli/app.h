// The command line of the tool `migprof`: its commands and options.
#ifndef MIGPROF_CLI_APP_H_
#define MIGPROF_CLI_APP_H_

#include <istream>
#include <ostream>

namespace migprof::cli {

// Runs the tool with the command line argv[0..argc), reading requests from
// in and writing answers and help to out, messages to err. Returns the exit
// status.
int RunMigprof(int argc, const char* const* argv, std::istream& in, std::ostream& out,
               std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_APP_H_
