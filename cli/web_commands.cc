#include "cli/web_commands.h"

#include <chrono>
#include <memory>
#include <string>

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
  serve->add_flag("--access-log", state->serve.access_log,
                  "Write one line per request (client, method, path, status) to standard output");
  serve->footer(
      "The database login comes from MIGPROF_DB_USER and MIGPROF_DB_PASSWORD or the option "
      "file, never from the command line. Without accounts the server listens on loopback only.");

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

  return [state, serve, add, remove, &in, &out, &err]() -> int {
    if (serve->parsed()) {
      if (!web::LoadDatabaseLogin(state->option_file, state->serve.db, err)) return 1;
      state->serve.db.paging =
          state->paging == "offset-fetch" ? web::Paging::kOffsetFetch : web::Paging::kLimitOffset;
      state->serve.shutdown_grace = std::chrono::seconds(state->shutdown_seconds);
      return web::RunServe(state->serve, out, err);
    }
    if (add->parsed() || remove->parsed()) {
      if (!web::LoadDatabaseLogin(state->user_option_file, state->user_db, err)) return 1;
      return add->parsed() ? web::RunUserAdd(state->user_db, state->user_name, in, out, err)
                           : web::RunUserRemove(state->user_db, state->user_name, out, err);
    }
    return -1;
  };
}

}  // namespace migprof::cli
