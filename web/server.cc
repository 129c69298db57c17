#include "web/server.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "component/failure.h"
#include "web/api_routes.h"
#include "web/app.h"
#include "web/assets.h"
#include "web/tokens.h"

namespace migprof::web {
namespace {

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

void ConfigureServer(httplib::Server& server, WebApp& app) {
  server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy", kContentSecurityPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "same-origin");
    res.set_header("X-Frame-Options", "DENY");
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
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.status == 404 && res.body.empty()) {
      SendProblem(res, 404, "Not found", "There is no page at this address.");
    }
  });
  AddStaticRoute(server);
  AddAuthRoutes(server, app);
  AddProfileRoutes(server, app);
  AddRuleRoutes(server, app);
  AddFunctionRoutes(server, app);
  AddJobRoutes(server, app);
  AddApiRoutes(server, app);
}

std::string ReadPassword(std::istream& in, std::ostream& out, bool& ok) {
  const bool terminal = &in == &std::cin && isatty(STDIN_FILENO);
  termios saved{};
  if (terminal) {
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  auto read_line = [&](const char* prompt) {
    if (terminal) out << prompt << std::flush;
    std::string line;
    ok = static_cast<bool>(std::getline(in, line));
    if (terminal) out << '\n';
    return line;
  };
  std::string first = read_line("Password: ");
  if (ok && terminal) {
    std::string again = read_line("Again: ");
    if (again != first) first.clear();
  }
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return first;
}

}  // namespace

bool SplitListenAddress(const std::string& listen, std::string& host, int& port) {
  std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
  host = listen.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  std::string digits = listen.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  port = std::stoi(digits);
  return port <= 65535 && !host.empty();
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

bool LoadDatabaseLogin(const std::string& option_file, DbSettings& db, std::ostream& err) {
  if (const char* user = std::getenv("MIGPROF_DB_USER")) db.user = user;
  if (const char* password = std::getenv("MIGPROF_DB_PASSWORD")) db.password = password;
  if (option_file.empty()) return true;
  std::ifstream file(option_file);
  if (!file) {
    err << "migprof: cannot read the option file " << option_file << '\n';
    return false;
  }
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("user=", 0) == 0) db.user = line.substr(5);
    if (line.rfind("password=", 0) == 0) db.password = line.substr(9);
  }
  return true;
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
  // Signals go to the waiting thread below, not to the server's threads.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  WebApp app(options.db);
  try {
    InitSodium();
    EnsureWebTables(app.db);
    if (!IsLoopback(host) && !app.store.HasUsers()) {
      err << "migprof serve: refusing to listen on " << host
          << " without accounts; add one with `migprof user add <name>` first, or listen on "
             "127.0.0.1\n";
      return 1;
    }
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
  ConfigureServer(*server, app);
  if (port == 0) {
    port = server->bind_to_any_port(host);
  } else if (!server->bind_to_port(host, port)) {
    port = -1;
  }
  if (port < 0) {
    err << "migprof serve: cannot listen on " << options.listen << '\n';
    return 1;
  }
  out << "Serving " << (options.tls_cert.empty() ? "http" : "https") << "://"
      << (host.find(':') != std::string::npos ? "[" + host + "]" : host) << ":" << port
      << "/ (Ctrl-C stops)" << std::endl;
  std::thread stopper([&server, signals] {
    int received = 0;
    sigwait(&signals, &received);
    server->stop();
  });
  server->listen_after_bind();
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return 0;
}

int RunUserAdd(const DbSettings& settings, const std::string& name, std::istream& in,
               std::ostream& out, std::ostream& err) {
  if (name.empty() || name.size() > 64) {
    err << "migprof user add: a name of 1 to 64 characters is needed\n";
    return 1;
  }
  bool ok = false;
  std::string password = ReadPassword(in, out, ok);
  if (!ok || password.empty()) {
    err << "migprof user add: no password given (or the two entries differ)\n";
    return 1;
  }
  try {
    Db db(settings);
    EnsureWebTables(db);
    Store(db).AddUser(name, HashPassword(password));
  } catch (...) {
    err << "migprof user add: " << CurrentFailure().description() << '\n';
    return 1;
  }
  out << "Account " << name << " can sign in.\n";
  return 0;
}

int RunUserRemove(const DbSettings& settings, const std::string& name, std::ostream& out,
                  std::ostream& err) {
  try {
    Db db(settings);
    EnsureWebTables(db);
    if (!Store(db).RemoveUser(name)) {
      err << "migprof user remove: there is no account " << name << '\n';
      return 1;
    }
  } catch (...) {
    err << "migprof user remove: " << CurrentFailure().description() << '\n';
    return 1;
  }
  out << "Account " << name << " removed; its sessions have ended.\n";
  return 0;
}

}  // namespace migprof::web
