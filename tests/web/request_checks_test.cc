// The checks made before a route reads a request, and the connection
// guard's choice of connections to drop.
#include "web/http/request_checks.h"

#include <gtest/gtest.h>

#include "app/sign_in_throttle.h"
#include "web/http/connection_guard.h"

namespace migprof::web {
namespace {

TEST(RequestChecks, ReturnPathsStayOnThisServer) {
  const struct {
    const char* next;
    bool kept;
  } cases[] = {
      {"/profiles", true},
      {"/profiles/3?tab=rules&x=%41", true},
      {"/", true},
      {"", false},
      {"profiles", false},
      {"//evil.example/x", false},
      {"/\\evil.example/x", false},
      {"/\t/localhost:28499/pwned.html", false},  // browsers drop the tab: "//localhost..."
      {"/\n/evil.example", false},
      {"/a\\b", false},
      {"/a b", false},
      {"/%09/evil.example", false},
      {"/%2F/evil.example", false},
      {"/%5c/evil.example", false},
      {"/%2", false},
      {"/%zz", false},
      {"/%252F", false},
      {"https://evil.example/", false},
      {"/\x7f", false},
      {"/caf\xc3\xa9", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SafeReturnPath(c.next, "/home"), c.kept ? c.next : "/home") << c.next;
  }
}

TEST(RequestChecks, ChangingRequestsComeFromOwnPages) {
  const struct {
    const char* origin;
    const char* referer;
    const char* host;
    bool compare_port;
    bool allowed;
  } cases[] = {
      {"http://127.0.0.1:8080", "", "127.0.0.1:8080", true, true},
      {"HTTPS://Example.COM", "", "example.com", true, true},
      {"https://evil.example", "", "127.0.0.1:8080", true, false},
      {"null", "", "127.0.0.1:8080", true, false},
      {"http://127.0.0.1:9090", "", "127.0.0.1:8080", true, false},
      {"https://example.com:8443", "", "example.com", false, true},  // proxy drops the port
      {"https://example.com.evil.example", "", "example.com", false, false},
      {"http://user@127.0.0.1:8080", "", "127.0.0.1:8080", true, false},
      {"", "http://127.0.0.1:8080/profiles/3", "127.0.0.1:8080", true, true},
      {"", "https://evil.example/127.0.0.1:8080", "127.0.0.1:8080", true, false},
      {"", "", "127.0.0.1:8080", true, true},  // a script, not a browser
      {"http://[::1]:8080", "", "[::1]:8080", true, true},
      {"http://127.0.0.1:8080", "", "", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromOwnOrigin(c.origin, c.referer, c.host, c.compare_port), c.allowed)
        << c.origin << " | " << c.referer << " | " << c.host;
  }
  for (const char* method : {"POST", "PUT", "DELETE", "PATCH"})
    EXPECT_TRUE(IsChangingMethod(method));
  for (const char* method : {"GET", "HEAD", "OPTIONS"}) EXPECT_FALSE(IsChangingMethod(method));
}

TEST(RequestChecks, BodiesOverTheRouteLimitAreRefusedUnread) {
  const BodyLimits limits{1000, 5000};
  const struct {
    const char* path;
    const char* length;
    bool chunked;
    std::optional<int> refusal;
  } cases[] = {
      {"/api/v1/members/X", "1000", false, std::nullopt},
      {"/api/v1/members/X", "1001", false, 413},
      {"/api/v1/import", "5000", false, std::nullopt},
      {"/api/v1/import", "5001", false, 413},
      {"/api/v1/import", "1073741824", false, 413},
      {"/api/v1/import", "99999999999999999999", false, 400},
      {"/api/v1/import", "-1", false, 400},
      {"/api/v1/import", "1e9", false, 400},
      {"/api/v1/import", "", true, 411},
      {"/profiles/new", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BodyRefusal(limits, c.path, c.length, c.chunked), c.refusal)
        << c.path << " " << c.length;
  }
}

TEST(ConnectionGuard, DropsConnectionsPastTheirTimeOrOverTheCaps) {
  ConnectionLimits limits;
  limits.headers = std::chrono::seconds(10);
  limits.keep_alive = std::chrono::seconds(5);
  limits.request = std::chrono::seconds(60);
  limits.per_address = 2;
  limits.total = 4;
  const GuardClock::time_point t0{};
  auto at = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
  auto conn = [&](const char* address, int seen, int since, bool in_request, bool answered,
                  bool exempt = false) {
    WatchedConnection c;
    c.address = address;
    c.seen = at(seen);
    c.since = at(since);
    c.in_request = in_request;
    c.answered = answered;
    c.exempt = exempt;
    return c;
  };
  const struct {
    const char* name;
    std::vector<WatchedConnection> open;
    int now;
    std::vector<std::size_t> dropped;
  } cases[] = {
      {"headers in time", {conn("a", 0, 0, false, false)}, 9, {}},
      {"headers too slow", {conn("a", 0, 0, false, false)}, 10, {0}},
      {"keep-alive gets longer", {conn("a", 0, 0, false, true)}, 14, {}},
      {"keep-alive ends", {conn("a", 0, 0, false, true)}, 15, {0}},
      {"request in time", {conn("a", 0, 0, true, false)}, 59, {}},
      {"request too long", {conn("a", 0, 0, true, false)}, 60, {0}},
      {"newest beyond the address cap",
       {conn("a", 0, 0, false, false), conn("a", 1, 1, false, false), conn("a", 2, 2, false, false),
        conn("b", 3, 3, false, false)},
       5,
       {2}},
      {"waiting ones go before those in a request",
       {conn("a", 0, 0, true, false), conn("a", 1, 1, false, false), conn("a", 2, 2, true, false)},
       5,
       {1}},
      {"trusted proxies have no address cap, only the total",
       {conn("p", 0, 0, false, false, true), conn("p", 1, 1, false, false, true),
        conn("p", 2, 2, false, false, true), conn("p", 3, 3, false, false, true),
        conn("p", 4, 4, false, false, true)},
       5,
       {4}},
      {"a dropped one frees its place",
       {conn("a", 0, 0, false, false), conn("a", 20, 20, false, false),
        conn("a", 21, 21, false, false)},
       22,
       {0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectionsToDrop(c.open, limits, at(c.now)), c.dropped) << c.name;
  }
}

TEST(SignInThrottle, WaitsGrowAfterFailuresThenLockPerNameAndAddress) {
  app::ThrottleRules rules;
  rules.free_failures = 3;
  rules.first_wait = std::chrono::seconds(2);
  rules.longest_wait = std::chrono::seconds(8);
  rules.lock_after = 7;
  rules.lock = std::chrono::seconds(100);
  rules.forget = std::chrono::seconds(1000);
  app::SignInThrottle throttle(rules);
  using std::chrono::seconds;
  const app::SignInThrottle::Clock::time_point t0{};
  // Failures of "adam" from 10.0.0.1, one a second: the wait each next try
  // sees right after the failure.
  const long expected_wait[] = {0, 0, 2, 4, 8, 8, 100};
  for (int i = 0; i < 7; ++i) {
    const auto now = t0 + seconds(i);
    const bool locked = throttle.Failed("adam", "10.0.0.1", now);
    EXPECT_EQ(locked, i == 6) << i;
    EXPECT_EQ(throttle.Wait("adam", "10.0.0.2", now).count(), expected_wait[i]) << "name " << i;
    EXPECT_EQ(throttle.Wait("eve", "10.0.0.1", now).count(), expected_wait[i]) << "address " << i;
  }
  bool locked = false;
  EXPECT_EQ(throttle.Wait("adam", "10.0.0.9", t0 + seconds(56), &locked).count(), 50);
  EXPECT_TRUE(locked);
  EXPECT_EQ(throttle.Wait("adam", "10.0.0.9", t0 + seconds(106)).count(), 0);
  EXPECT_EQ(throttle.Wait("bob", "10.0.0.9", t0 + seconds(10)).count(), 0);
  // A right password clears the name's count, not the address's.
  throttle.Succeeded("adam");
  EXPECT_EQ(throttle.Wait("adam", "10.0.0.9", t0 + seconds(10)).count(), 0);
  EXPECT_GT(throttle.Wait("adam", "10.0.0.1", t0 + seconds(10)).count(), 0);
  // Counts are forgotten after a quiet while.
  EXPECT_EQ(throttle.Wait("eve", "10.0.0.1", t0 + seconds(1006)).count(), 0);
}

}  // namespace
}  // namespace migprof::web
