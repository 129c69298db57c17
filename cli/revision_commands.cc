#include "cli/revision_commands.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/errors.h"
#include "app/revisions.h"
#include "cli/commands.h"
#include "cli/help_text.h"
#include "cli/session.h"
#include "migprof/com_error.h"
#include "wire/revision_json.h"

namespace migprof::cli {

// What every command names: the database, the acting user and the item.
struct RevisionCommandTarget {
  DatabaseSettings settings;
  std::string mprf;
  std::string vrc;
  std::optional<std::string> table;
  // Positional words after the VRC: the function name (unless --table is
  // given), then the command's own words.
  std::vector<std::string> words;
};

namespace {

using app::Application;
using app::Principal;
using configmgt::Item;
using configmgt::ItemKind;
using wire::ItemJson;

// A malformed command line: nothing was done.
struct Usage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

Integer ProfileNumber(const std::string& text) {
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number < -32768 || number > 32767) {
    throw Usage("the profile number must be a whole number from -32768 to 32767: " + text);
  }
  return static_cast<Integer>(number);
}

Long RevisionNumber(const std::string& text) {
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number < 1 || number > 2147483647L) {
    throw Usage("a revision is a number from 1: " + text);
  }
  return static_cast<Long>(number);
}

// The item the target names; the words that follow it stay in `rest`.
Item ItemOf(const RevisionCommandTarget& target, std::vector<std::string>& rest) {
  std::optional<configmgt::Vrc> vrc = configmgt::Vrc::Parse(target.vrc);
  if (!vrc) throw Usage("the VRC must be written {vers}_{rele}_{cust}: " + target.vrc);
  rest = target.words;
  Item item{ProfileNumber(target.mprf), *vrc, ItemKind::kRule, target.table.value_or("")};
  if (!target.table) {
    if (rest.empty()) throw Usage("name the function, or the table with --table");
    item.kind = ItemKind::kFunction;
    item.name = rest.front();
    rest.erase(rest.begin());
  }
  return item;
}

}  // namespace

struct RevisionCommands::State {
  struct Command {
    CLI::App* app = nullptr;
    std::function<Json(Application&, const Principal&, const Item&, std::vector<std::string>&)>
        run_item;
    std::function<Json(Application&, const Principal&)> run_plain;
    // Only reads: needs no name to act as.
    bool reads = false;
  };
  RevisionCommandTarget target;
  bool force = false;
  std::optional<std::string> comment, definition, description, field;
  std::vector<std::string> sets;
  std::vector<Command> commands;
};

RevisionCommands::RevisionCommands(CLI::App& app) : state_(std::make_unique<State>()) {
  State& s = *state_;
  auto add = [&](const char* name, const char* help, bool names_item) {
    CLI::App* command = app.add_subcommand(name, help);
    command->footer(ExamplesFooter(name));
    command
        ->add_option("--database", s.target.settings.database,
                     "Data source name (DatabaseName), such as sqlite:/tmp/profiles.db")
        ->required();
    command->add_option("--user", s.target.settings.user, "Database user name (DatabaseUser)");
    command->add_option("--password", s.target.settings.password,
                        "Database password (DatabasePassword)");
    command->add_option("--as", s.target.settings.as,
                        "The account to act as (default: $MIGPROF_AS, else your login name)");
    if (names_item) {
      command->add_option("mprf", s.target.mprf, "Profile number")->required();
      command->add_option("vrc", s.target.vrc, "The VRC, as {vers}_{rele}_{cust}")->required();
      command->add_option("--table", s.target.table,
                          "The table rule <tcpac><tcmod><tflno> in place of a function");
    }
    s.commands.push_back(State::Command{command, nullptr, nullptr});
    return command;
  };

  CLI::App* checkout =
      add("checkout", "Check a function or table rule out to the acting user", true);
  checkout->add_option("function", s.target.words, "Function name");
  checkout->add_flag("--force", s.force, "Take over another user's check-out (recorded)");
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    auto&) {
    app::CheckOut(app, who, item, s.force);
    return Json{{"checkedOut", ItemJson(item)}};
  };

  CLI::App* checkin =
      add("checkin", "Check the acting user's check-out in as a new revision", true);
  checkin->add_option("function", s.target.words, "Function name");
  checkin->add_option("--comment", s.comment, "Why it changed")->required();
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    auto&) {
    Long number = app::CheckIn(app, who, item, *s.comment);
    return Json{{"checkedIn", ItemJson(item)}, {"revision", number}};
  };

  CLI::App* undo = add("undo-checkout", "Put the rows back as they were at check-out", true);
  undo->add_option("function", s.target.words, "Function name");
  undo->add_flag("--force", s.force, "Undo another user's check-out (recorded)");
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    auto&) {
    app::UndoCheckOut(app, who, item, s.force);
    return Json{{"undone", ItemJson(item)}};
  };

  CLI::App* edit_function = add("edit-function", "Change a checked-out function", true);
  edit_function->add_option("function", s.target.words, "Function name");
  edit_function->add_option("--definition", s.definition, "New definition (fdef)");
  edit_function->add_option("--description", s.description, "New description (dsca)");
  edit_function->add_option("--comment", s.comment, "New comment (comt)");
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    auto&) {
    if (item.kind != ItemKind::kFunction)
      throw Usage("edit-function takes a function, not --table");
    app::EditFunction(app, who, item, {s.definition, s.description, s.comment});
    return Json{{"edited", ItemJson(item)}};
  };

  CLI::App* edit_rule =
      add("edit-rule", "Change a checked-out table rule or one of its field rules", true);
  edit_rule->add_option("--field", s.field, "The field rule (fdnm) to change");
  edit_rule->add_option("--set", s.sets, "column=value, repeatable")->required();
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    auto&) {
    if (item.kind != ItemKind::kRule) throw Usage("edit-rule needs --table");
    std::vector<std::pair<String, String>> values;
    for (const std::string& set : s.sets) {
      std::size_t equals = set.find('=');
      if (equals == std::string::npos || equals == 0) throw Usage("--set takes column=value");
      values.emplace_back(set.substr(0, equals), set.substr(equals + 1));
    }
    app::EditRule(app, who, item, s.field, values);
    return Json{{"edited", ItemJson(item)}};
  };

  CLI::App* history = add("history", "Every revision of a function or table rule", true);
  history->add_option("function", s.target.words, "Function name");
  s.commands.back().reads = true;
  s.commands.back().run_item = [](Application& app, const Principal& who, const Item& item, auto&) {
    return wire::HistoryJson(item, app::History(app, who, item));
  };

  CLI::App* diff = add("diff", "Changes between two revisions, or from one to the rows now", true);
  diff->add_option("words", s.target.words, "[function] from [to]");
  s.commands.back().reads = true;
  s.commands.back().run_item = [](Application& app, const Principal& who, const Item& item,
                                  std::vector<std::string>& rest) {
    if (rest.empty() || rest.size() > 2) throw Usage("diff takes one or two revision numbers");
    Long from = RevisionNumber(rest[0]);
    std::optional<Long> to;
    if (rest.size() == 2) to = RevisionNumber(rest[1]);
    return wire::DiffJson(item, from, to, app::Diff(app, who, item, from, to));
  };

  CLI::App* restore = add("restore", "Make an older revision the newest", true);
  restore->add_option("words", s.target.words, "[function] revision");
  restore->add_option("--comment", s.comment, "Why");
  s.commands.back().run_item = [&s](Application& app, const Principal& who, const Item& item,
                                    std::vector<std::string>& rest) {
    if (rest.size() != 1) throw Usage("restore takes one revision number");
    Long number = RevisionNumber(rest[0]);
    Long made = app::Restore(app, who, item, number, s.comment.value_or(""));
    return Json{{"restored", number}, {"revision", made}, {"item", ItemJson(item)}};
  };

  CLI::App* checkouts = add("checkouts", "Every open check-out with its holder and age", false);
  checkouts->add_option("mprf", s.target.mprf, "Only of this profile");
  s.commands.back().reads = true;
  s.commands.back().run_plain = [&s](Application& app, const Principal& who) {
    std::optional<Integer> mprf;
    if (!s.target.mprf.empty()) mprf = ProfileNumber(s.target.mprf);
    return wire::CheckOutsJson(app::CheckOuts(app, who, mprf));
  };
}

RevisionCommands::~RevisionCommands() = default;

std::optional<int> RevisionCommands::RunChosen(std::ostream& out, std::ostream& err) const {
  const State& s = *state_;
  for (const State::Command& command : s.commands) {
    if (!command.app->parsed()) continue;
    const std::string name = command.app->get_name();
    try {
      // Parsed before the database is opened, so a malformed line changes
      // nothing.
      std::vector<std::string> rest;
      std::optional<Item> item;
      if (command.run_item) item = ItemOf(s.target, rest);
      std::unique_ptr<Application> application = OpenApplication(s.target.settings);
      const Principal who = command.reads ? ReadingPrincipal(*application, s.target.settings)
                                          : ActingPrincipal(*application, s.target.settings);
      Json answer = item ? command.run_item(*application, who, *item, rest)
                         : command.run_plain(*application, who);
      out << answer.dump() << '\n';
      return kExitOk;
    } catch (const Usage& usage) {
      err << "migprof " << name << ": " << usage.what() << '\n';
      return kExitBadRequest;
    } catch (const configmgt::Refusal& refusal) {
      err << refusal.what() << '\n';
      return kExitFailed;
    } catch (const app::Forbidden& refusal) {
      err << "migprof " << name << ": " << refusal.what() << '\n';
      return kExitForbidden;
    } catch (const ComError& error) {
      err << "migprof " << name << ": " << error.description() << " (" << error.number() << ")\n";
      return kExitFailed;
    } catch (...) {
      err << "migprof " << name << ": " << FailureText() << '\n';
      return kExitFailed;
    }
  }
  return std::nullopt;
}

}  // namespace migprof::cli
