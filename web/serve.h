// The maintenance front end and the API served: `migprof serve`, which puts
// the pages, the API and the network's checks together on one server.
#ifndef MIGPROF_WEB_SERVE_H_
#define MIGPROF_WEB_SERVE_H_

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
#include "web/http/connection_guard.h"
#include "web/http/network.h"
#include "web/http/request_checks.h"

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
  // Time limits and caps on connections; body sizes per route.
  ConnectionLimits connections;
  BodyLimits bodies;
};

// What every request is checked against before its route reads it.
struct ServerChecks {
  BodyLimits bodies;
  // The server itself speaks HTTPS (cookies get Secure, answers HSTS).
  bool tls = false;
  // Told when a request begins and ends; may be null.
  ConnectionGuard* guard = nullptr;
};

// Why the server may not listen on host with these options, or nothing: a
// certificate needs its key and the other way round, and beyond loopback
// passwords and tokens must not cross the network in clear, so it needs TLS
// or behind_tls_proxy.
std::optional<std::string> TlsRefusal(const ServeOptions& options, const std::string& host);
// Why the server may not start with these worker and connection counts, or
// nothing: one client address must not be able to hold every worker, so the
// per-address cap must stay below the worker count. Trusted proxies are
// exempt from that cap; the proxy in front limits its own clients.
std::optional<std::string> WorkerRefusal(const ServeOptions& options);
// An HTTPS server with the options' certificate and key, a plain one without
// them; nullptr when the certificate or key cannot be loaded.
std::unique_ptr<httplib::Server> NewServer(const ServeOptions& options);

class WebApp;
// Every route of the front end and the API on server, with the security
// headers, the error pages and, when access_log is given, one line per
// request. Before a route reads a request's body, its size is checked
// against the route's limit, an API request's token is checked, and a
// changing request from a foreign origin is refused; a refused body is not
// read, and its connection is closed after the answer. proxies (and
// checks.guard) must outlive the server.
void ConfigureServer(httplib::Server& server, WebApp& app, const TrustedProxies& proxies,
                     std::ostream* access_log, const ServerChecks& checks = {});

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

#endif  // MIGPROF_WEB_SERVE_H_
