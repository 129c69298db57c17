// The accounts of the front end and the API, with their roles, the browser
// sessions signed in under them and the API tokens scripts use. Kept in the
// profile database (tables mpweb_user, mpweb_session, mpweb_apitoken), so
// several servers on one database share them.
#ifndef MIGPROF_APP_ACCOUNTS_H_
#define MIGPROF_APP_ACCOUNTS_H_

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "app/db.h"
#include "app/principal.h"

namespace migprof::app {

struct Account {
  String name;
  Role role = Role::kMaintainer;
  bool disabled = false;
  long long sessions = 0;  // signed in now
  long long tokens = 0;    // API tokens not revoked
};

// An API token of an account; the token itself is shown once and only its
// hash is stored.
struct ApiToken {
  String id;
  String user;
  long long created = 0;  // seconds since 1970
};

// A signed-in browser session.
struct SessionRecord {
  String id_hash;  // the stored form of the cookie's id
  String user;
  String csrf;
  String flash;
};

class Accounts {
 public:
  // Sessions end after this long without a request, and this long after
  // their sign-in whatever happens.
  static constexpr std::chrono::seconds kSessionIdle{8 * 3600};
  static constexpr std::chrono::seconds kSessionLifetime{24 * 3600};
  // Longest account name.
  static constexpr std::size_t kMaxName = 64;

  explicit Accounts(const Db& db) : db_(db) {}

  // Every account, by name.
  std::vector<Account> List() const;
  std::optional<Account> Find(const String& name) const;
  bool Any() const;
  // Adds an account with a password hash. The first account of a database is
  // an administrator whatever role says; returns the role it got. Raises
  // Invalid for a name that is empty, too long or taken.
  Role Add(const String& name, const String& password_hash, Role role);
  // Each returns false when there is no such account.
  bool SetPasswordHash(const String& name, const String& password_hash);
  bool SetRole(const String& name, Role role);
  // Disabling also ends the account's sessions; its tokens stay, unusable,
  // until it is enabled again.
  bool SetDisabled(const String& name, bool disabled);
  // Removes the account with its sessions and tokens.
  bool Remove(const String& name);
  std::optional<String> PasswordHash(const String& name) const;
  // How many enabled administrators there are.
  long long Administrators() const;

  // API tokens. NewToken returns the id and the token (64 hex digits).
  std::pair<String, String> NewToken(const String& user);
  // Those of user, or of every account when user is empty, oldest first.
  std::vector<ApiToken> Tokens(const String& user) const;
  std::optional<ApiToken> FindToken(const String& id) const;
  bool RevokeToken(const String& id);
  // The account a valid token belongs to.
  std::optional<String> TokenUser(const String& token) const;

  // Sessions. NewSession returns the id for the cookie: 64 random hex
  // digits, a dot and the time of the sign-in, which the stored hash covers
  // (so it cannot be moved on); only the hash is stored. FindSession answers
  // sessions that have not expired, idle or by their age, and moves their
  // idle expiry on.
  String NewSession(const String& user);
  std::optional<SessionRecord> FindSession(const String& cookie_id);
  void EndSession(const String& id_hash);
  // Ends every session of user; returns how many.
  long EndSessions(const String& user);
  void SetFlash(const String& id_hash, const String& text);
  // The flash message, cleared as it is read.
  String TakeFlash(const SessionRecord& session);

 private:
  const Db& db_;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_ACCOUNTS_H_
