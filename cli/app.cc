#include "cli/app.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/help_text.h"
#include "cli/insight_commands.h"
#include "cli/session.h"

namespace migprof::cli {
namespace {

// The options that set the object's database settings before any request.
void AddDatabaseOptions(CLI::App& command, DatabaseSettings& settings, bool required) {
  CLI::Option* database =
      command.add_option("--database", settings.database,
                         "Data source name (DatabaseName), such as sqlite:/tmp/profiles.db");
  if (required) database->required();
  command.add_option("--user", settings.user, "Database user name (DatabaseUser)");
  command.add_option("--password", settings.password, "Database password (DatabasePassword)");
}

}  // namespace

int RunMigprof(int argc, const char* const* argv, std::istream& in, std::ostream& out,
               std::ostream& err) {
  CLI::App app(
      "Drives the migration-profile component from scripts and other languages:\n"
      "create a profile database, call the component's members and run statements,\n"
      "with JSON answers.",
      "migprof");
  app.require_subcommand(1);
  app.footer(ToolFooter());

  std::string init_path;
  CLI::App* init = app.add_subcommand("init", "Create a new embedded profile database file");
  bool init_demo = false;
  init->add_option("path", init_path, "File to create")->required();
  init->add_flag("--demo", init_demo,
                 "Also fill the new file with a small demo estate: applications and their\n"
                 "data dictionary, standard and derived profiles of the users alice and bob,\n"
                 "mapping rules and a function library with a checked-out function");
  init->footer(InitFooter());

  DatabaseSettings session_settings;
  RequestOptions session_options;
  CLI::App* session =
      app.add_subcommand("session", "Answer JSON requests read line by line from standard input");
  AddDatabaseOptions(*session, session_settings, /*required=*/false);
  session->add_flag("--trace", session_options.trace, "Also answer the statements each call sent");
  session->footer(SessionFooter());

  DatabaseSettings sql_settings;
  std::string statement;
  CLI::App* sql = app.add_subcommand("sql", "Run one statement and print its rows as JSON");
  AddDatabaseOptions(*sql, sql_settings, /*required=*/true);
  sql->add_option("statement", statement, "The statement, as written for SQL Server")->required();
  sql->footer(SqlFooter());

  DatabaseSettings call_settings;
  RequestOptions call_options;
  std::string member;
  std::vector<std::string> words;
  std::optional<std::string> args_json;
  CLI::App* call = app.add_subcommand("call", "Call one member and print its answer as JSON");
  AddDatabaseOptions(*call, call_settings, /*required=*/true);
  call->add_flag("--trace", call_options.trace, "Also answer the statements the call sent");
  call->add_option("--args", args_json, "The arguments as one JSON array, such as '[12, 1]'");
  call->add_option("member", member, "Member name, in any letter case")->required();
  call->add_option("json-args", words, "The arguments, one word each");
  call->footer(CallFooter());

  InsightCommands insight(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err);
  }

  if (init->parsed()) return RunInit(init_path, init_demo, out, err);
  if (session->parsed()) return RunSession(session_settings, session_options, in, out);
  if (sql->parsed()) return RunSqlCommand(sql_settings, statement, out);
  if (insight.parsed()) return insight.Run(out, err);
  return RunCallCommand(call_settings, member, words, args_json, call_options, out);
}

}  // namespace migprof::cli
