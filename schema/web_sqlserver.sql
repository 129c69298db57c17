-- Tables of the maintenance front end (`migprof serve`), SQL Server (T-SQL)
-- form. Run once on the profile database before serving it (serve it with
-- --paging offset-fetch); the embedded database gets them automatically.
-- Names and ids compare exactly (binary collation).

-- Accounts: name and libsodium password hash.
CREATE TABLE mpweb_user (
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  pwhs varchar(255) COLLATE Latin1_General_BIN2 NOT NULL);

-- Signed-in sessions: hash of the cookie's id, user, CSRF token, expiry
-- (seconds since 1970) and the flash message for the next page.
CREATE TABLE mpweb_session (
  sidh varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  csrf varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  expi bigint NOT NULL,
  flsh varchar(2000) NOT NULL DEFAULT '');
CREATE INDEX mpweb_session_usrn ON mpweb_session (usrn);

-- Rule copies run by the front end: parameters, progress and outcome.
CREATE TABLE mpweb_job (
  jobi varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  smpr int NOT NULL, umpr int NOT NULL,
  vrc varchar(100) NOT NULL, tabs varchar(4000) NOT NULL,
  stat varchar(10) NOT NULL, done bigint NOT NULL, totl bigint NOT NULL,
  errn varchar(32) NOT NULL DEFAULT '', errd varchar(4000) NOT NULL DEFAULT '',
  updt bigint NOT NULL);

-- API tokens of scripts: id, account, hash of the token (the token itself is
-- shown once and never stored), creation time (seconds since 1970). A
-- database set up before API tokens existed needs only this statement.
CREATE TABLE mpweb_apitoken (
  apid varchar(16) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  tkhs varchar(64) COLLATE Latin1_General_BIN2 NOT NULL UNIQUE,
  crea bigint NOT NULL);
CREATE INDEX mpweb_apitoken_usrn ON mpweb_apitoken (usrn);
