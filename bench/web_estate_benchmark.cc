// Every page of the front end on a large estate: the HTML size and the
// 50th and 95th percentile of the server's answer time, over loopback, for
// MIGPROF_BENCH_CLIENTS clients asking at once (default 1), on an embedded
// database, or on the data source MIGPROF_TEST_DSN names (with
// MIGPROF_TEST_UID and MIGPROF_TEST_PWD, as .ci/odbc_suite.sh sets them;
// its tables must exist, and the estate is filled when qzmap100 is empty).
//
// The estate is generated here: MIGPROF_BENCH_PROFILES profiles (default
// 3,000; at most 32,767, the profile number being 16 bits) in derivation
// chains of ten, all owned by alice, each with 10 table rules of 10 field
// rules (so 30,000 table rules and 300,000 field rules by default), a
// function library of 5 functions, and the demo estate's applications, the
// target's with a data dictionary of 2,000 tables of 20 fields (the rules'
// tables among them, so that each has 10 of its 20 fields mapped).
// MIGPROF_BENCH_KEEP=path keeps (or reuses) the database file.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/changes.h"
#include "app/secrets.h"
#include "app/tables.h"
#include "component/sql_text.h"
#include "component/text/cp1252.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/owner_cipher.h"
#include "schema/schema.h"
#include "web/http/network.h"
#include "web/pages/pages.h"
#include "web/serve.h"

namespace {

using migprof::ado::Connection;

constexpr int kChain = 10;
constexpr int kTables = 10;
constexpr int kFields = 10;
constexpr int kFunctions = 5;
constexpr int kDictionaryTables = 2000;
constexpr int kDictionaryFields = 20;

int Clients() {
  const char* text = std::getenv("MIGPROF_BENCH_CLIENTS");
  return std::clamp(text ? std::atoi(text) : 1, 1, 64);
}

int Profiles() {
  const char* text = std::getenv("MIGPROF_BENCH_PROFILES");
  const int n = text ? std::atoi(text) : 3000;
  return std::clamp(n, kChain, 32767);
}

std::string VrcValues(int mprf) { return "'V" + std::to_string(mprf) + "', 'R1', 'C'"; }

// Profile i is standard when (i - 1) % kChain == 0, else derived from i - 1.
void FillLargeEstate(Connection& c, int profiles) {
  // Every profile belongs to alice, enciphered as the component stores it
  // in the profile, in clear in its owner link.
  const std::string owner = migprof::SqlQuoted(migprof::text::Cp1252ToUtf8(
      *migprof::profiles::Encipher("alice", &migprof::profiles::IsStorableCipher)));
  c.BeginTrans();
  for (const char* app : {"('LEG', 0)", "('ORV', 1)"}) {
    c.Execute(std::string("insert into qzddi100 (appl, extn) values ") + app);
  }
  for (int t = 0; t < kDictionaryTables; ++t) {
    for (int f = 0; f < kDictionaryFields; ++f) {
      c.Execute(
          "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('ORV', 'or', "
          "'itm', '" +
          std::to_string(100 + t) + "', 'fld" + std::to_string(f) + "', 0)");
    }
  }
  for (int i = 1; i <= profiles; ++i) {
    const int position = (i - 1) % kChain;
    const std::string n = std::to_string(i);
    const std::string parent = position == 0 ? "'', '', ''" : VrcValues(i - 1);
    c.Execute(
        "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, "
        "scme, deph, apln, ownr) values (" +
        n + ", 'LEG', 'ORV', " + VrcValues(i) + ", " + parent + ", 'Profile " + n +
        " of the large estate, derivation chain " + std::to_string((i - 1) / kChain) + "', 'N', " +
        std::to_string(position + 1) + ", 'bench', cast(" + owner + " as varbinary))");
    // The owner link the component writes with each new profile: the
    // tree's "Your profiles" reads them.
    c.Execute("insert into qzusr110 (mprf, usrn) values (" + n + ", cast('alice' as varbinary))");
    for (int level = 1; level <= position + 1; ++level) {
      const int ancestor = i - level + 1;
      c.Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + n + ", " +
                std::to_string(level) + ", " + VrcValues(ancestor) + ", " +
                std::to_string(ancestor) + ")");
    }
    for (int t = 0; t < kTables; ++t) {
      const std::string key =
          n + ", " + VrcValues(i) + ", 'or', 'itm', '" + std::to_string(100 + t) + "'";
      c.Execute(
          "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, stat, lusr, "
          "comt) values (" +
          key + ", 'N', 'bench', 'Generated table rule')");
      for (int f = 0; f < kFields; ++f) {
        c.Execute(
            "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, "
            "mrul, type, stat) values (" +
            key + ", 'fld" + std::to_string(f) + "', 0, 'SRC.F" + std::to_string(f) +
            "', 'D', 'N')");
      }
    }
    for (int f = 0; f < kFunctions; ++f) {
      c.Execute("insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, stat) values (" + n +
                ", " + VrcValues(i) + ", 'func" + std::to_string(f) + "', 'Generated', 'N')");
    }
    if (i % 1000 == 0) {
      c.CommitTrans();
      c.BeginTrans();
    }
  }
  c.CommitTrans();
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsEmpty(Connection& c) {
  std::shared_ptr<migprof::ado::Recordset> rs = c.Execute("select count(*) from qzmap100");
  return rs->Fields().Item(0).Value().ToDouble() == 0;
}

class LargeSite {
 public:
  LargeSite() {
    const char* dsn = std::getenv("MIGPROF_TEST_DSN");
    const char* keep = std::getenv("MIGPROF_BENCH_KEEP");
    migprof::app::Settings settings;
    if (dsn && *dsn) {
      settings.source = {dsn, Env("MIGPROF_TEST_UID"), Env("MIGPROF_TEST_PWD")};
    } else {
      path_ = keep ? keep
                   : (std::filesystem::temp_directory_path() /
                      ("migprof_bench_estate_" + std::to_string(::getpid()) + ".db"))
                         .string();
      if (!keep || !std::filesystem::exists(path_)) {
        migprof::schema::CreateEmbeddedDatabase(path_);
      }
      settings.source.name = "sqlite:" + path_;
    }
    {
      migprof::TOVRHandleMigProf object;
      object.DatabaseName(settings.source.name);
      object.DatabaseUser(settings.source.user);
      object.DatabasePassword(settings.source.password);
      writer_ = object.getNewConnection();
      if (IsEmpty(*writer_)) FillLargeEstate(*writer_, Profiles());
    }
    migprof::app::InitSodium();
    app_ = std::make_unique<migprof::web::WebApp>(settings);
    migprof::app::EnsureTables(app_->db());
    if (!app_->core.accounts().Any()) {
      app_->core.accounts().Add("alice", "unused", migprof::app::Role::kAdministrator);
    }
    const std::string id = app_->core.accounts().NewSession("alice");
    cookie_ = {{"Cookie", std::string(migprof::web::kSessionCookie) + "=" + id}};
    migprof::web::ConfigureServer(server_, *app_, proxies_, nullptr);
    previews_ = std::make_unique<migprof::app::PreviewsKeptReady>(app_->core);
    // As `migprof serve` does: a longer queue of connections waiting to be
    // accepted than cpp-httplib's 5, so that clients connecting at once are
    // not held back by the system's retry of a dropped connection (1 s).
    int listener = -1;
    server_.set_socket_options([&listener](int socket) {
      int yes = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      listener = socket;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (listener >= 0) ::listen(listener, 1024);
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LargeSite() {
    server_.stop();
    listener_.join();
    writer_.reset();
    previews_.reset();
    app_.reset();
    if (!path_.empty() && !std::getenv("MIGPROF_BENCH_KEEP")) {
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
    }
  }
  httplib::Client Client() const { return httplib::Client("127.0.0.1", port_); }
  const httplib::Headers& cookie() const { return cookie_; }
  // Commits a change to a profile's description, a blank added or taken
  // away in turn: the database has changed since any earlier read of it, as
  // it has on a server in use. (A statement that writes the values a row
  // already holds commits nothing.)
  void Commit() {
    writer_->Execute(commits_++ % 2 == 0 ? "update qzmap100 set dsca = dsca + ' ' where mprf = 1"
                                         : "update qzmap100 set dsca = rtrim(dsca) where mprf = 1");
  }

 private:
  std::string path_;
  std::shared_ptr<Connection> writer_;
  int commits_ = 0;
  std::unique_ptr<migprof::web::WebApp> app_;
  // As `migprof serve` keeps it.
  std::unique_ptr<migprof::app::PreviewsKeptReady> previews_;
  migprof::web::TrustedProxies proxies_;
  httplib::Headers cookie_;
  httplib::Server server_;
  int port_ = 0;
  std::thread listener_;
};

LargeSite& Site() {
  static LargeSite site;
  return site;
}

// When a page is fetched: with no commit to the database before it, right
// after one, or a while after one.
struct Moment {
  bool commit = false;
  std::chrono::milliseconds wait{0};
};

// One page, fetched by each client once per iteration, at the moment given;
// the counters are its size and the percentiles of all the clients' times.
void BM_Page(benchmark::State& state, const std::string& path, Moment moment) {
  LargeSite& site = Site();
  const int clients = Clients();
  std::vector<double> times;
  std::mutex lock;
  std::size_t bytes = 0;
  std::string error;
  for (auto _ : state) {
    if (moment.commit) {
      site.Commit();
      std::this_thread::sleep_for(moment.wait);
    }
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
      threads.emplace_back([&] {
        httplib::Client client = site.Client();
        const auto start = std::chrono::steady_clock::now();
        httplib::Result res = client.Get(path, site.cookie());
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::lock_guard<std::mutex> guard(lock);
        times.push_back(ms);
        if (!res || res->status != 200) {
          const std::string body = res ? res->body : std::string();
          const std::size_t at = body.find("could not be read");
          error = "status " + std::to_string(res ? res->status : 0) + " " +
                  (at == std::string::npos ? "" : body.substr(at, 200));
        } else {
          bytes = res->body.size();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  std::sort(times.begin(), times.end());
  state.counters["KB"] = static_cast<double>(bytes) / 1024.0;
  state.counters["clients"] = clients;
  state.counters["p50_ms"] = times[times.size() / 2];
  state.counters["p95_ms"] = times[std::min(times.size() - 1, times.size() * 95 / 100)];
}

// A profile in the middle of the estate, derived (depth 6), and its parent.
std::string Middle() { return std::to_string(Profiles() / 2 / kChain * kChain + 6); }
std::string MiddleParent() { return std::to_string(Profiles() / 2 / kChain * kChain + 5); }
std::string MiddleVrc() { return "?vers=V" + Middle() + "&rele=R1&cust=C"; }

const int kRegistered = [] {
  const std::vector<std::pair<const char*, std::string>> pages = {
      {"profiles_tree", "/profiles"},
      {"profiles_tree_last_page", "/profiles?page=" + std::to_string(Profiles() / kChain / 25)},
      {"profiles_search", "/profiles?q=12"},
      {"profile", "/profiles/" + Middle()},
      {"profile_standard", "/profiles/1"},
      {"profile_new", "/profiles/new"},
      {"profile_edit", "/profiles/" + Middle() + "/edit"},
      {"rules", "/profiles/" + Middle() + "/rules" + MiddleVrc()},
      {"rules_search", "/profiles/" + Middle() + "/rules" + MiddleVrc() + "&q=or%20itm%2010"},
      {"table", "/profiles/" + Middle() + "/rules/table" + MiddleVrc() + "&table=or%20itm%20105"},
      {"functions", "/profiles/" + Middle() + "/functions" + MiddleVrc()},
      {"functions_source", "/profiles/" + Middle() + "/functions" + MiddleVrc() + "&source=1"},
      {"copy_form_find", "/profiles/" + Middle() + "/copy" + MiddleVrc() + "&find=1"},
      {"copy_form_source", "/profiles/" + Middle() + "/copy" + MiddleVrc() + "&source=1"},
      {"copy_preview",
       "/profiles/" + Middle() + "/copy/preview" + MiddleVrc() + "&source=1&table=oritm105"},
      {"delete_preview",
       "/profiles/" + Middle() + "/rules/delete" + MiddleVrc() + "&table=oritm105"},
      {"compare_parent", "/compare?left=" + Middle()},
      {"compare_two", "/compare?left=" + Middle() + "&right=" + MiddleParent()},
      {"lineage", "/profiles/1/lineage"},
      {"where_used_table", "/where-used?table=or%20itm%20105"},
      {"where_used_function", "/where-used?function=func1"},
      {"checkouts", "/checkouts"},
      {"activity", "/activity"},
  };
  for (const auto& [name, path] : pages) {
    benchmark::RegisterBenchmark(
        (std::string("BM_Page/") + name).c_str(),
        [path = path](benchmark::State& state) { BM_Page(state, path, Moment{}); })
        ->Iterations(40)
        ->Unit(benchmark::kMillisecond);
  }
  // A preview reads the tables it takes whole again after any commit, unless
  // the server has read them in the background since: it looks every 200 ms
  // and reads them at most once in six times the time a reading takes (about
  // 1.2 s at 30,000 profiles). Previews right after a commit, and 2 s after
  // one.
  for (const char* name : {"copy_preview", "delete_preview"}) {
    const auto page = std::find_if(pages.begin(), pages.end(),
                                   [&](const auto& entry) { return entry.first == name; });
    for (const auto& [suffix, moment, iterations] :
         {std::tuple{"_after_commit", Moment{true, std::chrono::milliseconds(0)}, 40},
          std::tuple{"_2s_after_commit", Moment{true, std::chrono::milliseconds(2000)}, 20}}) {
      benchmark::RegisterBenchmark((std::string("BM_Page/") + name + suffix).c_str(),
                                   [path = page->second, moment = moment](benchmark::State& state) {
                                     BM_Page(state, path, moment);
                                   })
          ->Iterations(iterations)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
