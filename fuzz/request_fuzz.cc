// The host's request reader on any line, against a profile database of its
// own: every line gets exactly one answer, a JSON object on one line; a line
// that is not JSON, or nests too deep, is answered with an error; and the
// nesting the reader measures before parsing is the nesting the parser finds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/request.h"
#include "cli/session.h"
#include "fuzz/check.h"
#include "migprof/handle_mig_prof.h"
#include "migprof/schema.h"
#include "wire/json_depth.h"

namespace {

namespace cli = migprof::cli;

// A database made once per run in a directory of its own under TMPDIR,
// removed at exit (.ci/fuzz.sh points TMPDIR into its scratch folder, which
// also goes when a run ends by a crash). A plain array, so the exit handler
// still finds the name.
char g_folder[4096];

const std::string& Database() {
  static const std::string database = [] {
    const std::string pattern =
        (std::filesystem::temp_directory_path() / "migprof-fuzz.XXXXXX").string();
    FUZZ_CHECK(pattern.size() < sizeof g_folder);
    pattern.copy(g_folder, pattern.size());
    FUZZ_CHECK(::mkdtemp(g_folder) != nullptr);
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    const std::string path = std::string(g_folder) + "/profiles.db";
    migprof::schema::CreateEmbeddedDatabase(path);
    return "sqlite:" + path;
  }();
  return database;
}

std::size_t Depth(const cli::Json& value) {
  if (!value.is_structured()) return 0;
  std::size_t deepest = 0;
  for (const cli::Json& child : value) deepest = std::max(deepest, Depth(child));
  return deepest + 1;
}

// The application over that database, acting as the tool's local user would.
cli::Caller& Session() {
  static const cli::DatabaseSettings settings{Database(), "tester", "secret", "tester"};
  static const std::unique_ptr<migprof::app::Application> app = cli::OpenApplication(settings);
  static cli::Caller caller{*app, cli::ActingPrincipal(*app, settings)};
  return caller;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  // A request line ends at a line break; the session reads no further.
  if (line.find('\n') != std::string_view::npos) return 0;
  migprof::TOVRHandleMigProf object;
  cli::Caller& caller = Session();
  caller.kept = &object;

  const cli::Json answer = cli::AnswerLine(caller, line, {});
  caller.kept = nullptr;
  FUZZ_CHECK(answer.is_object());
  const std::size_t depth = migprof::wire::JsonNestingDepth(line);
  const bool blank = line.find_first_not_of(" \t\r") == std::string_view::npos;
  const bool nul = line.find('\0') != std::string_view::npos;
  if (blank || nul || depth > migprof::wire::kMaxJsonDepth || !cli::Json::accept(line)) {
    FUZZ_CHECK(answer.size() == 1 && answer.contains("error"));
  } else {
    FUZZ_CHECK(Depth(cli::Json::parse(line)) == depth);
  }
  std::ostringstream out;
  cli::WriteAnswer(out, answer);
  const std::string written = out.str();
  FUZZ_CHECK(!written.empty() && written.find('\n') == written.size() - 1);
  FUZZ_CHECK(cli::Json::accept(written));
  return 0;
}
