#include "cli/web_commands.h"

#include <chrono>
#include <memory>
#include <string>

#include "web/api_tokens.h"
#include "web/server.h"

namespace migprof::cli {
namespace {

struct WebCommandState {
  web::ServeOptions serve;
  std::string option_file;
  std::string paging = "limit";
  int shutdown_seconds = 10;
  std::string user_name;
  web::DbSettings user_db;
  std::string user_option_file;
  std::string token_subject;  // account of add and list, id of revoke
};

}  // namespace

std::function<int()> AddWebCommands(CLI::App& app, std::istream& in, std::ostream& out,
                                    std::ostream& err) {
  auto state = std::make_shared<WebCommandState>();
  CLI::App* serve = app.add_subcommand("serve", "Serve the maintenance front end over HTTP");
  serve
      ->add_option("--database", state->serve.db.database,
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
  serve->add_flag("--access-log", state->serve.access_log,
                  "Write one line per request (client, method, path, status) to standard output");
  serve->add_option("--tls-cert", state->serve.tls_cert,
                    "PEM certificate (chain) to serve HTTPS with; needs --tls-key");
  serve->add_option("--tls-key", state->serve.tls_key, "PEM private key of --tls-cert");
  serve->add_flag("--behind-tls-proxy", state->serve.behind_tls_proxy,
                  "Serve plain HTTP beyond loopback because a proxy in front terminates TLS");
  serve->footer(
      "The database login comes from MIGPROF_DB_USER and MIGPROF_DB_PASSWORD or the option "
      "file, never from the command line. Without accounts the server listens on loopback only; "
      "beyond loopback it needs --tls-cert and --tls-key, or --behind-tls-proxy.");

  CLI::App* user = app.add_subcommand("user", "Add or remove accounts of the front end");
  user->require_subcommand(1);
  CLI::App* add = user->add_subcommand("add", "Add an account (or set its password)");
  CLI::App* remove = user->add_subcommand("remove", "Remove an account and end its sessions");
  for (CLI::App* command : {add, remove}) {
    command->add_option("name", state->user_name, "Account name")->required();
    command
        ->add_option("--database", state->user_db.database,
                     "sqlite:<path> or an ODBC data source name")
        ->required();
    command->add_option("--option-file", state->user_option_file,
                        "File with user= and password= lines for the database login");
  }
  add->footer("The password is read from the terminal (twice, not echoed) or from standard input.");

  CLI::App* token = app.add_subcommand("token", "Add, list or revoke the API tokens of accounts");
  token->require_subcommand(1);
  CLI::App* token_add =
      token->add_subcommand("add", "Print a new API token of an account (shown once)");
  CLI::App* token_list = token->add_subcommand("list", "List API tokens, of one account or all");
  CLI::App* token_revoke = token->add_subcommand("revoke", "Revoke an API token by its id");
  token_add->add_option("user", state->token_subject, "Account name")->required();
  token_list->add_option("user", state->token_subject, "Account name (all accounts if omitted)");
  token_revoke->add_option("id", state->token_subject, "Token id, as token list shows it")
      ->required();
  for (CLI::App* command : {token_add, token_list, token_revoke}) {
    command
        ->add_option("--database", state->user_db.database,
                     "sqlite:<path> or an ODBC data source name")
        ->required();
    command->add_option("--option-file", state->user_option_file,
                        "File with user= and password= lines for the database login");
  }

  return
      [state, serve, add, remove, token_add, token_list, token_revoke, &in, &out, &err]() -> int {
        if (serve->parsed()) {
          if (!web::LoadDatabaseLogin(state->option_file, state->serve.db, err)) return 1;
          state->serve.db.paging = state->paging == "offset-fetch" ? web::Paging::kOffsetFetch
                                                                   : web::Paging::kLimitOffset;
          state->serve.shutdown_grace = std::chrono::seconds(state->shutdown_seconds);
          return web::RunServe(state->serve, out, err);
        }
        if (add->parsed() || remove->parsed()) {
          if (!web::LoadDatabaseLogin(state->user_option_file, state->user_db, err)) return 1;
          return add->parsed() ? web::RunUserAdd(state->user_db, state->user_name, in, out, err)
                               : web::RunUserRemove(state->user_db, state->user_name, out, err);
        }
        if (token_add->parsed() || token_list->parsed() || token_revoke->parsed()) {
          if (!web::LoadDatabaseLogin(state->user_option_file, state->user_db, err)) return 1;
          if (token_add->parsed())
            return web::RunTokenAdd(state->user_db, state->token_subject, out, err);
          if (token_list->parsed()) {
            return web::RunTokenList(state->user_db, state->token_subject, out, err);
          }
          return web::RunTokenRevoke(state->user_db, state->token_subject, out, err);
        }
        return -1;
      };
}

}  // namespace migprof::cli
