#include "cli/commands.h"

#include <filesystem>
#include <system_error>

#include "app/database_files.h"
#include "app/demo_estate.h"
#include "migprof/com_error.h"
#include "wire/json_depth.h"

namespace migprof::cli {
int StatusOf(const Json& answer) {
  if (answer.contains("forbidden")) return kExitForbidden;
  if (answer.contains("error")) return kExitBadRequest;
  if (answer.contains("raised")) return kExitFailed;
  return kExitOk;
}

int RunInit(const std::string& path, bool demo, std::ostream& out, std::ostream& err) {
  std::error_code ignored;
  // symlink_status also sees a dangling link, which creating the database
  // would follow.
  if (std::filesystem::symlink_status(path, ignored).type() !=
      std::filesystem::file_type::not_found) {
    err << "migprof init: " << path << " already exists; choose a new file name\n";
    return kExitFailed;
  }
  try {
    app::CreateDatabaseFile(path);
  } catch (...) {
    ComError error = CurrentFailure();
    err << "migprof init: cannot create " << path << ": " << error.description() << '\n';
    return kExitFailed;
  }
  out << "Created " << path << "; use it with --database sqlite:" << path << '\n';
  if (!demo) return kExitOk;
  try {
    TOVRHandleMigProf object;
    object.DatabaseName("sqlite:" + path);
    app::PopulateDemoEstate(object);
  } catch (...) {
    ComError error = CurrentFailure();
    err << "migprof init: cannot fill " << path << " with the demo estate: " << error.description()
        << '\n';
    // A half-filled estate is of no use; the file is ours to remove.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::filesystem::remove(path + suffix, ignored);
    }
    return kExitFailed;
  }
  app::WriteDemoSummary(out, path);
  return kExitOk;
}

int RunBackup(const DatabaseSettings& settings, const std::string& target, std::ostream& out,
              std::ostream& err) {
  constexpr std::string_view kPrefix = "sqlite:";
  const std::string database = settings.database.value_or("");
  if (database.compare(0, kPrefix.size(), kPrefix) != 0) {
    err << "migprof backup: only an embedded database (--database sqlite:<file>) can be backed "
           "up here; back up a server database with the server's own tools\n";
    return kExitFailed;
  }
  const std::string source = database.substr(kPrefix.size());
  try {
    app::BackupDatabaseFile(source, target);
  } catch (...) {
    err << "migprof backup: " << CurrentFailure().description() << '\n';
    return kExitFailed;
  }
  out << "Backed up " << source << " to " << target << '\n';
  return kExitOk;
}

int RunUpgrade(const std::string& path, std::ostream& out, std::ostream& err) {
  std::vector<std::string> changed;
  try {
    changed = app::UpgradeDatabaseFile(path);
  } catch (...) {
    err << "migprof upgrade: " << CurrentFailure().description() << '\n';
    return kExitFailed;
  }
  if (changed.empty()) {
    out << path << " is up to date\n";
  } else {
    out << "Upgraded " << path << ":\n";
    for (const std::string& item : changed) out << "  " << item << '\n';
  }
  return kExitOk;
}

int RunSqlCommand(const DatabaseSettings& settings, const std::string& statement, std::ostream& out,
                  std::ostream& err) {
  Json answer;
  try {
    std::unique_ptr<app::Application> application = OpenApplication(settings);
    Caller caller{*application, ActingPrincipal(*application, settings)};
    answer = HandleRequest(caller, Json{{"sql", statement}}, RequestOptions{});
  } catch (...) {
    err << "migprof sql: " << FailureText() << '\n';
    return kExitFailed;
  }
  WriteAnswer(out, answer);
  return StatusOf(answer);
}

Json CallArguments(const std::vector<std::string>& words,
                   const std::optional<std::string>& args_json) {
  if (args_json) {
    if (!words.empty()) throw BadRequest("give the arguments as words or with --args, not both");
    if (auto too_deep = wire::NestingTooDeep(*args_json)) {
      throw BadRequest("--args is refused: " + *too_deep);
    }
    Json args = Json::parse(*args_json, nullptr, /*allow_exceptions=*/false);
    if (args.is_discarded() || !args.is_array()) {
      throw BadRequest("--args must be a JSON array, such as '[12, \"alice\"]'");
    }
    return args;
  }
  Json args = Json::array();
  for (const std::string& word : words) {
    if (auto too_deep = wire::NestingTooDeep(word)) {
      throw BadRequest("an argument is refused: " + *too_deep);
    }
    Json value = Json::parse(word, nullptr, /*allow_exceptions=*/false);
    args.push_back(value.is_discarded() ? Json(word) : std::move(value));
  }
  return args;
}

int RunCallCommand(const DatabaseSettings& settings, const std::string& member,
                   const std::vector<std::string>& words,
                   const std::optional<std::string>& args_json, const RequestOptions& options,
                   std::ostream& out, std::ostream& err) {
  Json args;
  try {
    args = CallArguments(words, args_json);
  } catch (const BadRequest& error) {
    WriteAnswer(out, ErrorJson(error.what()));
    return kExitBadRequest;
  }
  Json answer;
  try {
    std::unique_ptr<app::Application> application = OpenApplication(settings);
    Caller caller{*application, ActingPrincipal(*application, settings)};
    answer = HandleRequest(caller, Json{{"call", member}, {"args", args}}, options);
  } catch (const BadRequest& error) {
    answer = ErrorJson(error.what());
  } catch (...) {
    err << "migprof call: " << FailureText() << '\n';
    return kExitFailed;
  }
  WriteAnswer(out, answer);
  return StatusOf(answer);
}

}  // namespace migprof::cli
