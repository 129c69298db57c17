-- Tables of the maintenance front end (`migprof serve`), SQL Server (T-SQL)
-- form. Run once on the profile database before serving it (serve it with
-- --paging offset-fetch); the embedded database gets them automatically.
-- Names and ids compare exactly (binary collation).

-- Accounts: name, libsodium password hash, role (viewer, maintainer or
-- administrator), whether it is disabled, creation time (seconds since 1970).
CREATE TABLE mpweb_user (
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  pwhs varchar(255) COLLATE Latin1_General_BIN2 NOT NULL,
  role varchar(16) NOT NULL DEFAULT 'maintainer',
  dsbl int NOT NULL DEFAULT 0,
  crea bigint NOT NULL DEFAULT 0);

-- Signed-in sessions: hash of the cookie's id, user, CSRF token, expiry
-- (seconds since 1970) and the flash message for the next page.
CREATE TABLE mpweb_session (
  sidh varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  csrf varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  expi bigint NOT NULL,
  flsh varchar(2000) NOT NULL DEFAULT '');
CREATE INDEX mpweb_session_usrn ON mpweb_session (usrn);

-- Rule copies run by the front end: parameters, progress and outcome (with
-- the rows written per table, "table=rows,..."). A database set up with an
-- earlier version of this script needs
--   ALTER TABLE mpweb_job ADD chgs varchar(1000) NOT NULL DEFAULT '';
CREATE TABLE mpweb_job (
  jobi varchar(64) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  smpr int NOT NULL, umpr int NOT NULL,
  vrc varchar(100) NOT NULL, tabs varchar(4000) NOT NULL,
  stat varchar(10) NOT NULL, done bigint NOT NULL, totl bigint NOT NULL,
  errn varchar(32) NOT NULL DEFAULT '', errd varchar(4000) NOT NULL DEFAULT '',
  updt bigint NOT NULL,
  chgs varchar(1000) NOT NULL DEFAULT '');

-- API tokens of scripts: id, account, hash of the token (the token itself is
-- shown once and never stored), creation time (seconds since 1970). A
-- database set up before API tokens existed needs only this statement.
CREATE TABLE mpweb_apitoken (
  apid varchar(16) COLLATE Latin1_General_BIN2 NOT NULL PRIMARY KEY,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  tkhs varchar(64) COLLATE Latin1_General_BIN2 NOT NULL UNIQUE,
  crea bigint NOT NULL);
CREATE INDEX mpweb_apitoken_usrn ON mpweb_apitoken (usrn);

-- The activity log: one row per change asked for through the pages, the API
-- or the tool: when (seconds since 1970), who, through which entry point
-- (page, api, cli), the operation with its arguments (name=value lines), the
-- profile, how it ended (done, refused, failed, forbidden), the error number
-- and message, and the rows changed per table ("table=n,...") with their sum.
CREATE TABLE mpweb_activity (
  actn bigint IDENTITY(1,1) NOT NULL PRIMARY KEY,
  tstm bigint NOT NULL,
  usrn varchar(64) COLLATE Latin1_General_BIN2 NOT NULL,
  entr varchar(8) NOT NULL,
  oper varchar(64) NOT NULL,
  mprf int NULL,
  args varchar(4000) NOT NULL DEFAULT '',
  otcm varchar(16) NOT NULL,
  errn varchar(32) NOT NULL DEFAULT '',
  errd varchar(4000) NOT NULL DEFAULT '',
  chgs varchar(1000) NOT NULL DEFAULT '',
  rtot bigint NOT NULL DEFAULT 0);
CREATE INDEX mpweb_activity_tstm ON mpweb_activity (tstm);
CREATE INDEX mpweb_activity_mprf ON mpweb_activity (mprf, tstm);
CREATE INDEX mpweb_activity_usrn ON mpweb_activity (usrn, tstm);

-- Accounts made before roles: a database set up with an earlier version of
-- this script needs these statements (and the mpweb_activity table above).
-- The accounts it has could do everything, so they become administrators.
--   ALTER TABLE mpweb_user ADD role varchar(16) NOT NULL DEFAULT 'administrator';
--   ALTER TABLE mpweb_user ADD dsbl int NOT NULL DEFAULT 0;
--   ALTER TABLE mpweb_user ADD crea bigint NOT NULL DEFAULT 0;
