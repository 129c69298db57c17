// Runs the recorded member traces in tests/golden/*.jsonl on the test
// database (embedded, or MIGPROF_TEST_DSN's data source).
//
// A file holds one case per line:
//   {"case": "<name>", "config": {...}, "setup": [...], "calls": [...]}
// "setup" lists statements (strings) and member calls ({"call", "args"})
// whose outcome is not kept. Each entry of "calls" is a member call, or a
// statement {"sql": "..."} run between calls; a member call carries what it
// did when it was recorded: "answer" (result, ErrorNumber, ErrDescription,
// by-reference arguments, the raised failure and the statements sent), the
// configuration-management calls ("config_calls", when "config" installs a
// scripted component) and "changed", the rows of every table the call
// changed. Each case runs on a fresh database and a fresh object, so the
// error state carries from call to call within a case only.
//
// MIGPROF_RECORD=1 rewrites the files from what the calls do now
// (scripts/record_traces.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "component/text/cp1252.h"
#include "migprof/dispatch.h"
#include "migprof/object_registry.h"
#include "testing/direct_call.h"
#include "testing/test_database.h"

namespace migprof::testing {
namespace {

using wire::Json;
namespace fs = std::filesystem;

bool Recording() {
  const char* value = std::getenv("MIGPROF_RECORD");
  return value != nullptr && std::string(value) == "1";
}

// A configuration-management component that answers as the case's "config"
// says ("check": Check_Check_Out's answer, "text": its ErrDescription,
// "fail_undo": Global_Undo_Check_Out raises) and logs every call. With
// "none" the component cannot be created at all.
class ScriptedConfigMgt : public ConfigMgt {
 public:
  ScriptedConfigMgt(const Json& config, Json& log) : config_(config), log_(log) {}

  void DatabaseName(const String& v) override { Log("DatabaseName", {v}); }
  void DatabasePassword(const String& v) override { Log("DatabasePassword", {v}); }
  void DatabaseServer(const String& v) override { Log("DatabaseServer", {v}); }
  void DatabaseUser(const String& v) override { Log("DatabaseUser", {v}); }
  void OpenConnection(std::shared_ptr<ado::Connection> c) override {
    Log("OpenConnection", {c && c->State() == ado::adStateOpen ? "open" : "closed"});
  }
  Variant Global_Undo_Check_Out(String& u, Integer& m, String& v, String& r, String& c,
                                String& p) override {
    Log("Global_Undo_Check_Out", {u, m, v, r, c, p});
    if (config_.value("fail_undo", false)) throw ComError(1234, "undo failed");
    return Variant(kTrue);
  }
  Variant Delete_Revisions(Integer& m, String& v, String& r, String& c, String& u,
                           String& p) override {
    Log("Delete_Revisions", {m, v, r, c, u, p});
    return Variant(kFalse);
  }
  Variant Check_Check_Out(Integer& m) override {
    Log("Check_Check_Out", {m});
    return Variant(Boolean::From(config_.value("check", true)));
  }
  String ErrDescription() override {
    Log("ErrDescription", Json::array());
    return config_.value("text", "component text");
  }

 private:
  void Log(const char* member, Json args) { log_.push_back({member, std::move(args)}); }
  Json config_;
  Json& log_;
};

class TraceRun {
 public:
  TraceRun() {
    object_.DatabaseName(db_.dsn());
    object_.DatabaseUser(db_.uid());
    object_.DatabasePassword(db_.pwd());
  }

  // Runs the case's input and answers the case with what each call did.
  Json Run(const Json& input) {
    std::optional<ScopedObjectFactory> fake;
    if (input.contains("config")) {
      Json config = input["config"];
      ObjectFactory factory = [this, config] {
        return std::make_shared<ScriptedConfigMgt>(config, log_);
      };
      fake.emplace(kConfigMgtProgId, config.value("none", false) ? nullptr : factory);
    }
    for (const Json& step : input.value("setup", Json::array())) {
      if (step.is_string()) {
        db_.Exec(step.get<std::string>());
      } else {
        Call(step);
      }
    }
    Json output = input;
    for (Json& step : output["calls"]) {
      if (step.contains("sql")) {
        db_.Exec(step["sql"].get<std::string>());
        continue;
      }
      const std::map<std::string, Json> before = Snapshot();
      const std::string earliest = DateTime::Now().ToString();
      log_ = Json::array();
      Json answer = Call(step);
      // Answers and rows written from "now" differ from run to run.
      const std::string latest = DateTime::Now().ToString();
      const auto now = [&](const std::string& text) -> Json {
        static const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
        bool written_now = std::regex_match(text, date) && text >= earliest && text <= latest;
        return written_now ? "<now>" : text;
      };
      step["answer"] = Normalised(answer);
      if (fake) step["config_calls"] = Normalised(log_);
      Json changed = Json::object();
      for (const auto& [table, rows] : Snapshot()) {
        auto old = before.find(table);
        if (old == before.end() || old->second != rows) changed[table] = EditStrings(rows, now);
      }
      step["changed"] = changed;
    }
    return output;
  }

  bool embedded() const { return db_.embedded(); }

 private:
  Json Call(const Json& step) {
    const dispatch::Member* member = dispatch::FindMember(step["call"].get<std::string>());
    if (member == nullptr) throw std::runtime_error("no member " + step["call"].dump());
    const Json args = EditStrings(step.value("args", Json::array()), [&](std::string text) {
      return Replaced(Replaced(Replaced(text, "$DSN", db_.dsn()), "$UID", db_.uid()), "$PWD",
                      db_.pwd());
    });
    return DirectCall(object_, *member, args, /*trace=*/true);
  }

  // The data source's name and login as placeholders, and owner cipher texts
  // in statements as their clear text.
  Json Normalised(const Json& value) const {
    return EditStrings(value, [&](std::string text) {
      static const std::regex cipher(R"(cast\('((?:[^']|'')*)' as varbinary\),')");
      std::smatch match;
      if (text.starts_with("insert into qzmap100(") && std::regex_search(text, match, cipher)) {
        std::string stored = Replaced(match[1].str(), "''", "'");
        text.replace(match.position(1), match.length(1), OwnerOfCipher(text::Utf8ToCp1252(stored)));
      }
      for (const auto& [real, placeholder] :
           {std::pair{db_.dsn(), "$DSN"}, {db_.uid(), "$UID"}, {db_.pwd(), "$PWD"}}) {
        if (text == real || text.find(real) != std::string::npos) {
          text = Replaced(text, real, placeholder);
        }
      }
      return text;
    });
  }

  // Every table's rows; a table that is missing (dropped by the case) has
  // none.
  std::map<std::string, Json> Snapshot() const {
    std::map<std::string, Json> tables;
    auto connection = db_.Connect();
    for (const std::string& table : TestDatabase::Tables()) {
      if (auto rows = SortedRows(connection, table)) tables[table] = *rows;
    }
    return tables;
  }

  TestDatabase db_;
  TOVRHandleMigProf object_;
  Json log_ = Json::array();
};

// Failures the database reports carry its own message, which differs from
// server to server: only the number is compared there.
Json ForServer(Json trace) {
  for (Json& step : trace["calls"]) {
    if (!step.contains("answer")) continue;
    Json& answer = step["answer"];
    for (Json* failure : {&answer, answer.contains("raised") ? &answer["raised"] : nullptr}) {
      if (failure == nullptr) continue;
      const char* number_key = failure == &answer ? "ErrorNumber" : "number";
      const char* text_key = failure == &answer ? "ErrDescription" : "description";
      long number = (*failure)[number_key].get<long>();
      if (number == errc::kErrorsInCommand || number == errc::kIntegrityViolation) {
        (*failure)[text_key] = "<database message>";
      }
    }
  }
  return trace;
}

std::vector<fs::path> TraceFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(MIGPROF_GOLDEN_DIR)) {
    if (entry.path().extension() == ".jsonl") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class Trace : public ::testing::TestWithParam<fs::path> {};

TEST_P(Trace, CallsDoWhatWasRecorded) {
  std::ifstream in(GetParam());
  std::vector<Json> cases;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) cases.push_back(Json::parse(line));
  }
  ASSERT_FALSE(cases.empty()) << GetParam();
  std::string recorded;
  for (Json expected : cases) {
    SCOPED_TRACE(expected["case"].get<std::string>());
    TraceRun run;
    Json actual = run.Run(expected);
    recorded += actual.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    if (Recording()) continue;
    if (!run.embedded()) {
      expected = ForServer(expected);
      actual = ForServer(actual);
    }
    EXPECT_EQ(expected.dump(1), actual.dump(1));
  }
  if (Recording()) std::ofstream(GetParam()) << recorded;
}

INSTANTIATE_TEST_SUITE_P(Golden, Trace, ::testing::ValuesIn(TraceFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace migprof::testing
