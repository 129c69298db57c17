// A bounded load on the front end: N clients, each signed in with a session
// of its own, send requests for T seconds without pause: reads (the profile
// tree, a demo profile's page, its rules page) and changes of profiles of
// their own (create, update, delete; each client its own numbers). It reports
// requests per second, latencies and errors, and then reads back every
// profile a client touched: what an acknowledged change left must be there
// (0 lost), and a profile it deleted must be gone.
//
//   migprof_web_load --url http://127.0.0.1:8080 --user load [--clients 32]
//                    [--seconds 60] [--first-profile 30000] [--slots 4]
//
// The password comes from MIGPROF_LOAD_PASSWORD. Exit status 0 only with no
// error and nothing lost.
#include <httplib.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <latch>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum Kind { kTree, kProfile, kRules, kCreate, kUpdate, kDelete, kKinds };
constexpr const char* kKindNames[kKinds] = {"tree",   "profile", "rules",
                                            "create", "update",  "delete"};
// Profiles of the demo estate whose pages are read.
constexpr int kDemoProfiles[] = {100, 110, 120, 200, 300};
// The clients' profiles derive from the demo profile 100, whose applications they
// share.
constexpr const char* kParent = "V10_R1_STD";

struct Options {
  std::string url;
  std::string user;
  std::string password;
  int clients = 8;
  int seconds = 10;
  int first_profile = 30000;
  int slots = 4;
};

// A browser's view of the front end: its cookies and the session's form
// token.
class Browser {
 public:
  explicit Browser(const std::string& url) : http_(url) {
    http_.set_keep_alive(true);
    http_.set_tcp_nodelay(true);
    http_.set_connection_timeout(10);
    http_.set_read_timeout(60);
  }

  // Signs in; false with problem set when the server refuses.
  bool SignIn(const Options& options, std::string& problem) {
    httplib::Result form = http_.Get("/signin");
    const std::string pre = form ? CookieOf(*form, "mppre") : "";
    if (pre.empty()) {
      problem = "no sign-in form (" + Describe(form) + ")";
      return false;
    }
    httplib::Params fields{{"csrf", pre},
                           {"name", options.user},
                           {"password", options.password},
                           {"next", "/profiles"}};
    httplib::Result signed_in = http_.Post("/signin", {{"Cookie", "mppre=" + pre}}, fields);
    session_ = signed_in ? CookieOf(*signed_in, "mpsid") : "";
    if (session_.empty()) {
      problem = "sign-in refused (" + Describe(signed_in) + ")";
      return false;
    }
    httplib::Result page = Get("/profiles");
    const std::string key = "name=\"csrf\" value=\"";
    std::size_t at = page ? page->body.find(key) : std::string::npos;
    if (at == std::string::npos) {
      problem = "no form token on /profiles (" + Describe(page) + ")";
      return false;
    }
    at += key.size();
    csrf_ = page->body.substr(at, page->body.find('"', at) - at);
    return true;
  }

  httplib::Result Get(const std::string& path) {
    return http_.Get(path.c_str(), {{"Cookie", "mpsid=" + session_}});
  }
  httplib::Result Post(const std::string& path, httplib::Params fields) {
    fields.emplace("csrf", csrf_);
    fields.emplace("apply", "yes");  // the change itself, past its preview
    return http_.Post(path.c_str(), {{"Cookie", "mpsid=" + session_}}, fields);
  }

  static std::string Describe(const httplib::Result& result) {
    if (!result) return "no answer: " + httplib::to_string(result.error());
    return "status " + std::to_string(result->status);
  }

 private:
  static std::string CookieOf(const httplib::Response& res, const std::string& name) {
    auto [first, last] = res.headers.equal_range("Set-Cookie");
    for (auto it = first; it != last; ++it) {
      if (it->second.rfind(name + "=", 0) == 0) {
        const std::string value = it->second.substr(name.size() + 1);
        return value.substr(0, value.find(';'));
      }
    }
    return "";
  }

  httplib::Client http_;
  std::string session_;
  std::string csrf_;
};

// A profile number of one client and what its acknowledged changes left.
struct Slot {
  int number = 0;
  enum class State { kAbsent, kPresent, kUnknown } state = State::kAbsent;
  std::string description;
};

struct ClientRun {
  std::vector<double> latency_ms[kKinds];
  long errors = 0;
  std::vector<std::string> problems;  // the first few
  std::vector<Slot> slots;
};

void Fail(ClientRun& run, const std::string& what) {
  ++run.errors;
  if (run.problems.size() < 5) run.problems.push_back(what);
}

// One change of the slot's profile, chosen by what the slot holds. A change
// whose answer is not its redirect leaves the profile's state unknown.
void Change(Browser& browser, ClientRun& run, Slot& slot, int client, long& serial,
            std::mt19937& random) {
  const std::string number = std::to_string(slot.number);
  const std::string description = "Load " + std::to_string(client) + "-" + std::to_string(++serial);
  Kind kind = kCreate;
  std::string path = "/profiles", expected_location = "/profiles/" + number;
  httplib::Params fields;
  if (slot.state == Slot::State::kAbsent) {
    fields = {{"mprf", number},    {"description", description}, {"sapp", "LEGERP"},
              {"tapp", "ORVOERP"}, {"vers", "L" + number},       {"rele", "0"},
              {"cust", "LOAD"},    {"parent", kParent},          {"scme", "N"},
              {"apln", "load"}};
  } else if (std::uniform_int_distribution<int>(0, 9)(random) < 6) {
    kind = kUpdate;
    path = "/profiles/" + number + "/edit";
    fields = {{"description", description}, {"parent", kParent}, {"scme", "N"}, {"apln", "load"}};
  } else {
    kind = kDelete;
    path = "/profiles/" + number + "/delete";
    fields = {{"confirm", number}};
    expected_location = "/profiles";
  }
  const auto started = Clock::now();
  httplib::Result answer = browser.Post(path, fields);
  run.latency_ms[kind].push_back(
      std::chrono::duration<double, std::milli>(Clock::now() - started).count());
  if (!answer || answer->status != 303 ||
      answer->get_header_value("Location") != expected_location) {
    slot.state = Slot::State::kUnknown;
    Fail(run, std::string(kKindNames[kind]) + " " + number + ": " + Browser::Describe(answer));
    return;
  }
  if (kind == kDelete) {
    slot.state = Slot::State::kAbsent;
    slot.description.clear();
  } else {
    slot.state = Slot::State::kPresent;
    slot.description = description;
  }
}

void Read(Browser& browser, ClientRun& run, Kind kind, std::mt19937& random) {
  const int demo = kDemoProfiles[std::uniform_int_distribution<int>(0, 4)(random)];
  const std::string path = kind == kTree      ? "/profiles"
                           : kind == kProfile ? "/profiles/" + std::to_string(demo)
                                              : "/profiles/" + std::to_string(demo) + "/rules";
  const auto started = Clock::now();
  httplib::Result answer = browser.Get(path);
  run.latency_ms[kind].push_back(
      std::chrono::duration<double, std::milli>(Clock::now() - started).count());
  if (!answer || answer->status != 200) Fail(run, path + ": " + Browser::Describe(answer));
}

void RunClient(const Options& options, int client, std::latch& ready, ClientRun& run) {
  for (int i = 0; i < options.slots; ++i) {
    Slot slot;
    slot.number = options.first_profile + client * options.slots + i;
    run.slots.push_back(slot);
  }
  Browser browser(options.url);
  std::string problem;
  bool signed_in = browser.SignIn(options, problem);
  if (!signed_in) Fail(run, "client " + std::to_string(client) + ": " + problem);
  // Numbers left over from an earlier run are cleared first.
  for (Slot& slot : run.slots) {
    if (!signed_in) break;
    const std::string number = std::to_string(slot.number);
    httplib::Result page = browser.Get("/profiles/" + number);
    if (page && page->status == 404) continue;
    httplib::Result gone = browser.Post("/profiles/" + number + "/delete", {{"confirm", number}});
    if (!page || page->status != 200 || !gone || gone->status != 303) {
      Fail(run,
           "clearing " + number + ": " + Browser::Describe(page) + ", " + Browser::Describe(gone));
      signed_in = false;
    }
  }
  ready.arrive_and_wait();
  if (!signed_in) return;
  const auto end = Clock::now() + std::chrono::seconds(options.seconds);
  std::mt19937 random(static_cast<unsigned>(client) * 7919u + 1);
  long serial = 0;
  while (Clock::now() < end) {
    // Two requests in three read, one changes.
    const int pick = std::uniform_int_distribution<int>(0, 8)(random);
    if (pick < 6) {
      Read(browser, run, static_cast<Kind>(pick % 3), random);
      continue;
    }
    Slot& slot =
        run.slots[std::uniform_int_distribution<std::size_t>(0, run.slots.size() - 1)(random)];
    if (slot.state != Slot::State::kUnknown) Change(browser, run, slot, client, serial, random);
  }
}

double Percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  std::size_t at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
  return values[at];
}

// Reads back every slot with a session of its own: a profile an
// acknowledged change left must show its last description; one deleted must
// answer 404. Returns how many differ.
long Verify(const Options& options, const std::vector<ClientRun>& runs, long& unknown,
            std::vector<std::string>& problems) {
  Browser browser(options.url);
  std::string problem;
  if (!browser.SignIn(options, problem)) {
    problems.push_back("verification: " + problem);
    return -1;
  }
  long lost = 0;
  for (const ClientRun& run : runs) {
    for (const Slot& slot : run.slots) {
      if (slot.state == Slot::State::kUnknown) {
        ++unknown;
        continue;
      }
      const std::string path = "/profiles/" + std::to_string(slot.number);
      httplib::Result page = browser.Get(path);
      const bool held = slot.state == Slot::State::kPresent
                            ? page && page->status == 200 &&
                                  page->body.find(slot.description) != std::string::npos
                            : page && page->status == 404;
      if (!held) {
        ++lost;
        if (problems.size() < 10) {
          problems.push_back(path +
                             (slot.state == Slot::State::kPresent
                                  ? " should show \"" + slot.description + "\""
                                  : " should be gone") +
                             ": " + Browser::Describe(page));
        }
      }
    }
  }
  return lost;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app(
      "Load on the maintenance front end: mixed reads and changes, then a check that "
      "every acknowledged change is in the database");
  app.add_option("--url", options.url, "The front end, such as http://127.0.0.1:8080")->required();
  app.add_option("--user", options.user, "Account every client signs in with")->required();
  app.add_option("--clients", options.clients, "Clients sending requests at once")
      ->check(CLI::Range(1, 512))
      ->capture_default_str();
  app.add_option("--seconds", options.seconds, "How long they send")
      ->check(CLI::Range(1, 3600))
      ->capture_default_str();
  app.add_option("--first-profile", options.first_profile,
                 "First profile number of the clients' own (each client takes --slots numbers)")
      ->capture_default_str();
  app.add_option("--slots", options.slots, "Profile numbers per client")
      ->check(CLI::Range(1, 100))
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);
  if (const char* password = std::getenv("MIGPROF_LOAD_PASSWORD")) options.password = password;
  const long last = static_cast<long>(options.first_profile) +
                    static_cast<long>(options.clients) * options.slots - 1;
  if (options.first_profile < -32768 || last > 32767) {
    std::cerr << "migprof_web_load: the clients' profile numbers must lie in -32768..32767\n";
    return 2;
  }

  std::vector<ClientRun> runs(static_cast<std::size_t>(options.clients));
  // The clients sign in first and start together.
  std::latch ready(options.clients + 1);
  std::vector<std::thread> threads;
  for (int c = 0; c < options.clients; ++c) {
    threads.emplace_back(RunClient, std::cref(options), c, std::ref(ready),
                         std::ref(runs[static_cast<std::size_t>(c)]));
  }
  ready.arrive_and_wait();
  const Clock::time_point start = Clock::now();
  for (std::thread& thread : threads) thread.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::vector<double> all;
  long errors = 0;
  std::vector<std::string> problems;
  std::printf("%-8s %9s %9s %9s %9s\n", "request", "count", "p50 ms", "p99 ms", "max ms");
  for (int kind = 0; kind < kKinds; ++kind) {
    std::vector<double> values;
    for (ClientRun& run : runs) {
      values.insert(values.end(), run.latency_ms[kind].begin(), run.latency_ms[kind].end());
    }
    all.insert(all.end(), values.begin(), values.end());
    const double p50 = Percentile(values, 0.5), p99 = Percentile(values, 0.99);
    const double max = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    std::printf("%-8s %9zu %9.1f %9.1f %9.1f\n", kKindNames[kind], values.size(), p50, p99, max);
  }
  for (const ClientRun& run : runs) {
    errors += run.errors;
    problems.insert(problems.end(), run.problems.begin(), run.problems.end());
  }
  long unknown = 0;
  const long lost = Verify(options, runs, unknown, problems);
  for (const std::string& problem : problems) std::printf("problem: %s\n", problem.c_str());
  const double p50 = Percentile(all, 0.5), p99 = Percentile(all, 0.99);
  std::printf(
      "clients=%d seconds=%d requests=%zu requests_per_s=%.1f p50_ms=%.1f p99_ms=%.1f "
      "errors=%ld lost=%ld unverified=%ld\n",
      options.clients, options.seconds, all.size(), static_cast<double>(all.size()) / elapsed, p50,
      p99, errors, lost, unknown);
  return errors == 0 && lost == 0 ? 0 : 1;
}
