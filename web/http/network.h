// Who is asking, as far as the network tells: the client's address (through
// trusted proxies), the address to listen on and whether it is loopback, and
// the health answers for a proxy or a service manager.
#ifndef MIGPROF_WEB_HTTP_NETWORK_H_
#define MIGPROF_WEB_HTTP_NETWORK_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace migprof::web {

// An address or a network of addresses, IPv4 or IPv6.
struct AddressRange {
  int family = 0;  // AF_INET or AF_INET6
  unsigned char bytes[16] = {};
  int prefix = 0;  // leading bits that must match
};

// "192.0.2.7", "10.0.0.0/8", "::1", "fd00::/8"; nullopt when text is none of
// these. An IPv4 address written as IPv6 ("::ffff:127.0.0.1") is read as
// IPv4.
std::optional<AddressRange> ParseAddressRange(const std::string& text);

// The proxies a server takes forwarded headers from; none unless configured.
class TrustedProxies {
 public:
  // False when text is not an address or network.
  bool Add(const std::string& text);
  // True when address (as the socket reports it) lies in a configured range.
  bool Trusts(const std::string& address) const;
  bool Empty() const { return ranges_.empty(); }

 private:
  std::vector<AddressRange> ranges_;
};

// Who sent a request, as far as the server can tell.
struct ClientView {
  std::string address;
  bool https = false;  // the browser used HTTPS to the proxy
};

// The client of a request from peer: the peer itself unless it is a trusted
// proxy; then the right-most address of forwarded_for that is not a trusted
// proxy (the hops before it could be made up by the client), and the scheme
// of forwarded_proto. An entry that is not an address ends the walk at the
// hop that passed it on.
ClientView SeeClient(const TrustedProxies& proxies, const std::string& peer,
                     const std::string& forwarded_for, const std::string& forwarded_proto);

// The answers of the health routes: status and a short JSON body.
struct HealthAnswer {
  int status = 200;
  std::string body;
};
// /healthz: the process answers; the database is not asked.
HealthAnswer LivenessAnswer();
// /readyz: probe runs a cheap query; a failure of any kind answers 503
// without its details (they may name hosts or logins).
HealthAnswer ReadinessAnswer(const std::function<void()>& probe);

// Splits "host:port" ("[::1]:8080" for IPv6); false when it is malformed.
bool SplitListenAddress(const std::string& listen, std::string& host, int& port);
// True for an address in 127.0.0.0/8 or ::1 (also written as IPv4 in
// IPv6), and for a name all of whose addresses are such (as "localhost"
// usually is); false for a name that does not resolve. Decided on the
// parsed or resolved address, never on how the text begins.
bool IsLoopback(const std::string& host);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_NETWORK_H_
