// The front end's own tables (prefix mpweb_) in the profile database:
// accounts, signed-in sessions with their CSRF secrets and flash messages,
// and the state of long-running work. Keeping them in the database lets
// several servers share one database; nothing here lives in process memory.
#ifndef MIGPROF_WEB_STORE_H_
#define MIGPROF_WEB_STORE_H_

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "web/db.h"

namespace migprof::web {

// Creates the tables on the embedded database when they are missing. On a
// server database checks that they exist and raises std::runtime_error
// naming the script to run otherwise.
void EnsureWebTables(const Db& db);

struct SessionRecord {
  String id_hash;  // the stored form of the cookie's id
  String user;
  String csrf;
  String flash;
};

// An API token of an account; the token itself is shown once and only its
// hash is stored.
struct ApiTokenRecord {
  String id;
  String user;
  long long created = 0;  // seconds since 1970
};

// A copy in progress or finished.
struct JobRecord {
  String id;
  String user;
  Integer source = 0;
  Integer target = 0;
  String vrc;     // "{vers}_{rele}_{cust}" of the target
  String tables;  // comma-separated table codes
  String state;   // "running", "done", "failed"
  long long done = 0;
  long long total = 0;
  String error_number;
  String error_description;
  long long seconds_since_update = 0;
};

class Store {
 public:
  // Sessions end after this long without a request.
  static constexpr std::chrono::seconds kSessionIdle{8 * 3600};

  explicit Store(const Db& db) : db_(db) {}

  // Accounts. AddUser replaces the password of an existing account.
  void AddUser(const String& name, const String& password_hash);
  // RemoveUser also ends the account's sessions and revokes its API tokens.
  bool RemoveUser(const String& name);
  bool HasUsers() const;
  std::optional<String> PasswordHash(const String& name) const;

  // API tokens for scripts. NewApiToken returns the id and the token (64
  // hex digits); ApiTokens lists those of user, or of every account when
  // user is empty, oldest first; ApiTokenUser answers the account of a token
  // that exists and has not been revoked.
  std::pair<String, String> NewApiToken(const String& user);
  std::vector<ApiTokenRecord> ApiTokens(const String& user) const;
  bool RevokeApiToken(const String& id);
  std::optional<String> ApiTokenUser(const String& token) const;

  // Sessions. NewSession returns the id for the cookie; only its hash is
  // stored. FindSession answers sessions that have not expired and moves
  // their expiry on.
  String NewSession(const String& user);
  std::optional<SessionRecord> FindSession(const String& cookie_id);
  void EndSession(const String& id_hash);
  void SetFlash(const String& id_hash, const String& text);
  // The flash message, cleared as it is read.
  String TakeFlash(const SessionRecord& session);

  // Long-running work.
  String NewJob(const JobRecord& job);
  void JobProgress(const String& id, long long done);
  void FinishJob(const String& id, const String& state, const String& error_number,
                 const String& error_description, long long done);
  // A running job reports at least this often; one silent for longer has
  // lost its server.
  static constexpr long long kJobSilence = 30;
  std::optional<JobRecord> FindJob(const String& id, const String& user) const;

 private:
  const Db& db_;
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_STORE_H_
