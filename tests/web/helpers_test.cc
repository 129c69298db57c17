// Parsing of what requests, proxies and the command line carry, the checks
// made before a route reads a request, the connection guard's choice of
// connections to drop, the sign-in throttle, and the server's health answers.
#include <gtest/gtest.h>

#include "app/sign_in_throttle.h"
#include "migprof/com_error.h"
#include "web/http/connection_guard.h"
#include "web/http/request_checks.h"
#include "web/pages/pages.h"
#include "web/serve.h"

namespace migprof::web {
namespace {

TEST(ListenAddress, SplitsHostAndPortAndKnowsLoopback) {
  struct {
    const char* listen;
    const char* host;
    int port;
  } cases[] = {{"127.0.0.1:8080", "127.0.0.1", 8080},
               {"0.0.0.0:0", "0.0.0.0", 0},
               {"[::1]:9000", "::1", 9000},
               {"localhost:65535", "localhost", 65535}};
  for (const auto& c : cases) {
    std::string host;
    int port = -1;
    ASSERT_TRUE(SplitListenAddress(c.listen, host, port)) << c.listen;
    EXPECT_EQ(host, c.host) << c.listen;
    EXPECT_EQ(port, c.port) << c.listen;
  }
  for (const char* listen :
       {"127.0.0.1", ":8080", "host:", "host:80a", "host:65536", "host:123456"}) {
    std::string host;
    int port = -1;
    EXPECT_FALSE(SplitListenAddress(listen, host, port)) << listen;
  }
  for (const char* host : {"127.0.0.1", "127.1.2.3", "::1", "localhost", "::ffff:127.0.0.1"}) {
    EXPECT_TRUE(IsLoopback(host)) << host;
  }
  for (const char* host :
       {"0.0.0.0", "::", "10.0.0.1", "128.0.0.1", "localhost.example.com", "::ffff:10.0.0.1",
        "127.0.0.1.evil.invalid", "127.0.0.1x", "127.0.0.0/8", "::2", "", "0:0:0:0:0:0:0:2"}) {
    EXPECT_FALSE(IsLoopback(host)) << host;
  }
}

TEST(ProfileNumber, AcceptsSixteenBitWholeNumbersOnly) {
  for (const auto& [text, number] : std::initializer_list<std::pair<const char*, Integer>>{
           {"12", 12}, {" 12 ", 12}, {"-32768", -32768}, {"32767", 32767}, {"0", 0}}) {
    EXPECT_EQ(ParseProfileNumber(text), number) << text;
  }
  for (const char* text : {"32768", "-32769", "", "  ", "-", "1e3", "12;drop", "99999999"}) {
    EXPECT_EQ(ParseProfileNumber(text), std::nullopt) << text;
  }
}

TEST(UrlEncode, LeavesOnlySafeCharacters) {
  EXPECT_EQ(UrlEncode("1_0_C"), "1_0_C");
  EXPECT_EQ(UrlEncode("a b&c=d?e#f"), "a%20b%26c%3Dd%3Fe%23f");
  EXPECT_EQ(UrlEncode("\"<x>'"), "%22%3Cx%3E%27");
  EXPECT_EQ(VrcQuery(Vrc{"1 U", "0", "C&D"}), "?vers=1%20U&rele=0&cust=C%26D");
}

// Table codes split as the members split them, or at their blanks as pages
// show them; a VRC at its first two underscores. What splits writes back the
// same text; a key's label reads back as the key.
TEST(Parse, TableCodesAndVrcs) {
  struct {
    const char* text;
    std::optional<TableKey> key;
    std::optional<Vrc> vrc;
  } cases[] = {{"xyuvw123", TableKey{"xy", "uvw", "123"}, std::nullopt},
               {"xyuvw1", TableKey{"xy", "uvw", "1"}, std::nullopt},
               {"or itm 001", TableKey{"or", "itm", "001"}, std::nullopt},
               {"xy  uvw\t12", TableKey{"xy", "uvw", "12"}, std::nullopt},
               {"or itm", std::nullopt, std::nullopt},
               {"o ritm 001", std::nullopt, std::nullopt},
               {"xyuvw", std::nullopt, std::nullopt},
               {"", std::nullopt, std::nullopt},
               {"1_0_C", std::nullopt, Vrc{"1", "0", "C"}},
               {"V10U_R1_ACME", TableKey{"V1", "0U_", "R1_ACME"}, Vrc{"V10U", "R1", "ACME"}},
               {"a_b_c_d", TableKey{"a_", "b_c", "_d"}, Vrc{"a", "b", "c_d"}},
               {"_0_", std::nullopt, Vrc{"", "0", ""}},
               {"__", std::nullopt, std::nullopt},
               {"1_0", std::nullopt, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(app::ParseTableCode(c.text), c.key) << c.text;
    EXPECT_EQ(app::ParseVrc(c.text), c.vrc) << c.text;
    if (c.key) {
      if (std::string(c.text).find_first_of(" \t") == std::string::npos) {
        EXPECT_EQ(c.key->Code(), c.text);
      }
      EXPECT_EQ(app::ParseTableCode(" " + c.key->Label() + " "), c.key);
    }
    if (c.vrc) {
      EXPECT_EQ(c.vrc->Text(), c.text);
    }
  }
  std::vector<std::string> listed;
  for (const TableKey& key : app::ParseTableList("orsls400,xy,oritm001,,abcde9")) {
    listed.push_back(key.Code());
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"orsls400", "oritm001", "abcde9"}));
  EXPECT_TRUE(app::ParseTableList("").empty());
}

TEST(TrustedProxies, MatchesAddressesAndNetworks) {
  TrustedProxies proxies;
  for (const char* range : {"127.0.0.1", "10.1.0.0/16", "172.16.5.128/25", "fd00::/8", "::1"}) {
    ASSERT_TRUE(proxies.Add(range)) << range;
  }
  struct {
    const char* peer;
    bool trusted;
  } cases[] = {
      {"127.0.0.1", true},
      {"127.0.0.2", false},
      {"10.1.255.3", true},
      {"10.2.0.1", false},
      {"172.16.5.200", true},
      {"172.16.5.127", false},
      {"fd12:3456::1", true},
      {"fe80::1", false},
      {"::1", true},
      {"::ffff:127.0.0.1", true},  // an IPv4 peer on a dual-stack socket
      {"::ffff:10.1.2.3", true},
      {"", false},
      {"localhost", false},
      {"10.1.0.0/16", false},
      {"127.0.0.1:80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(proxies.Trusts(c.peer), c.trusted) << c.peer;

  for (const char* bad : {"", "proxy.example", "10.0.0.0/33", "::1/129", "10.0.0.1/", "10.0.0/8",
                          "1.2.3.4/-1", "1.2.3.4/8x"}) {
    EXPECT_FALSE(proxies.Add(bad)) << bad;
  }
  EXPECT_TRUE(TrustedProxies().Empty());
  EXPECT_FALSE(TrustedProxies().Trusts("127.0.0.1"));
}

TEST(SeeClient, BelievesForwardedHeadersOnlyFromTrustedProxies) {
  TrustedProxies proxies;
  ASSERT_TRUE(proxies.Add("127.0.0.1"));
  ASSERT_TRUE(proxies.Add("10.0.0.0/8"));
  struct {
    const char* peer;
    const char* forwarded_for;
    const char* proto;
    const char* client;
    bool https;
  } cases[] = {
      // Not a proxy of ours: its headers are ignored.
      {"192.0.2.9", "203.0.113.5", "https", "192.0.2.9", false},
      // A trusted proxy: the nearest hop it did not itself trust.
      {"127.0.0.1", "203.0.113.5", "https", "203.0.113.5", true},
      {"127.0.0.1", "203.0.113.5", "http", "203.0.113.5", false},
      {"127.0.0.1", "203.0.113.5", "HTTPS", "203.0.113.5", true},
      {"127.0.0.1", "6.6.6.6, 203.0.113.5, 10.0.0.4", "https", "203.0.113.5", true},
      {"127.0.0.1", "6.6.6.6,203.0.113.5", "", "203.0.113.5", false},
      // Every hop trusted: the first one.
      {"127.0.0.1", "10.0.0.7, 10.0.0.4", "", "10.0.0.7", false},
      // A hop that is not an address stops the walk at the hop that passed it.
      {"127.0.0.1", "203.0.113.5, nonsense, 10.0.0.4", "", "10.0.0.4", false},
      {"127.0.0.1", "nonsense", "", "127.0.0.1", false},
      {"127.0.0.1", "10.0.0.0/8", "", "127.0.0.1", false},
      // No header: the proxy itself; the last scheme is the nearest proxy's.
      {"127.0.0.1", "", "http, https", "127.0.0.1", true},
      {"127.0.0.1", "", "https, http", "127.0.0.1", false},
  };
  for (const auto& c : cases) {
    ClientView view = SeeClient(proxies, c.peer, c.forwarded_for, c.proto);
    EXPECT_EQ(view.address, c.client) << c.peer << " / " << c.forwarded_for;
    EXPECT_EQ(view.https, c.https) << c.peer << " / " << c.proto;
  }
}

TEST(Health, ReadinessFollowsTheProbeAndHidesItsFailure) {
  EXPECT_EQ(LivenessAnswer().status, 200);
  EXPECT_EQ(ReadinessAnswer([] {}).status, 200);
  const HealthAnswer down = ReadinessAnswer([] {
    throw ComError(errc::kProviderFailure, "Cannot connect to db-7.internal as sa (password x)");
  });
  EXPECT_EQ(down.status, 503);
  EXPECT_NE(down.body.find("database"), std::string::npos);
  EXPECT_EQ(down.body.find("db-7"), std::string::npos);
  EXPECT_EQ(ReadinessAnswer([] { throw std::runtime_error("odd"); }).status, 503);
}

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
