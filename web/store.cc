#include "web/store.h"

#include <ctime>
#include <stdexcept>

#include "component/sql_text.h"
#include "migprof/com_error.h"
#include "web/tokens.h"

namespace migprof::web {
namespace {

constexpr const char* kCreateTables[] = {
    "create table if not exists mpweb_user (usrn varchar(64) not null primary key, "
    "pwhs varchar(255) not null)",
    "create table if not exists mpweb_session (sidh varchar(64) not null primary key, "
    "usrn varchar(64) not null, csrf varchar(64) not null, expi bigint not null, "
    "flsh varchar(2000) not null default '')",
    "create table if not exists mpweb_job (jobi varchar(64) not null primary key, "
    "usrn varchar(64) not null, smpr int not null, umpr int not null, vrc varchar(100) not null, "
    "tabs varchar(4000) not null, stat varchar(10) not null, done bigint not null, "
    "totl bigint not null, errn varchar(32) not null default '', "
    "errd varchar(4000) not null default '', updt bigint not null)",
    "create table if not exists mpweb_apitoken (apid varchar(16) not null primary key, "
    "usrn varchar(64) not null, tkhs varchar(64) not null unique, crea bigint not null)",
};

long long Now() { return static_cast<long long>(std::time(nullptr)); }

String Quoted(const String& text) { return "'" + SqlText(text) + "'"; }

}  // namespace

void EnsureWebTables(const Db& db) {
  if (db.settings().Embedded()) {
    for (const char* statement : kCreateTables) db.Execute(statement);
    return;
  }
  try {
    // mpweb_apitoken came later than the others; a database set up before
    // needs its statement of the script.
    db.QueryNumber("select count(*) from mpweb_session");
    db.QueryNumber("select count(*) from mpweb_apitoken");
  } catch (const ComError& error) {
    throw std::runtime_error(
        "the front end's tables (mpweb_*) are missing on this database; run "
        "schema/web_mariadb.sql or schema/web_sqlserver.sql there first (" +
        error.description() + ")");
  }
}

void Store::AddUser(const String& name, const String& password_hash) {
  if (db_.Execute("update mpweb_user set pwhs = " + Quoted(password_hash) +
                  " where usrn = " + Quoted(name)) > 0) {
    return;
  }
  db_.Execute("insert into mpweb_user (usrn, pwhs) values (" + Quoted(name) + ", " +
              Quoted(password_hash) + ")");
}

bool Store::RemoveUser(const String& name) {
  db_.Execute("delete from mpweb_session where usrn = " + Quoted(name));
  db_.Execute("delete from mpweb_apitoken where usrn = " + Quoted(name));
  return db_.Execute("delete from mpweb_user where usrn = " + Quoted(name)) > 0;
}

bool Store::HasUsers() const { return db_.QueryNumber("select count(*) from mpweb_user") > 0; }

std::optional<String> Store::PasswordHash(const String& name) const {
  std::optional<Row> row = db_.QueryOne("select pwhs from mpweb_user where usrn = " + Quoted(name));
  if (!row) return std::nullopt;
  return (*row)[0];
}

std::pair<String, String> Store::NewApiToken(const String& user) {
  String id = NewToken().substr(0, 12);
  String token = NewToken();
  db_.Execute("insert into mpweb_apitoken (apid, usrn, tkhs, crea) values (" + Quoted(id) + ", " +
              Quoted(user) + ", " + Quoted(HashToken(token)) + ", " + SqlNumber(Now()) + ")");
  return {id, token};
}

std::vector<ApiTokenRecord> Store::ApiTokens(const String& user) const {
  std::vector<ApiTokenRecord> tokens;
  for (const Row& row : db_.Query("select apid, usrn, crea from mpweb_apitoken" +
                                  (user.empty() ? String() : " where usrn = " + Quoted(user)) +
                                  " order by crea, apid")) {
    tokens.push_back(ApiTokenRecord{row[0], row[1], std::stoll(row[2])});
  }
  return tokens;
}

bool Store::RevokeApiToken(const String& id) {
  return db_.Execute("delete from mpweb_apitoken where apid = " + Quoted(id)) > 0;
}

std::optional<String> Store::ApiTokenUser(const String& token) const {
  if (token.size() != 64 || token.find_first_not_of("0123456789abcdef") != String::npos) {
    return std::nullopt;
  }
  std::optional<Row> row =
      db_.QueryOne("select usrn from mpweb_apitoken where tkhs = " + Quoted(HashToken(token)));
  if (!row) return std::nullopt;
  return (*row)[0];
}

String Store::NewSession(const String& user) {
  String id = NewToken();
  const long long expires = Now() + kSessionIdle.count();
  db_.Execute("delete from mpweb_session where expi < " + SqlNumber(Now()));
  db_.Execute("insert into mpweb_session (sidh, usrn, csrf, expi, flsh) values (" +
              Quoted(HashToken(id)) + ", " + Quoted(user) + ", " + Quoted(NewToken()) + ", " +
              SqlNumber(expires) + ", '')");
  return id;
}

std::optional<SessionRecord> Store::FindSession(const String& cookie_id) {
  if (cookie_id.size() != 64) return std::nullopt;
  const String id_hash = HashToken(cookie_id);
  std::optional<Row> row = db_.QueryOne(
      "select usrn, csrf, expi, flsh from mpweb_session where sidh = " + Quoted(id_hash));
  if (!row) return std::nullopt;
  const long long now = Now();
  const long long expires = std::stoll((*row)[2]);
  if (expires < now) {
    EndSession(id_hash);
    return std::nullopt;
  }
  // Moving the expiry on at most once a minute keeps reads from writing.
  if (expires - now < kSessionIdle.count() - 60) {
    db_.Execute("update mpweb_session set expi = " + SqlNumber(now + kSessionIdle.count()) +
                " where sidh = " + Quoted(id_hash));
  }
  return SessionRecord{id_hash, (*row)[0], (*row)[1], (*row)[3]};
}

void Store::EndSession(const String& id_hash) {
  db_.Execute("delete from mpweb_session where sidh = " + Quoted(id_hash));
}

void Store::SetFlash(const String& id_hash, const String& text) {
  db_.Execute("update mpweb_session set flsh = " + Quoted(text.substr(0, 2000)) +
              " where sidh = " + Quoted(id_hash));
}

String Store::TakeFlash(const SessionRecord& session) {
  if (session.flash.empty()) return "";
  db_.Execute("update mpweb_session set flsh = '' where sidh = " + Quoted(session.id_hash));
  return session.flash;
}

String Store::NewJob(const JobRecord& job) {
  String id = NewToken().substr(0, 32);
  // Outcomes are kept for a week, long enough to come back to a bookmark.
  db_.Execute("delete from mpweb_job where stat <> 'running' and updt < " +
              SqlNumber(Now() - 7 * 24 * 3600));
  db_.Execute(
      "insert into mpweb_job (jobi, usrn, smpr, umpr, vrc, tabs, stat, done, totl, errn, errd, "
      "updt) values (" +
      Quoted(id) + ", " + Quoted(job.user) + ", " + SqlNumber(job.source) + ", " +
      SqlNumber(job.target) + ", " + Quoted(job.vrc) + ", " + Quoted(job.tables) +
      ", 'running', 0, " + SqlNumber(job.total) + ", '', '', " + SqlNumber(Now()) + ")");
  return id;
}

void Store::JobProgress(const String& id, long long done) {
  db_.Execute("update mpweb_job set done = " + SqlNumber(done) + ", updt = " + SqlNumber(Now()) +
              " where jobi = " + Quoted(id));
}

void Store::FinishJob(const String& id, const String& state, const String& error_number,
                      const String& error_description, long long done) {
  db_.Execute("update mpweb_job set stat = " + Quoted(state) + ", errn = " + Quoted(error_number) +
              ", errd = " + Quoted(error_description.substr(0, 4000)) + ", done = " +
              SqlNumber(done) + ", updt = " + SqlNumber(Now()) + " where jobi = " + Quoted(id));
}

std::optional<JobRecord> Store::FindJob(const String& id, const String& user) const {
  std::optional<Row> row = db_.QueryOne(
      "select jobi, usrn, smpr, umpr, vrc, tabs, stat, done, totl, errn, errd, updt from mpweb_job "
      "where jobi = " +
      Quoted(id) + " and usrn = " + Quoted(user));
  if (!row) return std::nullopt;
  const Row& r = *row;
  JobRecord job;
  job.id = r[0];
  job.user = r[1];
  job.source = static_cast<Integer>(std::stoi(r[2]));
  job.target = static_cast<Integer>(std::stoi(r[3]));
  job.vrc = r[4];
  job.tables = r[5];
  job.state = r[6];
  job.done = std::stoll(r[7]);
  job.total = std::stoll(r[8]);
  job.error_number = r[9];
  job.error_description = r[10];
  job.seconds_since_update = Now() - std::stoll(r[11]);
  return job;
}

}  // namespace migprof::web
