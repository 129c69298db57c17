// The maintenance front end: `migprof serve` and the account commands.
#ifndef MIGPROF_WEB_SERVER_H_
#define MIGPROF_WEB_SERVER_H_

#include <httplib.h>

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "web/db.h"

namespace migprof::web {

struct ServeOptions {
  DbSettings db;
  std::string listen = "127.0.0.1:8080";
  // HTTPS: PEM certificate (chain) and private key files.
  std::string tls_cert;
  std::string tls_key;
  // Plain HTTP beyond loopback is allowed: a proxy in front terminates TLS.
  bool behind_tls_proxy = false;
};

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

// Serves until SIGINT or SIGTERM. Refuses (exit status 1, message on err) to
// listen beyond loopback while there is no account, and as TlsRefusal says.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

// `migprof user add`: the password is read from in (without echo on a
// terminal, twice). `migprof user remove` also ends the user's sessions.
int RunUserAdd(const DbSettings& db, const std::string& name, std::istream& in, std::ostream& out,
               std::ostream& err);
int RunUserRemove(const DbSettings& db, const std::string& name, std::ostream& out,
                  std::ostream& err);

// The database login from the environment (MIGPROF_DB_USER,
// MIGPROF_DB_PASSWORD) or, when path is given, from an option file of
// "user=" and "password=" lines. False with a message when the file cannot
// be read.
bool LoadDatabaseLogin(const std::string& option_file, DbSettings& db, std::ostream& err);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_SERVER_H_
