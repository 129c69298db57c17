// The maintenance front end: `migprof serve` and the account commands.
#ifndef MIGPROF_WEB_SERVER_H_
#define MIGPROF_WEB_SERVER_H_

#include <istream>
#include <ostream>
#include <string>

#include "web/db.h"

namespace migprof::web {

struct ServeOptions {
  DbSettings db;
  std::string listen = "127.0.0.1:8080";
};

// Splits "host:port" ("[::1]:8080" for IPv6); false when it is malformed.
bool SplitListenAddress(const std::string& listen, std::string& host, int& port);
// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(const std::string& host);

// Serves until SIGINT or SIGTERM. Refuses (exit status 1, message on err) to
// listen beyond loopback while there is no account.
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
