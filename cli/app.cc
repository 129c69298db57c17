#include "cli/app.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/versions.h"
#include "cli/account_commands.h"
#include "cli/commands.h"
#include "cli/coverage_commands.h"
#include "cli/help_text.h"
#include "cli/insight_commands.h"
#include "cli/revision_commands.h"
#include "cli/session.h"
#include "cli/web_commands.h"
#include "migprof/ado.h"
#include "wire/json_depth.h"

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
  command.add_option("--as", settings.as,
                     "The account to act as (default: $MIGPROF_AS, else your login name); "
                     "a member's user argument must name it");
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
  app.set_version_flag("--version", app::VersionText,
                       "Print the versions of migprof, SQLite and unixODBC");
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

  DatabaseSettings backup_settings;
  std::string backup_path;
  CLI::App* backup = app.add_subcommand("backup", "Copy a live embedded database into a new file");
  AddDatabaseOptions(*backup, backup_settings, /*required=*/true);
  backup->add_option("path", backup_path, "File to create with the copy")->required();
  backup->footer(BackupFooter());

  std::string upgrade_path;
  CLI::App* upgrade = app.add_subcommand(
      "upgrade", "Give an embedded database made by an older version the current keys");
  upgrade->add_option("path", upgrade_path, "The database file")->required();
  upgrade->footer(UpgradeFooter());

  DatabaseSettings session_settings;
  RequestOptions session_options;
  CLI::App* session =
      app.add_subcommand("session", "Answer JSON requests read line by line from standard input");
  AddDatabaseOptions(*session, session_settings, /*required=*/true);
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

  std::function<int()> run_web_command = AddWebCommands(app, in, out, err);

  // The option parser itself walks a bracketed word recursively, so a word
  // nested too deep is refused before it is parsed at all.
  for (int i = 1; i < argc; ++i) {
    if (auto too_deep = wire::NestingTooDeep(argv[i])) {
      WriteAnswer(out, ErrorJson("argument " + std::to_string(i) + " is refused: " + *too_deep));
      return kExitBadRequest;
    }
  }

  RevisionCommands revisions(app);
  InsightCommands insight(app);
  AccountCommands accounts(app);
  CoverageCommands coverage(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err);
  }

  const int status = [&] {
    if (int web_status = run_web_command(); web_status >= 0) return web_status;
    if (init->parsed()) return RunInit(init_path, init_demo, out, err);
    if (backup->parsed()) return RunBackup(backup_settings, backup_path, out, err);
    if (upgrade->parsed()) return RunUpgrade(upgrade_path, out, err);
    if (session->parsed()) return RunSession(session_settings, session_options, in, out, err);
    if (sql->parsed()) return RunSqlCommand(sql_settings, statement, out, err);
    if (std::optional<int> chosen = revisions.RunChosen(out, err)) return *chosen;
    if (std::optional<int> chosen = accounts.RunChosen(in, out, err)) return *chosen;
    if (std::optional<int> chosen = coverage.RunChosen(out, err)) return *chosen;
    if (insight.parsed()) return insight.Run(out, err);
    return RunCallCommand(call_settings, member, words, args_json, call_options, out, err);
  }();
  // The command's objects are gone: close the connections kept for reuse,
  // so that a database server sees each one end properly.
  ado::CloseIdleConnections();
  return status;
}

}  // namespace migprof::cli
