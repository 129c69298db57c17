// The revision-control commands of the tool: checkout, checkin,
// undo-checkout, edit-function, edit-rule, history, diff, restore and
// checkouts. Each answers one JSON line on standard output; a refusal exits
// with status 1 and its message on standard error.
#ifndef MIGPROF_CLI_REVISION_COMMANDS_H_
#define MIGPROF_CLI_REVISION_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <ostream>

namespace migprof::cli {

class RevisionCommands {
 public:
  // Adds the commands to app.
  explicit RevisionCommands(CLI::App& app);
  ~RevisionCommands();
  RevisionCommands(const RevisionCommands&) = delete;
  RevisionCommands& operator=(const RevisionCommands&) = delete;

  // After parsing: runs the command that was chosen, if it is one of these,
  // and returns its exit status; nullopt when another command was chosen.
  std::optional<int> RunChosen(std::ostream& out, std::ostream& err) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_REVISION_COMMANDS_H_
