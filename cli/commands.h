// The one-shot commands of the tool: init, backup, upgrade, sql and call.
// Each writes its answer to out and returns the process exit status.
#ifndef MIGPROF_CLI_COMMANDS_H_
#define MIGPROF_CLI_COMMANDS_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/request.h"
#include "cli/session.h"

namespace migprof::cli {

// Exit statuses of the commands.
inline constexpr int kExitOk = 0;
// The call or statement raised, or the database could not be created.
inline constexpr int kExitFailed = 1;
// The request was malformed; nothing was called.
inline constexpr int kExitBadRequest = 2;
// The acting account may not do this; nothing was changed.
inline constexpr int kExitForbidden = 3;

// The exit status of an answer: kExitBadRequest for {"error"},
// kExitForbidden when it is a refusal of the account, kExitFailed when the
// call raised, else kExitOk.
int StatusOf(const Json& answer);

// Creates a new embedded database file at path with the schema and the
// application's tables and says so on out; with demo, also fills it with the
// demo estate (app::PopulateDemoEstate) and describes it. An existing file (of
// any kind) is never overwritten: a message on err and kExitFailed, as for
// any failure to create the file. A file whose filling failed is removed
// again.
int RunInit(const std::string& path, bool demo, std::ostream& out, std::ostream& err);

// Copies the embedded database that database names ("sqlite:<file>") into a
// new file at target, consistently while other processes use it. A message on
// err and kExitFailed for any other data source, an existing target or a
// source that is not a profile database.
int RunBackup(const DatabaseSettings& settings, const std::string& target, std::ostream& out,
              std::ostream& err);

// Gives an embedded database made by an older version the current keys
// (sqlite::UpgradeDatabase) and says what changed. kExitFailed with a message
// on err when it cannot; the file is then unchanged.
int RunUpgrade(const std::string& path, std::ostream& out, std::ostream& err);

// Runs one statement as an administrator and writes the answer line.
int RunSqlCommand(const DatabaseSettings& settings, const std::string& statement, std::ostream& out,
                  std::ostream& err);

// The arguments of a call as the command line gives them: words, each taken
// as JSON when it is a JSON value (12, true, null, "12") and as text
// otherwise (alice); or, with args_json, one JSON array; not both. Anything
// else, or a value nesting arrays or objects deeper than kMaxJsonDepth,
// raises BadRequest.
Json CallArguments(const std::vector<std::string>& words,
                   const std::optional<std::string>& args_json);

// Calls member acting as the settings say and writes the answer line, its
// arguments read by CallArguments.
int RunCallCommand(const DatabaseSettings& settings, const std::string& member,
                   const std::vector<std::string>& words,
                   const std::optional<std::string>& args_json, const RequestOptions& options,
                   std::ostream& out, std::ostream& err);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_COMMANDS_H_
