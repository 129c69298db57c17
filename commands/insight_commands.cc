#include "commands/insight_commands.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "commands/call_member.h"
#include "commands/commands.h"
#include "commands/request.h"
#include "component/failure.h"

namespace migprof::cli {
namespace {

// The members that change the database, the only ones worth a preview.
constexpr std::string_view kChangingMembers[] = {
    "InsertInMap100", "UpdateMap100",          "DeleteMap100", "CopyToCurrentVRC", "DeleteMapRules",
    "ExpireMapRules", "Func_CopyToCurrentVRC", "Func_Expire",  "Func_Delete",
};

Integer ParseNumber(const std::string& text, const char* what) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() ||
      value < std::numeric_limits<Integer>::min() || value > std::numeric_limits<Integer>::max()) {
    throw BadRequest(std::string(what) + " \"" + text + "\" is not a profile number");
  }
  return static_cast<Integer>(value);
}

// Runs body and turns what it raises into a message on err and the exit
// status.
int Guarded(const char* command, std::ostream& err, const std::function<void()>& body) {
  try {
    body();
    return kExitOk;
  } catch (const BadRequest& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitBadRequest;
  } catch (const insight::ImportRefused& error) {
    err << "migprof " << command << ": " << error.what() << '\n';
    return kExitFailed;
  } catch (...) {
    ComError error = CurrentFailure();
    err << "migprof " << command << ": " << error.description() << " (" << error.number() << ")\n";
    return kExitFailed;
  }
}

void WriteJson(std::ostream& out, const Json& value) {
  out << value.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

insight::DataSource DataSourceOf(const DatabaseSettings& settings) {
  return insight::DataSource{settings.database.value_or(""), settings.user.value_or(""),
                             settings.password.value_or("")};
}

int RunPreviewCommand(const DatabaseSettings& settings, const std::string& member_name,
                      const std::vector<std::string>& words,
                      const std::optional<std::string>& args_json, std::ostream& out,
                      std::ostream& err) {
  return Guarded("preview", err, [&] {
    const dispatch::Member* member = dispatch::FindMember(member_name);
    if (!member || std::find(std::begin(kChangingMembers), std::end(kChangingMembers),
                             member->name) == std::end(kChangingMembers)) {
      throw BadRequest("\"" + member_name + "\" is not a member that changes the database");
    }
    Json args;
    if (args_json) {
      if (!words.empty()) throw BadRequest("give the arguments as words or with --args, not both");
      args = Json::parse(*args_json, nullptr, /*allow_exceptions=*/false);
      if (args.is_discarded() || !args.is_array()) {
        throw BadRequest("--args must be a JSON array, such as '[12, \"alice\"]'");
      }
    } else {
      args = ArgumentsFromWords(words);
    }
    // The profiles whose rules a snapshot of a server needs: the member's
    // profile-number arguments.
    std::vector<Integer> profiles;
    for (std::size_t i = 0; i < member->params.size() && i < args.size(); ++i) {
      if (member->params[i].type == dispatch::ParamType::kInteger && args[i].is_number_integer() &&
          args[i].get<long long>() >= std::numeric_limits<Integer>::min() &&
          args[i].get<long long>() <= std::numeric_limits<Integer>::max()) {
        profiles.push_back(static_cast<Integer>(args[i].get<long long>()));
      }
    }
    Json plan = insight::Preview(DataSourceOf(settings), profiles,
                                 [&](const insight::DataSource& snapshot) {
                                   TOVRHandleMigProf object;
                                   object.DatabaseName(snapshot.name);
                                   object.DatabaseUser(snapshot.user);
                                   object.DatabasePassword(snapshot.password);
                                   return CallMember(object, *member, args, /*trace=*/false);
                                 });
    Json answer{{"member", member->name}, {"args", args}};
    for (auto& [key, value] : plan.items()) answer[key] = value;
    WriteJson(out, answer);
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
  return Guarded("compare", err, [&] {
    insight::RuleSet left_set = ParseRuleSet(left);
    insight::RuleSet right_set = ParseRuleSet(right);
    WriteJson(out, insight::Compare(DataSourceOf(settings), left_set, right_set));
  });
}

int RunWhereUsedCommand(const DatabaseSettings& settings, const std::optional<std::string>& mprf,
                        const std::optional<std::string>& table,
                        const std::optional<std::string>& function, std::ostream& out,
                        std::ostream& err) {
  return Guarded("where-used", err, [&] {
    if (int(mprf.has_value()) + int(table.has_value()) + int(function.has_value()) != 1) {
      throw BadRequest("give one of a profile number, --table or --function");
    }
    insight::DataSource source = DataSourceOf(settings);
    if (mprf) {
      WriteJson(out, insight::Lineage(source, ParseNumber(*mprf, "profile")));
    } else if (table) {
      if (table->size() < 6) {
        throw BadRequest("--table takes <tcpac><tcmod><tflno>, such as ABcde001");
      }
      WriteJson(out, insight::TableUse(source, table->substr(0, 2), table->substr(2, 3),
                                       table->substr(5)));
    } else {
      WriteJson(out, insight::FunctionUse(source, *function));
    }
  });
}

int RunExportCommand(const DatabaseSettings& settings, const std::string& mprf, std::ostream& out,
                     std::ostream& err) {
  return Guarded("export", err, [&] {
    Integer number = ParseNumber(mprf, "profile");
    out << insight::ExportProfile(DataSourceOf(settings), number);
  });
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
  return Guarded("import", err, [&] {
    insight::DataSource target = DataSourceOf(settings);
    if (!dry_run) {
      WriteJson(out, insight::ImportProfile(target, document));
      return;
    }
    WriteJson(out, insight::Preview(target, {}, [&](const insight::DataSource& snapshot) {
                return insight::ImportProfile(snapshot, document);
              }));
  });
}

InsightCommands::InsightCommands(CLI::App& app) {
  // Every command gets the same database options; CLI11 binds each option to
  // one variable, so the commands share settings_ (only one of them runs).
  auto add_database = [this](CLI::App& command) {
    command
        .add_option("--database", settings_.database,
                    "Data source name (DatabaseName), such as sqlite:/tmp/profiles.db")
        ->required();
    command.add_option("--user", settings_.user, "Database user name (DatabaseUser)");
    command.add_option("--password", settings_.password, "Database password (DatabasePassword)");
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
