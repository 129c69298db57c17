// The session command: requests read line by line, answered line by line,
// all against one component object.
#ifndef MIGPROF_COMMANDS_SESSION_H_
#define MIGPROF_COMMANDS_SESSION_H_

#include <istream>
#include <optional>
#include <ostream>

#include "commands/request.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::cli {

// Database settings given on the command line; those not given are left as
// the object has them.
struct DatabaseSettings {
  std::optional<String> database;
  std::optional<String> user;
  std::optional<String> password;
};

// Sets DatabaseName, DatabaseUser and DatabasePassword from the settings
// that are given.
void ApplySettings(TOVRHandleMigProf& object, const DatabaseSettings& settings);

// Reads one request per line from in until its end and writes one answer per
// line to out (AnswerLine, WriteAnswer). Every request goes to object,
// so its error state carries from call to call.
void ServeSession(TOVRHandleMigProf& object, std::istream& in, std::ostream& out,
                  const RequestOptions& options);

// ServeSession on a new object with settings applied first. Returns the exit
// status: 0 once the input has ended.
int RunSession(const DatabaseSettings& settings, const RequestOptions& options, std::istream& in,
               std::ostream& out);

}  // namespace migprof::cli

#endif  // MIGPROF_COMMANDS_SESSION_H_
