// The maintenance front end: `migprof serve` and the account commands.
#ifndef MIGPROF_WEB_SERVER_H_
#define MIGPROF_WEB_SERVER_H_

#include <httplib.h>

#include <chrono>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/db.h"

namespace migprof::web {

struct ServeOptions {
  app::Settings db;
  // Days the activity log keeps its entries (0: for good).
  long activity_days = 400;
  std::string listen = "127.0.0.1:8080";
  // Addresses or networks ("127.0.0.1", "10.0.0.0/8", "::1") of proxies
  // whose X-Forwarded-For and X-Forwarded-Proto headers are believed.
  std::vector<std::string> trusted_proxies;
  // How long a stop waits for requests in flight and running copies.
  std::chrono::seconds shutdown_grace{10};
  // One line per request on out: client, method, path and status.
  bool access_log = false;
  // HTTPS: PEM certificate (chain) and private key files.
  std::string tls_cert;
  std::string tls_key;
  // Plain HTTP beyond loopback is allowed: a proxy in front terminates TLS.
  bool behind_tls_proxy = false;
  // Requests served at once. A browser keeps up to six connections to a
  // server open between pages, and each open connection holds a thread while
  // it waits for its next request (up to 5 s), so a few users already need
  // more than a thread per core.
  int threads = 32;
};

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

class WebApp;
// Every route of the front end and the API on server, with the security
// headers, the error pages and, when access_log is given, one line per
// request. proxies must outlive the server.
void ConfigureServer(httplib::Server& server, WebApp& app, const TrustedProxies& proxies,
                     std::ostream* access_log);

// Splits "host:port" ("[::1]:8080" for IPv6); false when it is malformed.
bool SplitListenAddress(const std::string& listen, std::string& host, int& port);
// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(const std::string& host);

// Why the server may not listen on host with these options, or nothing: a
// certificate needs its key and the other way round, and beyond loopback
// passwords and tokens must not cross the network in clear, so it needs TLS
// or behind_tls_proxy.
std::optional<std::string> TlsRefusal(const ServeOptions& options, const std::string& host);
// An HTTPS server with the options' certificate and key, a plain one without
// them; nullptr when the certificate or key cannot be loaded.
std::unique_ptr<httplib::Server> NewServer(const ServeOptions& options);

// Serves until SIGINT or SIGTERM. Creates the front end's tables on the
// embedded database (a server database must have them). Refuses (exit
// status 1, message on err) to
// listen beyond loopback, or to trust a proxy, while there is no account, and
// as TlsRefusal says. On a signal it stops accepting, lets requests in flight
// and running copies end within options.shutdown_grace (copies still running
// then are stopped and recorded as failed), closes its connections and
// returns 0. Requests still running after the grace period end the process
// with status 1.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_SERVER_H_
