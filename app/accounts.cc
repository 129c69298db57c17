#include "app/accounts.h"

#include <ctime>

#include "app/clock.h"
#include "app/errors.h"
#include "app/secrets.h"
#include "component/sql_text.h"

namespace migprof::app {
namespace {

Account ToAccount(const Row& r) {
  Account account;
  account.name = r[0];
  account.role = ParseRole(r[1]).value_or(Role::kViewer);
  account.disabled = r[2] == "1";
  account.sessions = r[3].empty() ? 0 : std::stoll(r[3]);
  account.tokens = r[4].empty() ? 0 : std::stoll(r[4]);
  return account;
}

constexpr const char* kAccountColumns =
    "select u.usrn, u.role, u.dsbl, (select count(*) from mpweb_session s where s.usrn = u.usrn), "
    "(select count(*) from mpweb_apitoken t where t.usrn = u.usrn) from mpweb_user u";

}  // namespace

std::vector<Account> Accounts::List() const {
  std::vector<Account> out;
  for (const Row& row : db_.Query(String(kAccountColumns) + " order by u.usrn")) {
    out.push_back(ToAccount(row));
  }
  return out;
}

std::optional<Account> Accounts::Find(const String& name) const {
  std::optional<Row> row =
      db_.QueryOne(String(kAccountColumns) + " where u.usrn = " + SqlQuoted(name));
  if (!row) return std::nullopt;
  return ToAccount(*row);
}

bool Accounts::Any() const { return db_.QueryNumber("select count(*) from mpweb_user") > 0; }

Role Accounts::Add(const String& name, const String& password_hash, Role role) {
  if (name.empty() || name.size() > kMaxName) {
    throw Invalid("an account name has 1 to " + std::to_string(kMaxName) + " characters");
  }
  if (Find(name)) throw Invalid("there is an account named \"" + name + "\" already");
  if (!Any()) role = Role::kAdministrator;
  db_.Execute("insert into mpweb_user (usrn, pwhs, role, dsbl, crea) values (" + SqlQuoted(name) +
              ", " + SqlQuoted(password_hash) + ", " + SqlQuoted(RoleName(role)) + ", 0, " +
              SqlNumber(UnixSeconds()) + ")");
  return role;
}

bool Accounts::SetPasswordHash(const String& name, const String& password_hash) {
  return db_.Execute("update mpweb_user set pwhs = " + SqlQuoted(password_hash) +
                     " where usrn = " + SqlQuoted(name)) > 0;
}

bool Accounts::SetRole(const String& name, Role role) {
  return db_.Execute("update mpweb_user set role = " + SqlQuoted(RoleName(role)) +
                     " where usrn = " + SqlQuoted(name)) > 0;
}

bool Accounts::SetDisabled(const String& name, bool disabled) {
  const bool found = db_.Execute("update mpweb_user set dsbl = " + SqlNumber(disabled ? 1 : 0) +
                                 " where usrn = " + SqlQuoted(name)) > 0;
  if (found && disabled) EndSessions(name);
  return found;
}

bool Accounts::Remove(const String& name) {
  EndSessions(name);
  db_.Execute("delete from mpweb_apitoken where usrn = " + SqlQuoted(name));
  return db_.Execute("delete from mpweb_user where usrn = " + SqlQuoted(name)) > 0;
}

std::optional<String> Accounts::PasswordHash(const String& name) const {
  std::optional<Row> row =
      db_.QueryOne("select pwhs from mpweb_user where usrn = " + SqlQuoted(name));
  if (!row) return std::nullopt;
  return (*row)[0];
}

long long Accounts::Administrators() const {
  return db_.QueryNumber(
      "select count(*) from mpweb_user where role = 'administrator' and dsbl = 0");
}

std::pair<String, String> Accounts::NewToken(const String& user) {
  String id = app::NewToken().substr(0, 12);
  String token = app::NewToken();
  db_.Execute("insert into mpweb_apitoken (apid, usrn, tkhs, crea) values (" + SqlQuoted(id) +
              ", " + SqlQuoted(user) + ", " + SqlQuoted(HashToken(token)) + ", " +
              SqlNumber(UnixSeconds()) + ")");
  return {id, token};
}

std::vector<ApiToken> Accounts::Tokens(const String& user) const {
  std::vector<ApiToken> tokens;
  for (const Row& row : db_.Query("select apid, usrn, crea from mpweb_apitoken" +
                                  (user.empty() ? String() : " where usrn = " + SqlQuoted(user)) +
                                  " order by crea, apid")) {
    tokens.push_back(ApiToken{row[0], row[1], std::stoll(row[2])});
  }
  return tokens;
}

std::optional<ApiToken> Accounts::FindToken(const String& id) const {
  std::optional<Row> row =
      db_.QueryOne("select apid, usrn, crea from mpweb_apitoken where apid = " + SqlQuoted(id));
  if (!row) return std::nullopt;
  return ApiToken{(*row)[0], (*row)[1], std::stoll((*row)[2])};
}

bool Accounts::RevokeToken(const String& id) {
  return db_.Execute("delete from mpweb_apitoken where apid = " + SqlQuoted(id)) > 0;
}

std::optional<String> Accounts::TokenUser(const String& token) const {
  if (token.size() != 64 || token.find_first_not_of("0123456789abcdef") != String::npos) {
    return std::nullopt;
  }
  std::optional<Row> row =
      db_.QueryOne("select usrn from mpweb_apitoken where tkhs = " + SqlQuoted(HashToken(token)));
  if (!row) return std::nullopt;
  return (*row)[0];
}

String Accounts::NewSession(const String& user) {
  const String id = app::NewToken() + "." + std::to_string(UnixSeconds());
  const long long expires = UnixSeconds() + kSessionIdle.count();
  db_.Execute("delete from mpweb_session where expi < " + SqlNumber(UnixSeconds()));
  db_.Execute("insert into mpweb_session (sidh, usrn, csrf, expi, flsh) values (" +
              SqlQuoted(HashToken(id)) + ", " + SqlQuoted(user) + ", " +
              SqlQuoted(app::NewToken()) + ", " + SqlNumber(expires) + ", '')");
  return id;
}

std::optional<SessionRecord> Accounts::FindSession(const String& cookie_id) {
  // "<64 hex digits>.<seconds since 1970>"
  if (cookie_id.size() < 66 || cookie_id.size() > 80 || cookie_id[64] != '.' ||
      cookie_id.find_first_not_of("0123456789", 65) != String::npos) {
    return std::nullopt;
  }
  const String id_hash = HashToken(cookie_id);
  const long long signed_in = std::stoll(cookie_id.substr(65));
  if (UnixSeconds() - signed_in > kSessionLifetime.count() || signed_in > UnixSeconds() + 60) {
    EndSession(id_hash);
    return std::nullopt;
  }
  std::optional<Row> row = db_.QueryOne(
      "select usrn, csrf, expi, flsh from mpweb_session where sidh = " + SqlQuoted(id_hash));
  if (!row) return std::nullopt;
  const long long now = UnixSeconds();
  const long long expires = std::stoll((*row)[2]);
  if (expires < now) {
    EndSession(id_hash);
    return std::nullopt;
  }
  // Moving the expiry on at most once a minute keeps reads from writing.
  if (expires - now < kSessionIdle.count() - 60) {
    db_.Execute("update mpweb_session set expi = " + SqlNumber(now + kSessionIdle.count()) +
                " where sidh = " + SqlQuoted(id_hash));
  }
  return SessionRecord{id_hash, (*row)[0], (*row)[1], (*row)[3]};
}

void Accounts::EndSession(const String& id_hash) {
  db_.Execute("delete from mpweb_session where sidh = " + SqlQuoted(id_hash));
}

long Accounts::EndSessions(const String& user) {
  return db_.Execute("delete from mpweb_session where usrn = " + SqlQuoted(user));
}

void Accounts::SetFlash(const String& id_hash, const String& text) {
  db_.Execute("update mpweb_session set flsh = " + SqlQuoted(text.substr(0, 2000)) +
              " where sidh = " + SqlQuoted(id_hash));
}

String Accounts::TakeFlash(const SessionRecord& session) {
  if (session.flash.empty()) return "";
  db_.Execute("update mpweb_session set flsh = '' where sidh = " + SqlQuoted(session.id_hash));
  return session.flash;
}

}  // namespace migprof::app
