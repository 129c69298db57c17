#include "cli/insight_commands.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "app/changes.h"
#include "app/errors.h"
#include "app/insight.h"
#include "cli/commands.h"
#include "cli/help_text.h"
#include "cli/request.h"
#include "migprof/com_error.h"
#include "wire/insight_json.h"
#include "wire/json_depth.h"
#include "wire/member_json.h"

namespace migprof::cli {
namespace {

Integer ParseNumber(const std::string& text, const char* what) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() ||
      value < std::numeric_limits<Integer>::min() || value > std::numeric_limits<Integer>::max()) {
    throw BadRequest(std::string(what) + " \"" + text + "\" is not a profile number");
  }
  return static_cast<Integer>(value);
}

// Opens the application acting as settings say (a command that only reads
// needs no name to act as), runs body and turns what it raises into a
// message on err and the exit status.
int Guarded(const char* command, const DatabaseSettings& settings, std::ostream& err,
            const std::function<void(app::Application&, const app::Principal&)>& body,
            bool reads = false) {
  try {
    std::unique_ptr<app::Application> application = OpenApplication(settings);
    body(*application, reads ? ReadingPrincipal(*application, settings)
                             : ActingPrincipal(*application, settings));
    return kExitOk;
  } catch (const BadRequest& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitBadRequest;
  } catch (const app::Invalid& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitBadRequest;
  } catch (const app::Forbidden& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitForbidden;
  } catch (const app::Unauthenticated& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitFailed;
  } catch (const insight::ImportRefused& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitFailed;
  } catch (const ComError& error) {
    err << "migprof " << command << ": " << error.description() << " (" << error.number() << ")\n";
    return kExitFailed;
  } catch (...) {
    err << "migprof " << command << ": " << FailureText() << '\n';
    return kExitFailed;
  }
}

void WriteJson(std::ostream& out, const Json& value) {
  out << value.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunPreviewCommand(const DatabaseSettings& settings, const std::string& member_name,
                      const std::vector<std::string>& words,
                      const std::optional<std::string>& args_json, std::ostream& out,
                      std::ostream& err) {
  return Guarded("preview", settings, err, [&](app::Application& app, const app::Principal& who) {
    const Json args = CallArguments(words, args_json);
    app::MemberCall call;
    try {
      call = wire::CallFromJson(member_name, args);
    } catch (const app::NotFound&) {
      throw BadRequest("\"" + member_name + "\" is not a member that changes the database");
    }
    // The profiles whose rules a snapshot of a server needs: the member's
    // profile-number arguments.
    std::vector<Integer> profiles;
    for (std::size_t i = 0; i < call.member->params.size(); ++i) {
      if (call.member->params[i].type == dispatch::ParamType::kInteger) {
        profiles.push_back(call.args[i].AsInteger());
      }
    }
    app::PreviewResult preview = app::PreviewCall(app, who, call, profiles);
    WriteJson(out, Json{{"member", call.member->name},
                        {"args", args},
                        {"outcome", wire::OutcomeJson(preview.outcome)},
                        {"changes", wire::ChangesJson(preview.changes)}});
  });
}

insight::RuleSet ParseRuleSet(const std::string& text) {
  insight::RuleSet set;
  std::size_t colon = text.find(':');
  set.mprf = ParseNumber(text.substr(0, colon), "profile");
  if (colon == std::string::npos) return set;
  std::string vrc = text.substr(colon + 1);
  std::size_t first = vrc.find('_');
  std::size_t second = first == std::string::npos ? first : vrc.find('_', first + 1);
  if (second == std::string::npos || vrc.find('_', second + 1) != std::string::npos) {
    throw BadRequest("\"" + text + "\" is not <mprf>:<vers>_<rele>_<cust>");
  }
  set.vrc = std::vector<String>{vrc.substr(0, first), vrc.substr(first + 1, second - first - 1),
                                vrc.substr(second + 1)};
  return set;
}

int RunCompareCommand(const DatabaseSettings& settings, const std::string& left,
                      const std::string& right, std::ostream& out, std::ostream& err) {
  return Guarded(
      "compare", settings, err,
      [&](app::Application& app, const app::Principal& who) {
        insight::RuleSet left_set = ParseRuleSet(left);
        insight::RuleSet right_set = ParseRuleSet(right);
        WriteJson(out, wire::ComparisonJson(app::Compare(app, who, left_set, right_set)));
      },
      /*reads=*/true);
}

int RunWhereUsedCommand(const DatabaseSettings& settings, const std::optional<std::string>& mprf,
                        const std::optional<std::string>& table,
                        const std::optional<std::string>& function, std::ostream& out,
                        std::ostream& err) {
  if (int(mprf.has_value()) + int(table.has_value()) + int(function.has_value()) != 1) {
    err << "migprof where-used: give one of a profile number, --table or --function\n";
    return kExitBadRequest;
  }
  return Guarded(
      "where-used", settings, err,
      [&](app::Application& app, const app::Principal& who) {
        if (mprf) {
          WriteJson(out, wire::LineageJson(app::Lineage(app, who, ParseNumber(*mprf, "profile"))));
        } else if (table) {
          if (table->size() < 6) {
            throw BadRequest("--table takes <tcpac><tcmod><tflno>, such as ABcde001");
          }
          WriteJson(out,
                    wire::TableUsageJson(app::TableUse(app, who, table->substr(0, 2),
                                                       table->substr(2, 3), table->substr(5))));
        } else {
          WriteJson(out, wire::FunctionUsageJson(app::FunctionUse(app, who, *function)));
        }
      },
      /*reads=*/true);
}

int RunExportCommand(const DatabaseSettings& settings, const std::string& mprf, std::ostream& out,
                     std::ostream& err) {
  return Guarded(
      "export", settings, err,
      [&](app::Application& app, const app::Principal& who) {
        Integer number = ParseNumber(mprf, "profile");
        out << app::Export(app, who, number);
      },
      /*reads=*/true);
}

int RunImportCommand(const DatabaseSettings& settings, const std::string& file, bool dry_run,
                     std::ostream& out, std::ostream& err) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    err << "migprof import: cannot read " << file << '\n';
    return kExitBadRequest;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return RunImportDocument(settings, text.str(), dry_run, out, err);
}

int RunImportDocument(const DatabaseSettings& settings, const std::string& document, bool dry_run,
                      std::ostream& out, std::ostream& err) {
  return Guarded("import", settings, err, [&](app::Application& app, const app::Principal& who) {
    if (!dry_run) {
      WriteJson(out, wire::ImportJson(app::Import(app, who, document)));
      return;
    }
    insight::ImportResult result;
    std::vector<insight::TableChanges> changes = app::PreviewImport(app, who, document, result);
    WriteJson(out,
              Json{{"outcome", wire::ImportJson(result)}, {"changes", wire::ChangesJson(changes)}});
  });
}

InsightCommands::InsightCommands(CLI::App& app) {
  // Every command gets the same database options; CLI11 binds each option to
  // one variable, so the commands share settings_ (only one of them runs).
  auto add_database = [this](CLI::App& command) {
    command.footer(ExamplesFooter(command.get_name()));
    command
        .add_option("--database", settings_.database,
                    "Data source name (DatabaseName), such as sqlite:/tmp/profiles.db")
        ->required();
    command.add_option("--user", settings_.user, "Database user name (DatabaseUser)");
    command.add_option("--password", settings_.password, "Database password (DatabasePassword)");
    command.add_option("--as", settings_.as,
                       "The account to act as (default: $MIGPROF_AS, else your login name)");
  };
  preview_ = app.add_subcommand(
      "preview", "Show what a changing member would do, without changing the database");
  add_database(*preview_);
  preview_->add_option("--args", args_json_, "The arguments as one JSON array");
  preview_->add_option("member", member_, "Member name, in any letter case")->required();
  preview_->add_option("json-args", words_, "The arguments, one word each, as for call");

  compare_ = app.add_subcommand(
      "compare", "Compare the mapping rules and functions of two <mprf>[:<vers>_<rele>_<cust>]");
  add_database(*compare_);
  compare_->add_option("left", left_, "Profile, optionally with a VRC")->required();
  compare_->add_option("right", right_, "Profile to compare with, such as the parent")->required();

  where_used_ = app.add_subcommand(
      "where-used", "A profile's lineage, or the profiles using a table or a function");
  add_database(*where_used_);
  where_used_->add_option("mprf", mprf_, "Profile number: its ancestors and derived profiles");
  where_used_->add_option("--table", table_, "Table code <tcpac><tcmod><tflno>");
  where_used_->add_option("--function", function_, "Library function name");

  export_ = app.add_subcommand("export", "Write a profile and its rules as one JSON document");
  add_database(*export_);
  export_->add_option("mprf", left_, "Profile number")->required();

  import_ = app.add_subcommand("import", "Add an exported profile to the database");
  add_database(*import_);
  import_->add_option("file", file_, "The exported document")->required();
  import_->add_flag("--dry-run", dry_run_, "Show what the import would write, writing nothing");
}

bool InsightCommands::parsed() const {
  return preview_->parsed() || compare_->parsed() || where_used_->parsed() || export_->parsed() ||
         import_->parsed();
}

int InsightCommands::Run(std::ostream& out, std::ostream& err) const {
  if (preview_->parsed()) {
    return RunPreviewCommand(settings_, member_, words_, args_json_, out, err);
  }
  if (compare_->parsed()) return RunCompareCommand(settings_, left_, right_, out, err);
  if (where_used_->parsed()) {
    return RunWhereUsedCommand(settings_, mprf_, table_, function_, out, err);
  }
  if (export_->parsed()) return RunExportCommand(settings_, left_, out, err);
  return RunImportCommand(settings_, file_, dry_run_, out, err);
}

}  // namespace migprof::cli
