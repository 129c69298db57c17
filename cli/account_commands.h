// The commands that manage the accounts of the front end and the API, their
// API tokens, and the activity log: `user`, `token` and `activity`. The
// database login comes from MIGPROF_DB_USER and MIGPROF_DB_PASSWORD or an
// option file, never from the command line; the acting account from --as.
#ifndef MIGPROF_CLI_ACCOUNT_COMMANDS_H_
#define MIGPROF_CLI_ACCOUNT_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/session.h"

namespace migprof::cli {

class AccountCommands {
 public:
  // Adds the commands to app; their options are read into this object.
  explicit AccountCommands(CLI::App& app);
  ~AccountCommands();
  AccountCommands(const AccountCommands&) = delete;
  AccountCommands& operator=(const AccountCommands&) = delete;

  // After parsing: runs the command that was chosen, if it is one of these,
  // and returns its exit status; nullopt when another command was chosen.
  // Passwords are read from in (without echo on a terminal, twice).
  std::optional<int> RunChosen(std::istream& in, std::ostream& out, std::ostream& err) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The database login from the environment (MIGPROF_DB_USER,
// MIGPROF_DB_PASSWORD) or, when path is given, from an option file of
// "user=" and "password=" lines. False with a message when the file cannot
// be read.
bool LoadDatabaseLogin(const std::string& option_file, DatabaseSettings& settings,
                       std::ostream& err);

// Reads a password from in: on a terminal without echo, twice (empty when
// the two differ); otherwise one line. ok is false at the end of the input.
std::string ReadPassword(std::istream& in, std::ostream& out, bool& ok);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_ACCOUNT_COMMANDS_H_
