// Running the command-line tool in process, and temporary database files,
// for the tests of its commands.
#ifndef MIGPROF_TESTS_CLI_RUN_CLI_H_
#define MIGPROF_TESTS_CLI_RUN_CLI_H_

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/app.h"

namespace migprof::testing {

struct CliOutcome {
  int status;
  std::string out;
  std::string err;
};

// `migprof <args>` with input on its standard input.
inline CliOutcome RunCli(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "migprof");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = cli::RunMigprof(static_cast<int>(argv.size()), argv.data(), in, out, err);
  return {status, out.str(), err.str()};
}

// A file in the temporary folder, named after the process so runs side by
// side never share it, removed with the database's side files before and
// after use.
struct TempPath {
  explicit TempPath(const std::string& name)
      : path((std::filesystem::temp_directory_path() /
              (name + "_" + std::to_string(::getpid()) + ".db"))
                 .string()) {
    Remove();
  }
  ~TempPath() { Remove(); }
  void Remove() const {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
      std::filesystem::remove(path + suffix, ignored);
    }
  }
  const std::string path;
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_CLI_RUN_CLI_H_
