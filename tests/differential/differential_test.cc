// The embedded database against a server (MIGPROF_TEST_DSN): the same random
// estates and the same random member calls (random_case.h) must give the
// same answers after every step (result, ErrorNumber, ErrDescription,
// by-reference arguments, the raised failure) and the same rows in every
// table at the end. A failure's text is compared too, after the driver's
// "[...][...]" prefixes, unless both databases give their own words for it
// (a statement the engine itself refuses); SQL Server's texts that both
// give for a value that does not fit its column are always compared.
//
// On a difference the test prints the draw's number and the shortest run of
// steps it found that still shows one, as request lines for `migprof
// session` ("$DSN", "$UID", "$PWD": the data source and login).
//
//   MIGPROF_DIFF_DRAWS   number of draws (100; MIGPROF_DIFF_LONG=1: 1000)
//   MIGPROF_DIFF_FIRST   number of the first draw (1)
//   MIGPROF_DIFF_CALLS   member calls per draw (30)
//   MIGPROF_DIFF_SHOW=1  prints every step with the embedded database's answer
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <tuple>

#include "component/sqlite/sqlite_session.h"
#include "differential/random_case.h"
#include "migprof/dispatch.h"
#include "migprof/schema.h"
#include "testing/direct_call.h"
#include "testing/test_database.h"
#include "wire/json_values.h"

namespace migprof::testing {
namespace {

using wire::Json;

long Setting(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atol(value) : fallback;
}

// SQL Server's own texts, which both databases must give alike.
bool IsSqlServerText(const std::string& text) {
  for (const char* start :
       {"String or binary data would be truncated", "Conversion failed when converting",
        "The conversion of the varchar value", "Arithmetic overflow error",
        "Implicit conversion from data type", "Subquery returned more than 1 value"}) {
    if (text.rfind(start, 0) == 0) return true;
  }
  return false;
}

// One database with its component object.
class Side {
 public:
  // The embedded database in a file of its own, or the server.
  explicit Side(bool embedded) : embedded_(embedded) {
    if (embedded_) {
      path_ = (std::filesystem::temp_directory_path() /
               ("migprof_differential_" + std::to_string(::getpid()) + ".db"))
                  .string();
      dsn_ = "sqlite:" + path_;
      uid_ = "tester";
      pwd_ = "secret";
    } else {
      dsn_ = std::getenv("MIGPROF_TEST_DSN");
      const char* uid = std::getenv("MIGPROF_TEST_UID");
      const char* pwd = std::getenv("MIGPROF_TEST_PWD");
      uid_ = uid ? uid : "";
      pwd_ = pwd ? pwd : "";
    }
  }
  ~Side() { RemoveFile(); }
  Side(const Side&) = delete;
  Side& operator=(const Side&) = delete;

  // Empty tables and a new object.
  void Reset() {
    object_ = std::make_unique<TOVRHandleMigProf>();
    object_->DatabaseName(dsn_);
    object_->DatabaseUser(uid_);
    object_->DatabasePassword(pwd_);
    if (embedded_) {
      RemoveFile();
      schema::CreateEmbeddedDatabase(path_);
      return;
    }
    auto connection = Connect();
    for (const std::string& table : AllTables()) {
      try {
        connection->Execute("delete from " + table);
      } catch (const ComError&) {
        // a configuration-management table not created yet
      }
    }
  }

  Json Run(const Json& step) {
    const Json request = EditStrings(step, [&](std::string text) {
      return Replaced(Replaced(Replaced(text, "$DSN", dsn_), "$UID", uid_), "$PWD", pwd_);
    });
    if (request.contains("sql")) return Statement(request["sql"].get<std::string>());
    const dispatch::Member* member = dispatch::FindMember(request["call"].get<std::string>());
    if (member == nullptr) return Json{{"error", "no member " + request["call"].dump()}};
    return DirectCall(*object_, *member, request.value("args", Json::array()), false);
  }

  // Every table's rows, sorted; an owner cipher as its clear text, a time
  // written now as <now>.
  std::map<std::string, Json> Tables() {
    static const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    std::map<std::string, Json> tables;
    auto connection = Connect();
    for (const std::string& table : AllTables()) {
      std::optional<std::vector<Json>> rows = SortedRows(connection, table);
      if (!rows) continue;
      tables[table] = EditStrings(*rows, [](std::string text) -> std::string {
        return std::regex_match(text, date) && text != "2003-04-05 06:07:08" ? "<now>" : text;
      });
    }
    return tables;
  }

 private:
  // A statement run as the tool's `sql` runs it: the rows or the count of
  // rows changed, or what it raised.
  Json Statement(const std::string& sql) const {
    try {
      Variant affected;
      auto rows = Connect()->Execute(sql, &affected);
      if (rows->State() != ado::adStateOpen)
        return Json{{"rowsAffected", wire::JsonFromVariant(affected)}};
      Json out = Json::array();
      for (; !rows->EndOfFile(); rows->MoveNext()) {
        Json row = Json::array();
        for (long i = 0; i < rows->Fields().Count(); ++i) {
          row.push_back(
              wire::JsonFromVariant(rows->Fields().Item(static_cast<Integer>(i)).Value()));
        }
        out.push_back(std::move(row));
      }
      return Json{{"rows", std::move(out)}};
    } catch (const ComError& error) {
      return Json{{"raised", {{"number", error.number()}, {"description", error.description()}}}};
    }
  }

  static const std::vector<std::string>& AllTables() {
    static const std::vector<std::string> tables = [] {
      std::vector<std::string> names = TestDatabase::Tables();
      names.push_back("qzcfg100");  // configuration management's, when made
      names.push_back("qzcfg110");
      return names;
    }();
    return tables;
  }

  std::shared_ptr<ado::Connection> Connect() const {
    auto connection = ado::Connection::Create();
    connection->Open("DSN=" + dsn_ + ";uid=" + uid_ + ";pwd=" + pwd_ + ";");
    return connection;
  }

  void RemoveFile() {
    if (!embedded_) return;
    sqlite::CloseIdleSessions(path_);
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-lock"})
      std::filesystem::remove(path_ + suffix, ignored);
  }

  bool embedded_;
  std::string path_;
  std::string dsn_, uid_, pwd_;
  std::unique_ptr<TOVRHandleMigProf> object_;
};

// An answer as compared: failure texts after the driver's prefixes, and
// without them where both databases word a refusal of their own.
void Compare(Json& embedded, Json& server, bool* same) {
  for (const auto& [number_key, text_key, holder] :
       {std::tuple{"ErrorNumber", "ErrDescription", ""}, {"number", "description", "raised"}}) {
    Json* a = &embedded;
    Json* b = &server;
    if (*holder != '\0') {
      if (!a->contains(holder) || !b->contains(holder)) continue;
      a = &(*a)[holder];
      b = &(*b)[holder];
    }
    if (!a->contains(text_key) || !b->contains(text_key)) continue;
    const Json original_a = (*a)[text_key];
    const Json original_b = (*b)[text_key];
    const std::string ta = ServerText(original_a.get<std::string>());
    const std::string tb = ServerText(original_b.get<std::string>());
    (*a)[text_key] = ta;
    (*b)[text_key] = tb;
    const bool engine_words = !IsSqlServerText(ta) && !IsSqlServerText(tb) &&
                              (*a)[number_key] == (*b)[number_key] &&
                              ((*a)[number_key] == errc::kErrorsInCommand ||
                               (*a)[number_key] == errc::kIntegrityViolation);
    if (engine_words && ta != tb) {
      (*a)[text_key] = "<database's own text>";
      (*b)[text_key] = "<database's own text>";
    }
    // ErrDescription answers the same text as its result.
    if (*holder == '\0' && embedded.value("result", Json()) == original_a &&
        server.value("result", Json()) == original_b) {
      embedded["result"] = (*a)[text_key];
      server["result"] = (*b)[text_key];
    }
  }
  *same = embedded == server;
}

struct Difference {
  std::size_t step;  // steps.size() for the tables at the end
  std::string what;
};

class Comparison {
 public:
  Comparison() : embedded_(true), server_(false), show_(Setting("MIGPROF_DIFF_SHOW", 0) == 1) {}

  // Runs steps on both databases from empty tables; the first difference.
  std::optional<Difference> Run(const std::vector<Json>& steps) {
    embedded_.Reset();
    server_.Reset();
    for (std::size_t i = 0; i < steps.size(); ++i) {
      Json a = embedded_.Run(steps[i]);
      Json b = server_.Run(steps[i]);
      if (show_) std::cout << steps[i].dump() << "\n  -> " << a.dump() << "\n";
      bool same = false;
      Compare(a, b, &same);
      if (!same) {
        return Difference{i, "step " + std::to_string(i + 1) + ": " + steps[i].dump() +
                                 "\n  embedded: " + a.dump() + "\n  server:   " + b.dump()};
      }
    }
    const auto a = embedded_.Tables();
    const auto b = server_.Tables();
    for (const auto& [table, rows] : a) {
      const auto other = b.find(table);
      if (other == b.end() || other->second != rows) {
        return Difference{
            steps.size(),
            "table " + table + " at the end\n  embedded: " + rows.dump() +
                "\n  server:   " + (other == b.end() ? "missing" : other->second.dump())};
      }
    }
    return std::nullopt;
  }

  // The steps without as many as can go while a difference remains
  // (removing runs of steps, halving their length down to one).
  std::vector<Json> Shortest(std::vector<Json> steps) {
    for (std::size_t chunk = steps.size() / 2; chunk >= 1; chunk /= 2) {
      for (std::size_t start = 0; start < steps.size();) {
        std::vector<Json> fewer = steps;
        fewer.erase(
            fewer.begin() + static_cast<std::ptrdiff_t>(start),
            fewer.begin() + static_cast<std::ptrdiff_t>(std::min(start + chunk, steps.size())));
        if (!fewer.empty() && Run(fewer)) {
          steps = std::move(fewer);
        } else {
          start += chunk;
        }
      }
      if (chunk == 1) break;
    }
    return steps;
  }

 private:
  Side embedded_;
  Side server_;
  bool show_;
};

TEST(Differential, EmbeddedAndServerAnswerAlike) {
  if (std::getenv("MIGPROF_TEST_DSN") == nullptr) {
    GTEST_SKIP() << "needs a server: set MIGPROF_TEST_DSN";
  }
  const long draws =
      Setting("MIGPROF_DIFF_DRAWS", Setting("MIGPROF_DIFF_LONG", 0) == 1 ? 1000 : 100);
  const long first = Setting("MIGPROF_DIFF_FIRST", 1);
  const int calls = static_cast<int>(Setting("MIGPROF_DIFF_CALLS", 30));
  Comparison comparison;
  const auto started = std::chrono::steady_clock::now();
  long differences = 0;
  long steps_run = 0;
  for (long draw = first; draw < first + draws; ++draw) {
    const RandomCase drawn = DrawCase(static_cast<std::uint32_t>(draw), calls);
    std::vector<Json> steps = drawn.setup;
    steps.insert(steps.end(), drawn.calls.begin(), drawn.calls.end());
    steps_run += static_cast<long>(steps.size());
    const std::optional<Difference> difference = comparison.Run(steps);
    if (!difference) continue;
    ++differences;
    std::ostringstream report;
    report << "draw " << draw << " differs at " << difference->what << "\n";
    if (differences <= 3) {
      steps.resize(std::min(steps.size(), difference->step + 1));
      const std::vector<Json> shortest = comparison.Shortest(steps);
      const std::optional<Difference> again = comparison.Run(shortest);
      report << "shortest run found (" << shortest.size() << " of " << steps.size()
             << " steps), request lines for `migprof session`:\n";
      for (const Json& step : shortest) report << step.dump() << "\n";
      if (again) report << "where " << again->what << "\n";
    }
    ADD_FAILURE() << report.str();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "differential: " << draws << " draws from " << first << ", " << steps_run
            << " steps, " << differences << " differing, " << seconds << " s\n";
}

}  // namespace
}  // namespace migprof::testing
