#include "cli/web_commands.h"

#include <chrono>
#include <memory>
#include <string>

#include "cli/account_commands.h"
#include "web/serve.h"

namespace migprof::cli {
namespace {

struct WebCommandState {
  web::ServeOptions serve;
  DatabaseSettings login;
  std::string option_file;
  std::string paging = "limit";
  int shutdown_seconds = 10;
  long import_mb = 64;
};

}  // namespace

std::function<int()> AddWebCommands(CLI::App& app, std::istream&, std::ostream& out,
                                    std::ostream& err) {
  auto state = std::make_shared<WebCommandState>();
  CLI::App* serve = app.add_subcommand("serve", "Serve the maintenance front end over HTTP");
  serve
      ->add_option("--database", state->serve.db.source.name,
                   "sqlite:<path> or an ODBC data source name")
      ->required();
  serve->add_option("--listen", state->serve.listen, "host:port to listen on")
      ->capture_default_str();
  serve->add_option("--option-file", state->option_file,
                    "File with user= and password= lines for the database login");
  serve
      ->add_option("--paging", state->paging,
                   "How the server pages lists: limit (embedded, MariaDB) or offset-fetch "
                   "(SQL Server)")
      ->check(CLI::IsMember({"limit", "offset-fetch"}));
  serve
      ->add_option("--trusted-proxy", state->serve.trusted_proxies,
                   "Address or network (such as 127.0.0.1 or 10.0.0.0/8) of a reverse proxy whose "
                   "X-Forwarded-For and X-Forwarded-Proto headers are believed; repeatable")
      ->take_all();
  serve
      ->add_option("--shutdown-timeout", state->shutdown_seconds,
                   "Seconds a stop waits for requests in flight and running copies")
      ->check(CLI::Range(1, 3600))
      ->capture_default_str();
  serve
      ->add_option("--threads", state->serve.threads,
                   "Requests served at once; an open browser connection holds one while idle, "
                   "and each request in flight uses a few database connections")
      ->check(CLI::Range(1, 1024))
      ->capture_default_str();
  serve
      ->add_option("--max-import-mb", state->import_mb,
                   "Largest body /api/v1/import takes, in MiB; other routes take 1 MiB")
      ->check(CLI::Range(1, 4096))
      ->capture_default_str();
  serve
      ->add_option("--max-client-connections", state->serve.connections.per_address,
                   "Connections one client address may hold open (a trusted proxy: any number)")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  serve
      ->add_option("--max-connections", state->serve.connections.total,
                   "Connections all clients together may hold open")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  serve->add_flag("--access-log", state->serve.access_log,
                  "Write one line per request (client, method, path, status) to standard output");
  serve->add_option("--tls-cert", state->serve.tls_cert,
                    "PEM certificate (chain) to serve HTTPS with; needs --tls-key");
  serve->add_option("--tls-key", state->serve.tls_key, "PEM private key of --tls-cert");
  serve->add_flag("--behind-tls-proxy", state->serve.behind_tls_proxy,
                  "Serve plain HTTP beyond loopback because a proxy in front terminates TLS");
  serve
      ->add_option("--activity-days", state->serve.activity_days,
                   "Days the activity log keeps its entries; 0 keeps them for good")
      ->check(CLI::Range(0, 100000))
      ->capture_default_str();
  serve->footer(
      "The database login comes from MIGPROF_DB_USER and MIGPROF_DB_PASSWORD or the option "
      "file, never from the command line. Without accounts the server listens on loopback only; "
      "beyond loopback it needs --tls-cert and --tls-key, or --behind-tls-proxy.");

  return [state, serve, &out, &err]() -> int {
    if (!serve->parsed()) return -1;
    if (!LoadDatabaseLogin(state->option_file, state->login, err)) return 1;
    state->serve.db.source.user = state->login.user.value_or("");
    state->serve.db.source.password = state->login.password.value_or("");
    state->serve.db.paging =
        state->paging == "offset-fetch" ? app::Paging::kOffsetFetch : app::Paging::kLimitOffset;
    state->serve.shutdown_grace = std::chrono::seconds(state->shutdown_seconds);
    state->serve.bodies.import = static_cast<std::size_t>(state->import_mb) << 20;
    return web::RunServe(state->serve, out, err);
  };
}

}  // namespace migprof::cli
