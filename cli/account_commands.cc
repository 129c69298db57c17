#include "cli/account_commands.h"

#include <termios.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <vector>

#include "app/account_admin.h"
#include "app/errors.h"
#include "cli/commands.h"
#include "cli/help_text.h"
#include "wire/activity_json.h"

namespace migprof::cli {
namespace {

using app::Application;
using app::Principal;

}  // namespace

struct AccountCommands::State {
  using Body = std::function<int(Application&, const Principal&, std::istream&, std::ostream&,
                                 std::ostream&)>;
  struct Command {
    CLI::App* app;
    Body body;
  };
  DatabaseSettings settings;
  std::string option_file;
  std::string name, id, role = "maintainer";
  std::optional<std::string> mprf, user, since, until;
  long limit = 50;
  std::optional<long> prune_days;
  bool json = false;
  std::vector<Command> commands;

  CLI::App* Add(CLI::App& parent, const char* name, const char* help, Body body) {
    CLI::App* command = parent.add_subcommand(name, help);
    command
        ->add_option("--database", settings.database, "sqlite:<path> or an ODBC data source name")
        ->required();
    command->add_option("--option-file", option_file,
                        "File with user= and password= lines for the database login");
    command->add_option("--as", settings.as,
                        "The account to act as (default: $MIGPROF_AS, else your login name); "
                        "it must be an administrator, or no account at all");
    commands.push_back(Command{command, std::move(body)});
    return command;
  }
};

AccountCommands::AccountCommands(CLI::App& app) : state_(std::make_unique<State>()) {
  State& s = *state_;
  CLI::App* user = app.add_subcommand("user", "Manage the accounts of the front end and the API");
  user->require_subcommand(1);
  user->footer(
      "Roles: a viewer reads; a maintainer also creates profiles and changes those it owns; an "
      "administrator manages accounts and may change every profile. The first account made is "
      "an administrator.");

  CLI::App* add = s.Add(*user, "add", "Add an account; the password is read from standard input",
                        [&s](Application& app, const Principal& who, std::istream& in,
                             std::ostream& out, std::ostream& err) {
                          bool ok = false;
                          const std::string password = ReadPassword(in, out, ok);
                          if (!ok || password.empty()) {
                            err << "migprof user add: no password given (or the two entries "
                                   "differ)\n";
                            return kExitBadRequest;
                          }
                          const app::Role given =
                              app::AddAccount(app, who, s.name, password, *app::ParseRole(s.role));
                          out << "Account " << s.name << " (" << app::RoleName(given)
                              << ") can sign in.\n";
                          return kExitOk;
                        });
  add->add_option("name", s.name, "Account name")->required();
  add->add_option("--role", s.role, "viewer, maintainer or administrator")
      ->check(CLI::IsMember({"viewer", "maintainer", "administrator"}))
      ->capture_default_str();

  CLI::App* list = s.Add(*user, "list", "List the accounts with their roles",
                         [&s](Application& app, const Principal& who, std::istream&,
                              std::ostream& out, std::ostream&) {
                           for (const app::Account& account : app::ListAccounts(app, who)) {
                             if (s.json) {
                               out << wire::AccountJson(account).dump() << '\n';
                               continue;
                             }
                             out << account.name << "  " << app::RoleName(account.role)
                                 << (account.disabled ? "  disabled" : "") << "  "
                                 << account.sessions << " sessions  " << account.tokens
                                 << " tokens\n";
                           }
                           return kExitOk;
                         });
  list->add_flag("--json", s.json, "One JSON object per account");

  CLI::App* remove = s.Add(*user, "remove", "Remove an account, its sessions and its tokens",
                           [&s](Application& app, const Principal& who, std::istream&,
                                std::ostream& out, std::ostream&) {
                             app::RemoveAccount(app, who, s.name);
                             out << "Account " << s.name << " removed; its sessions have ended.\n";
                             return kExitOk;
                           });
  remove->add_option("name", s.name, "Account name")->required();

  for (bool disable : {true, false}) {
    CLI::App* command =
        s.Add(*user, disable ? "disable" : "enable",
              disable ? "Stop an account from signing in or using its tokens (ends its sessions)"
                      : "Let a disabled account sign in again",
              [&s, disable](Application& app, const Principal& who, std::istream&,
                            std::ostream& out, std::ostream&) {
                app::SetDisabled(app, who, s.name, disable);
                out << "Account " << s.name << (disable ? " disabled.\n" : " enabled.\n");
                return kExitOk;
              });
    command->add_option("name", s.name, "Account name")->required();
  }

  CLI::App* role = s.Add(*user, "role", "Change the role of an account",
                         [&s](Application& app, const Principal& who, std::istream&,
                              std::ostream& out, std::ostream&) {
                           app::ChangeRole(app, who, s.name, *app::ParseRole(s.role));
                           out << "Account " << s.name << " is now " << s.role << ".\n";
                           return kExitOk;
                         });
  role->add_option("name", s.name, "Account name")->required();
  role->add_option("role", s.role, "viewer, maintainer or administrator")
      ->check(CLI::IsMember({"viewer", "maintainer", "administrator"}))
      ->required();

  CLI::App* password = s.Add(*user, "password", "Set a new password, read from standard input",
                             [&s](Application& app, const Principal& who, std::istream& in,
                                  std::ostream& out, std::ostream& err) {
                               bool ok = false;
                               const std::string text = ReadPassword(in, out, ok);
                               if (!ok || text.empty()) {
                                 err << "migprof user password: no password given (or the two "
                                        "entries differ)\n";
                                 return kExitBadRequest;
                               }
                               app::ResetPassword(app, who, s.name, text);
                               out << "Password of " << s.name << " changed.\n";
                               return kExitOk;
                             });
  password->add_option("name", s.name, "Account name")->required();

  CLI::App* end = s.Add(*user, "end-sessions", "Sign an account out everywhere",
                        [&s](Application& app, const Principal& who, std::istream&,
                             std::ostream& out, std::ostream&) {
                          const long ended = app::EndSessions(app, who, s.name);
                          out << ended << (ended == 1 ? " session" : " sessions") << " of "
                              << s.name << " ended.\n";
                          return kExitOk;
                        });
  end->add_option("name", s.name, "Account name")->required();

  CLI::App* token = app.add_subcommand("token", "Add, list or revoke the API tokens of accounts");
  token->require_subcommand(1);
  token->footer(ExamplesFooter("token"));
  CLI::App* token_add =
      s.Add(*token, "add", "Print a new API token of an account (shown once)",
            [&s](Application& app, const Principal& who, std::istream&, std::ostream& out,
                 std::ostream&) {
              auto [id, secret] = app::AddToken(app, who, s.name);
              out << secret << '\n'
                  << "API token " << id << " of " << s.name
                  << ": shown this once, keep it secret; send it as \"Authorization: Bearer "
                     "<token>\"; `migprof token revoke "
                  << id << "` ends it.\n";
              return kExitOk;
            });
  token_add->add_option("user", s.name, "Account name")->required();
  CLI::App* token_list = s.Add(*token, "list", "List API tokens, of one account or all",
                               [&s](Application& app, const Principal& who, std::istream&,
                                    std::ostream& out, std::ostream&) {
                                 for (const app::ApiToken& t : app::ListTokens(app, who, s.name)) {
                                   out << t.id << "  " << t.user << "  " << wire::UtcText(t.created)
                                       << '\n';
                                 }
                                 return kExitOk;
                               });
  token_list->add_option("user", s.name, "Account name (all accounts if omitted)");
  CLI::App* token_revoke = s.Add(*token, "revoke", "Revoke an API token by its id",
                                 [&s](Application& app, const Principal& who, std::istream&,
                                      std::ostream& out, std::ostream&) {
                                   app::RevokeToken(app, who, s.id);
                                   out << "API token " << s.id << " revoked.\n";
                                   return kExitOk;
                                 });
  token_revoke->add_option("id", s.id, "Token id, as token list shows it")->required();

  CLI::App* activity = s.Add(
      app, "activity", "Show the recorded changes, newest first (or prune old ones)",
      [&s](Application& app, const Principal& who, std::istream&, std::ostream& out,
           std::ostream& err) {
        if (s.prune_days) {
          const long removed = app::PruneActivity(app, who, *s.prune_days);
          out << removed << " entries older than " << *s.prune_days << " days removed.\n";
          return kExitOk;
        }
        app::ActivityFilter filter;
        if (s.mprf) {
          try {
            filter.mprf = static_cast<Integer>(std::stoi(*s.mprf));
          } catch (const std::exception&) {
            err << "migprof activity: --profile takes a profile number\n";
            return kExitBadRequest;
          }
        }
        filter.user = s.user.value_or("");
        for (auto [text, into] : {std::pair{&s.since, &filter.since}, {&s.until, &filter.before}}) {
          if (!*text) continue;
          *into = app::DayStart(**text);
          if (!*into) {
            err << "migprof activity: dates are written YYYY-MM-DD\n";
            return kExitBadRequest;
          }
        }
        // --until names the last day shown.
        if (filter.before) *filter.before += 24 * 3600;
        for (const app::ActivityEntry& entry : app::ListActivity(app, who, filter, 0, s.limit)) {
          out << wire::ActivityJson(entry).dump() << '\n';
        }
        return kExitOk;
      });
  activity->add_option("--profile", s.mprf, "Only changes of this profile");
  activity->add_option("--user", s.user, "Only changes made by this account");
  activity->add_option("--since", s.since, "From this day on (YYYY-MM-DD, UTC)");
  activity->add_option("--until", s.until, "Up to and with this day (YYYY-MM-DD, UTC)");
  activity->add_option("--limit", s.limit, "At most this many entries")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  activity
      ->add_option("--prune-days", s.prune_days,
                   "Remove the entries older than this many days instead (administrators)")
      ->check(CLI::Range(1, 100000));
  activity->footer(
      "Each entry is one JSON object: when, user, entry point, operation, arguments, "
      "outcome and the rows changed per table.");
}

AccountCommands::~AccountCommands() = default;

std::optional<int> AccountCommands::RunChosen(std::istream& in, std::ostream& out,
                                              std::ostream& err) const {
  const State& s = *state_;
  for (const State::Command& command : s.commands) {
    if (!command.app->parsed()) continue;
    const std::string name =
        command.app->get_parent()->get_name() == "migprof"
            ? command.app->get_name()
            : command.app->get_parent()->get_name() + " " + command.app->get_name();
    DatabaseSettings settings = s.settings;
    if (!LoadDatabaseLogin(s.option_file, settings, err)) return kExitFailed;
    try {
      std::unique_ptr<Application> application = OpenApplication(settings);
      return command.body(*application, ActingPrincipal(*application, settings), in, out, err);
    } catch (const app::Forbidden& refusal) {
      err << "migprof " << name << ": " << refusal.what() << '\n';
      return kExitForbidden;
    } catch (const app::Invalid& invalid) {
      err << "migprof " << name << ": " << invalid.what() << '\n';
      return kExitBadRequest;
    } catch (...) {
      err << "migprof " << name << ": " << FailureText() << '\n';
      return kExitFailed;
    }
  }
  return std::nullopt;
}

bool LoadDatabaseLogin(const std::string& option_file, DatabaseSettings& settings,
                       std::ostream& err) {
  if (const char* user = std::getenv("MIGPROF_DB_USER")) settings.user = user;
  if (const char* password = std::getenv("MIGPROF_DB_PASSWORD")) settings.password = password;
  if (option_file.empty()) return true;
  std::ifstream file(option_file);
  if (!file) {
    err << "migprof: cannot read the option file " << option_file << '\n';
    return false;
  }
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("user=", 0) == 0) settings.user = line.substr(5);
    if (line.rfind("password=", 0) == 0) settings.password = line.substr(9);
  }
  return true;
}

std::string ReadPassword(std::istream& in, std::ostream& out, bool& ok) {
  const bool terminal = &in == &std::cin && isatty(STDIN_FILENO);
  termios saved{};
  if (terminal) {
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  auto read_line = [&](const char* prompt) {
    if (terminal) out << prompt << std::flush;
    std::string line;
    ok = static_cast<bool>(std::getline(in, line));
    if (terminal) out << '\n';
    return line;
  };
  std::string first = read_line("Password: ");
  if (ok && terminal) {
    std::string again = read_line("Again: ");
    if (again != first) first.clear();
  }
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return first;
}

}  // namespace migprof::cli
