// What every command of the tool that opens the profile database shares:
// the data source, its login and the name it acts as, and the session
// command (requests read line by line, answered line by line).
#ifndef MIGPROF_CLI_SESSION_H_
#define MIGPROF_CLI_SESSION_H_

#include <istream>
#include <memory>
#include <optional>
#include <ostream>

#include "app/application.h"
#include "app/principal.h"
#include "cli/request.h"

namespace migprof::cli {

// Settings given on the command line; those not given are empty.
struct DatabaseSettings {
  std::optional<String> database;
  std::optional<String> user;
  std::optional<String> password;
  // The account to act as; the default is $MIGPROF_AS, else the login name.
  std::optional<String> as;
};

// The application layer over the settings' data source. The embedded
// database gets the application's tables when it lacks them; a server
// database must have them (raises std::runtime_error naming the script).
std::unique_ptr<app::Application> OpenApplication(const DatabaseSettings& settings);

// Who the tool acts as (app::LocalPrincipal of --as or the default name).
app::Principal ActingPrincipal(app::Application& app, const DatabaseSettings& settings);
// Who a command that only reads acts as: the same, or without any name to
// act as, a viewer (app::LocalReader).
app::Principal ReadingPrincipal(app::Application& app, const DatabaseSettings& settings);

// Call only inside a catch block: the text of the exception being handled
// (a ComError's description, any other exception's message).
String FailureText();

// Reads one request per line from in until its end and writes one answer per
// line to out (AnswerLine, WriteAnswer). Every call goes to one object kept
// for the session, so its error state carries from call to call as a
// scripting host sees it.
void ServeSession(Caller& caller, std::istream& in, std::ostream& out,
                  const RequestOptions& options);

// ServeSession acting as the settings say. Returns the exit status: 0 once
// the input has ended; 1 with a message on err when the database or the
// acting account cannot be used.
int RunSession(const DatabaseSettings& settings, const RequestOptions& options, std::istream& in,
               std::ostream& out, std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_SESSION_H_
