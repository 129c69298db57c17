#include "web/serve.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/changes.h"
#include "app/secrets.h"
#include "app/tables.h"
#include "migprof/com_error.h"
#include "migprof/data_source.h"
#include "web/api/api_routes.h"
#include "web/pages/assets.h"
#include "web/pages/pages.h"
#include "wire/json_values.h"

namespace migprof::web {
namespace {

// Connections the system holds for the server before it accepts them (the
// system caps it at net.core.somaxconn, 4096 on current kernels).
constexpr int kListenBacklog = 1024;

constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; style-src 'self'; script-src 'self'; img-src 'self' data:; "
    "form-action 'self'; frame-ancestors 'none'; base-uri 'none'";

void AddStaticRoute(httplib::Server& server) {
  server.Get(R"(/static/([0-9a-f]+)/([A-Za-z0-9_.-]+))",
             [](const httplib::Request& req, httplib::Response& res) {
               const Asset* asset = FindAsset("static/" + req.matches[2].str());
               if (asset == nullptr || asset->hash != req.matches[1].str()) {
                 res.status = 404;
                 res.set_content("not found", "text/plain");
                 return;
               }
               res.set_header("Cache-Control", "public, max-age=31536000, immutable");
               res.set_content(reinterpret_cast<const char*>(asset->data), asset->size,
                               std::string(asset->content_type).c_str());
             });
}

// A request path as an access-log line shows it: control characters and
// quotes (a decoded path may hold any byte) as \xHH, so that a request
// cannot forge log lines.
std::string LoggedPath(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      static constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void SendHealth(httplib::Response& res, const HealthAnswer& answer) {
  res.status = answer.status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(answer.body, "application/json");
}

// Liveness and readiness for the proxy and the service manager; no sign-in.
void AddHealthRoutes(httplib::Server& server, WebApp& app) {
  server.Get("/healthz", [](const httplib::Request&, httplib::Response& res) {
    SendHealth(res, LivenessAnswer());
  });
  server.Get("/readyz", [&app](const httplib::Request&, httplib::Response& res) {
    SendHealth(
        res, ReadinessAnswer([&app] { app.db().QueryNumber("select count(*) from mpweb_user"); }));
  });
}

// A request refused before its route: a JSON error under /api/, a page
// elsewhere.
void Refuse(const httplib::Request& req, httplib::Response& res, int status,
            const std::string& title, const std::string& detail) {
  if (req.path.rfind("/api/", 0) == 0) {
    res.status = status;
    res.set_content(wire::Json{{"error", detail}}.dump() + "\n", "application/json");
  } else {
    SendProblem(res, status, title, detail);
  }
}

// The checks made before a route reads the request: body size, the origin
// of a changing request and an API request's token. True when the request
// was answered (refused).
bool RefusedEarly(WebApp& app, const TrustedProxies& proxies, const ServerChecks& checks,
                  const httplib::Request& req, httplib::Response& res) {
  const bool chunked = req.has_header("Transfer-Encoding");
  const std::string length = req.get_header_value("Content-Length");
  const bool body =
      chunked || (!length.empty() && length.find_first_not_of('0') != std::string::npos);
  if (IsChangingMethod(req.method) &&
      !FromOwnOrigin(req.get_header_value("Origin"), req.get_header_value("Referer"),
                     req.get_header_value("Host"), !proxies.Trusts(req.remote_addr))) {
    Refuse(req, res, 403, "Request refused",
           "This request came from a page of another site, so nothing was changed.");
    return true;
  }
  // A body for the API is read only for a valid token.
  if (body && req.path.rfind("/api/", 0) == 0 && !RequireToken(app, req, res)) return true;
  if (std::optional<int> status = BodyRefusal(checks.bodies, req.path, length, chunked)) {
    const std::size_t limit = BodyLimitOf(checks.bodies, req.path);
    Refuse(req, res, *status, "Request refused",
           *status == 413 ? "The request's body is larger than this address takes (" +
                                std::to_string(limit) + " bytes)."
           : *status == 411 ? std::string("The request's body needs a Content-Length.")
                            : std::string("The request's Content-Length is not a number."));
    return true;
  }
  return false;
}

}  // namespace

void ConfigureServer(httplib::Server& server, WebApp& app, const TrustedProxies& proxies,
                     std::ostream* access_log, const ServerChecks& checks) {
  app.proxies = &proxies;
  // Headers and body go out in separate writes; without this the body waits
  // for the client's delayed acknowledgement (about 40 ms a page).
  server.set_tcp_nodelay(true);
  // Every body is also capped while it is read (a Content-Length that lies
  // low ends the request where the length says).
  server.set_payload_max_length(std::max(checks.bodies.small, checks.bodies.import));
  server.set_pre_routing_handler(
      [&app, &proxies, checks](const httplib::Request& req, httplib::Response& res) {
        ForgetViewer();
        if (checks.guard != nullptr) checks.guard->RequestBegan(req.remote_addr, req.remote_port);
        if (!RefusedEarly(app, proxies, checks, req, res)) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        // The body was not read: what is left of it must not be taken for
        // the next request.
        res.set_header("Connection", "close");
        if (checks.guard != nullptr) {
          checks.guard->CloseAfterAnswer(req.remote_addr, req.remote_port);
        }
        return httplib::Server::HandlerResponse::Handled;
      });
  server.set_post_routing_handler(
      [&proxies, tls = checks.tls](const httplib::Request& req, httplib::Response& res) {
        res.set_header("Content-Security-Policy", kContentSecurityPolicy);
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Referrer-Policy", "same-origin");
        res.set_header("X-Frame-Options", "DENY");
        // Over HTTPS (the server's own, or a trusted proxy's that the browser
        // reached) cookies are sent back over HTTPS only, and the browser is
        // told to use nothing else for this host.
        if (!tls && (proxies.Empty() || !RequestClient(proxies, req).https)) return;
        res.set_header("Strict-Transport-Security", "max-age=31536000");
        auto [first, last] = res.headers.equal_range("Set-Cookie");
        for (auto it = first; it != last; ++it) it->second += "; Secure";
      });
  server.set_logger([&proxies, access_log, guard = checks.guard](const httplib::Request& req,
                                                                 const httplib::Response& res) {
    if (access_log != nullptr) {
      static std::mutex mutex;
      const ClientView client = RequestClient(proxies, req);
      std::lock_guard<std::mutex> lock(mutex);
      *access_log << client.address << " \"" << req.method << ' ' << LoggedPath(req.path) << "\" "
                  << res.status << std::endl;
    }
    // Called once the answer is written.
    if (guard != nullptr) guard->RequestEnded(req.remote_addr, req.remote_port);
  });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                  std::exception_ptr failure) {
    try {
      std::rethrow_exception(failure);
    } catch (...) {
      ComError error = CurrentFailure();
      SendProblem(res, 503, "The database did not answer",
                  "The page could not be read from the profile database: " + error.description() +
                      " (error " + std::to_string(error.number()) +
                      "). Try again in a moment; if it persists, check that the database is "
                      "reachable.");
    }
  });
  server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (res.status != 404 || !res.body.empty()) return;
    if (req.path.rfind("/api/", 0) == 0) {  // scripts read JSON
      res.set_content(R"({"error":"no API route has this method and address"})",
                      "application/json");
    } else {
      SendProblem(res, 404, "Not found", "There is no page at this address.");
    }
  });
  AddStaticRoute(server);
  AddHealthRoutes(server, app);
  AddAuthRoutes(server, app);
  AddProfileRoutes(server, app);
  AddRuleRoutes(server, app);
  AddFunctionRoutes(server, app);
  AddLibraryRoutes(server, app);
  AddJobRoutes(server, app);
  AddCompareRoutes(server, app);
  AddWhereUsedRoutes(server, app);
  AddCoverageRoutes(server, app);
  AddRevisionRoutes(server, app);
  AddAccountRoutes(server, app);
  AddActivityRoutes(server, app);
  AddApiRoutes(server, app);
}

std::optional<std::string> TlsRefusal(const ServeOptions& options, const std::string& host) {
  if (options.tls_cert.empty() != options.tls_key.empty()) {
    return "--tls-cert and --tls-key go together: give both, or neither";
  }
  if (!options.tls_cert.empty() || options.behind_tls_proxy || IsLoopback(host)) {
    return std::nullopt;
  }
  return "refusing to listen on " + host +
         " without TLS: passwords and API tokens would cross the network in clear. Give "
         "--tls-cert and --tls-key, or --behind-tls-proxy when a proxy in front (such as nginx) "
         "terminates TLS, or listen on 127.0.0.1";
}

std::optional<std::string> WorkerRefusal(const ServeOptions& options) {
  if (options.connections.per_address < options.threads) return std::nullopt;
  return "--max-client-connections (" + std::to_string(options.connections.per_address) +
         ") must be below --threads (" + std::to_string(options.threads) +
         "): one client address could otherwise hold every worker, and the server would answer "
         "no one else. Raise --threads or lower --max-client-connections";
}

std::unique_ptr<httplib::Server> NewServer(const ServeOptions& options) {
  if (options.tls_cert.empty()) return std::make_unique<httplib::Server>();
  auto server =
      std::make_unique<httplib::SSLServer>(options.tls_cert.c_str(), options.tls_key.c_str());
  if (!server->is_valid()) return nullptr;
  return server;
}

int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  std::string host;
  int port = 0;
  if (!SplitListenAddress(options.listen, host, port)) {
    err << "migprof serve: --listen takes host:port, such as 127.0.0.1:8080\n";
    return 1;
  }
  TrustedProxies proxies;
  for (const std::string& proxy : options.trusted_proxies) {
    if (!proxies.Add(proxy)) {
      err << "migprof serve: --trusted-proxy takes an address or a network such as 127.0.0.1 or "
             "10.0.0.0/8, not "
          << proxy << '\n';
      return 1;
    }
  }
  if (std::optional<std::string> refusal = WorkerRefusal(options)) {
    err << "migprof serve: " << *refusal << '\n';
    return 1;
  }
  // Signals go to the waiting thread below, not to the server's threads.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  WebApp app(options.db);
  app.core.activity().SetRetention(options.activity_days);
  // A database that cannot be reached (a refused login, an unknown data
  // source) is named as such first, before anything is said of its tables.
  try {
    OpenDataSource(app.core.source(), kInteractiveTimeouts);
  } catch (const ComError& failure) {
    err << "migprof serve: cannot connect to the profile database " << options.db.source.name
        << ": " << failure.description() << '\n';
    return 1;
  }
  try {
    app::InitSodium();
    app::EnsureTables(app.db());
    // Copies left running by a server that was killed.
    if (const long lost = app.jobs.ReconcileLost(); lost > 0) {
      err << "migprof serve: " << lost
          << " copies had stopped sending progress (their server was stopped without warning) "
             "and are now recorded as failed\n";
    }
    const bool accounts = app.core.accounts().Any();
    if (!IsLoopback(host) && !accounts) {
      err << "migprof serve: refusing to listen on " << host
          << " without accounts; add one with `migprof user add <name>` first, or listen on "
             "127.0.0.1\n";
      return 1;
    }
    // Behind a proxy every request comes from the proxy's address, which may
    // well be loopback: signing in with a name alone would be open to all.
    if (!proxies.Empty() && !accounts) {
      err << "migprof serve: refusing to trust a proxy without accounts; add one with `migprof "
             "user add <name>` first\n";
      return 1;
    }
  } catch (const ComError& failure) {
    err << "migprof serve: the profile database " << options.db.source.name
        << " cannot be used: " << failure.description() << '\n';
    return 1;
  } catch (const std::exception& failure) {
    err << "migprof serve: " << failure.what() << '\n';
    return 1;
  }
  if (std::optional<std::string> refusal = TlsRefusal(options, host)) {
    err << "migprof serve: " << *refusal << '\n';
    return 1;
  }
  std::unique_ptr<httplib::Server> server = NewServer(options);
  if (!server) {
    err << "migprof serve: cannot load the TLS certificate " << options.tls_cert << " and key "
        << options.tls_key << " (PEM files that belong together)\n";
    return 1;
  }
  server->new_task_queue = [threads = options.threads] {
    return new httplib::ThreadPool(static_cast<std::size_t>(threads));
  };
  ConnectionGuard guard(options.connections,
                        [&proxies](const std::string& address) { return proxies.Trusts(address); });
  ServerChecks checks{options.bodies, !options.tls_cert.empty(), &guard};
  ConfigureServer(*server, app, proxies, options.access_log ? &out : nullptr, checks);
  app::PreviewsKeptReady previews(app.core);
  // The listening socket, kept to give it a longer queue of connections
  // waiting to be accepted than cpp-httplib's built-in 5.
  int listener = -1;
  server->set_socket_options([&listener](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listener = socket;
  });
  if (port == 0) {
    port = server->bind_to_any_port(host);
  } else if (!server->bind_to_port(host, port)) {
    port = -1;
  }
  if (port < 0) {
    err << "migprof serve: cannot listen on " << options.listen << '\n';
    return 1;
  }
  if (listener >= 0) ::listen(listener, kListenBacklog);
  guard.Start(port);
  out << "Serving " << (options.tls_cert.empty() ? "http" : "https") << "://"
      << (host.find(':') != std::string::npos ? "[" + host + "]" : host) << ":" << port
      << "/ (Ctrl-C stops)" << std::endl;

  // The stopper waits for a signal, stops accepting and gives the requests in
  // flight until the deadline; the serving thread tells it when they are done.
  std::mutex mutex;
  std::condition_variable served;
  bool serving = true;
  auto deadline = std::chrono::steady_clock::time_point::max();
  std::thread stopper([&] {
    int received = 0;
    sigwait(&signals, &received);
    // A signal that comes before the server listens would find nothing to
    // stop yet.
    auto started = [&] {
      std::lock_guard<std::mutex> lock(mutex);
      return !serving || server->is_running();
    };
    while (!started()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::unique_lock<std::mutex> lock(mutex);
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      deadline = std::chrono::steady_clock::now() + options.shutdown_grace;
    }
    server->stop();
    if (served.wait_until(lock, deadline, [&] { return !serving; })) return;
    err << "migprof serve: requests still running after " << options.shutdown_grace.count()
        << " s; stopping without them" << std::endl;
    app.jobs.Abandon();
    std::_Exit(1);
  });
  server->listen_after_bind();
  {
    std::lock_guard<std::mutex> lock(mutex);
    serving = false;
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      deadline = std::chrono::steady_clock::now() + options.shutdown_grace;
    }
  }
  served.notify_all();
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  // What is left of the grace period goes to running copies.
  app.jobs.Stop(deadline);
  return 0;
}

}  // namespace migprof::web
