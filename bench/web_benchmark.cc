// The front end over loopback: requests per second of the profile tree and a
// rule page on the demo estate with 8 clients at once, and a rule copy of
// 1,000 field elements through the copy form next to CopyToCurrentVRC called
// directly on the same database.
//
// Each site is an embedded database file, the front end's routes on an
// httplib server bound to a free loopback port, and a session of alice made
// in the store (as signing in would), alice being the administrator, so that
// every profile is hers to change. BM_CopyThroughFrontEnd's "ratio"
// counter is its time over the direct copy's, measured in the same process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/demo_estate.h"
#include "app/secrets.h"
#include "app/tables.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "schema/schema.h"
#include "web/pages/pages.h"

namespace {

using migprof::ado::Connection;

class Site {
 public:
  Site(const char* name, const std::function<void(migprof::TOVRHandleMigProf&)>& fill)
      : path_((std::filesystem::temp_directory_path() / ("migprof_bench_web_" + std::string(name) +
                                                         "_" + std::to_string(::getpid()) + ".db"))
                  .string()) {
    Remove();
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
    fill(object_);
    migprof::app::InitSodium();
    migprof::app::Settings settings;
    settings.source.name = "sqlite:" + path_;
    app_ = std::make_unique<migprof::web::WebApp>(settings);
    migprof::app::EnsureTables(app_->db());
    app_->core.accounts().Add("alice", "unused", migprof::app::Role::kAdministrator);
    const std::string id = app_->core.accounts().NewSession("alice");
    cookie_ = {{"Cookie", std::string(migprof::web::kSessionCookie) + "=" + id}};
    csrf_ = app_->core.accounts().FindSession(id)->csrf;
    migprof::web::AddAuthRoutes(server_, *app_);
    migprof::web::AddProfileRoutes(server_, *app_);
    migprof::web::AddRuleRoutes(server_, *app_);
    migprof::web::AddJobRoutes(server_, *app_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Site() {
    server_.stop();
    listener_.join();
    app_.reset();
    Remove();
  }

  httplib::Client Client() const { return httplib::Client("127.0.0.1", port_); }
  const httplib::Headers& cookie() const { return cookie_; }
  const std::string& csrf() const { return csrf_; }
  migprof::TOVRHandleMigProf& object() { return object_; }

 private:
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-lock"})
      std::filesystem::remove(path_ + suffix);
  }
  std::string path_;
  migprof::TOVRHandleMigProf object_;
  std::unique_ptr<migprof::web::WebApp> app_;
  httplib::Headers cookie_;
  std::string csrf_;
  httplib::Server server_;
  int port_ = 0;
  std::thread listener_;
};

Site& DemoSite() {
  static Site site(
      "demo", [](migprof::TOVRHandleMigProf& object) { migprof::app::PopulateDemoEstate(object); });
  return site;
}

// Source profile 1 with the rules of table xy/uvw/123, one field rule per
// element (100 array fields of depth 10), and the empty target profile 2.
void FillCopySource(migprof::TOVRHandleMigProf& object) {
  std::shared_ptr<Connection> c = object.getNewConnection();
  c->BeginTrans();
  c->Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'SAPP')");
  c->Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', 'UAPP')");
  const std::string key = "1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123'";
  c->Execute(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat) values (" +
      key + ", 'rule', 'A')");
  for (int field = 0; field < 100; ++field) {
    const std::string name = "fld" + std::to_string(field);
    c->Execute(
        "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('UAPP', 'xy', 'uvw', "
        "'123', '" +
        name + "', 10)");
    for (int i = 1; i <= 10; ++i) {
      c->Execute(
          "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul, "
          "type, stat) values (" +
          key + ", '" + name + "(" + std::to_string(i) + ")', " + std::to_string(i) +
          ", 'rule', 'T', 'A')");
    }
  }
  c->CommitTrans();
}

Site& CopySite() {
  static Site site("copy", FillCopySource);
  return site;
}

void ClearTarget(Site& site) {
  std::shared_ptr<Connection> c = site.object().getNewConnection();
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    c->Execute(std::string("delete from ") + table + " where mprf = 2");
  }
}

bool CopyDirectly(Site& site) {
  return site.object()
      .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "alice", migprof::Variant(), "",
                        migprof::kFalse)
      .IsTrue();
}

// Posts the copy form as its preview's Apply button does and polls the
// progress page until it shows the outcome.
bool CopyThroughFrontEnd(Site& site, httplib::Client& client) {
  httplib::Params form{
      {"csrf", site.csrf()}, {"apply", "yes"}, {"source", "1"}, {"table", "xyuvw123"}};
  httplib::Result posted = client.Post("/profiles/2/copy", site.cookie(), form);
  if (!posted || posted->status != 303) return false;
  const std::string job = posted->get_header_value("Location");
  for (;;) {
    httplib::Result page = client.Get(job, site.cookie());
    if (!page || page->status != 200) return false;
    if (page->body.find("data-running=\"no\"") != std::string::npos) {
      return page->body.find("1000 of 1000") != std::string::npos;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void BM_Page(benchmark::State& state, const char* path) {
  Site& site = DemoSite();
  httplib::Client client = site.Client();
  for (auto _ : state) {
    httplib::Result page = client.Get(path, site.cookie());
    if (!page || page->status != 200) {
      state.SkipWithError("the page did not answer 200");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_Page, profile_tree, "/profiles")->Threads(8)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Page, rule_page, "/profiles/100/rules")
    ->Threads(8)
    ->UseRealTime()
    ->MinTime(2.0);

void BM_CopyDirectly(benchmark::State& state) {
  Site& site = CopySite();
  for (auto _ : state) {
    state.PauseTiming();
    ClearTarget(site);
    state.ResumeTiming();
    if (!CopyDirectly(site)) state.SkipWithError("copy failed");
  }
}
BENCHMARK(BM_CopyDirectly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Timed by hand: the front end's copy alone, from the form's POST to the
// progress page that shows the outcome.
void BM_CopyThroughFrontEnd(benchmark::State& state) {
  Site& site = CopySite();
  httplib::Client client = site.Client();
  double front_end = 0, direct = 0;
  for (auto _ : state) {
    ClearTarget(site);
    auto start = std::chrono::steady_clock::now();
    const bool copied = CopyThroughFrontEnd(site, client);
    const double seconds = SecondsSince(start);
    ClearTarget(site);
    start = std::chrono::steady_clock::now();
    const bool direct_copied = CopyDirectly(site);
    direct += SecondsSince(start);
    front_end += seconds;
    state.SetIterationTime(seconds);
    if (!copied || !direct_copied) {
      state.SkipWithError("copy failed");
      break;
    }
  }
  if (direct > 0) state.counters["ratio"] = benchmark::Counter(front_end / direct);
}
BENCHMARK(BM_CopyThroughFrontEnd)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(4.0);

}  // namespace

BENCHMARK_MAIN();
