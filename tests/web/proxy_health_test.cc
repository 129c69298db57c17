// What the server believes of a proxy's headers, and its health answers.
#include <gtest/gtest.h>

#include "migprof/com_error.h"
#include "web/server.h"

namespace migprof::web {
namespace {

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

}  // namespace
}  // namespace migprof::web
