-- Migration-profile database, SQL Server (T-SQL) form, for a database with the
-- default collation SQL_Latin1_General_CP1_CI_AS.
-- The widest indexes may exceed SQL Server's 1700-byte key limit on paper;
-- SQL Server creates them with a warning, and the component's values are far
-- shorter.
-- Two keys only: one row per profile number in qzmap100 and one per profile
-- number and level in qzmap101, so that two callers creating the same profile
-- at the same moment cannot both store it. They are filtered indexes, so rows
-- without a number stay possible, as in the other tables.
-- Every table's primary key is the surrogate rowkey, an IDENTITY column
-- (nonclustered, so tables stay heaps as before); the data-access layer
-- hides it from every result, so no member sees it.

-- Migration profiles.
CREATE TABLE qzmap100 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, sapp varchar(255), tapp varchar(255),
  vers varchar(255), rele varchar(255), cust varchar(255),
  verf varchar(255), relf varchar(255), cusf varchar(255),
  dsca varchar(255), scme varchar(255), deph int, ownr varbinary(255),
  apln varchar(255));
CREATE UNIQUE INDEX qzmap100_mprf ON qzmap100 (mprf) WHERE mprf IS NOT NULL;
CREATE INDEX qzmap100_vrc ON qzmap100 (vers, rele, cust);
CREATE INDEX qzmap100_apps ON qzmap100 (sapp, tapp);

-- Derivation levels of a profile.
CREATE TABLE qzmap101 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, levl int, vers varchar(255), rele varchar(255),
  cust varchar(255), pprf int);
CREATE UNIQUE INDEX qzmap101_mprf ON qzmap101 (mprf, levl)
  WHERE mprf IS NOT NULL AND levl IS NOT NULL;
CREATE INDEX qzmap101_vrc ON qzmap101 (vers, rele, cust);
CREATE INDEX qzmap101_parent ON qzmap101 (pprf, levl, mprf);

-- Development VRC of a profile under revision control.
CREATE TABLE qzmap105 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), dver varchar(255), drel varchar(255),
  dcus varchar(255));
CREATE INDEX qzmap105_mprf ON qzmap105 (mprf);

-- Rule items of a target table (deleted with the rules, never written).
CREATE TABLE qzmap110 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap110_key ON qzmap110 (mprf, vers, rele, cust);
-- Each rule table's table code columns are indexed too: where used finds
-- the rules that name a table without reading every rule.
CREATE INDEX qzmap110_table ON qzmap110 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);
CREATE TABLE qzmap125 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap125_key ON qzmap125 (mprf, vers, rele, cust);
CREATE INDEX qzmap125_table ON qzmap125 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);
CREATE TABLE qzmap135 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap135_key ON qzmap135 (mprf, vers, rele, cust);
CREATE INDEX qzmap135_table ON qzmap135 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);
CREATE TABLE qzmap145 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap145_key ON qzmap145 (mprf, vers, rele, cust);
CREATE INDEX qzmap145_table ON qzmap145 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);
CREATE TABLE qzmap165 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap165_key ON qzmap165 (mprf, vers, rele, cust);
CREATE INDEX qzmap165_table ON qzmap165 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);

-- The mapping rule of a target table.
CREATE TABLE qzmap120 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), prtx varchar(255), logn varchar(255),
  stat varchar(255), lusr varchar(255), comt varchar(255),
  vari varchar(255), stbl varchar(255), isms varchar(255),
  txtn varchar(255), ldat datetime);
CREATE INDEX qzmap120_key ON qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap120_table ON qzmap120 (tcpac, tcmod, tflno, mprf, vers, rele, cust);
-- The checked-out rules only (the list of check-outs); no member's statement
-- names stat = 'C', so none of their plans can change for it.
CREATE INDEX qzmap120_checked_out ON qzmap120 (stat) WHERE stat = 'C';

-- Further source tables of a target table.
CREATE TABLE qzmap130 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), scpac varchar(255), scmod varchar(255),
  sflno varchar(255), icod varchar(255), qury varchar(4000),
  txtn varchar(255));
CREATE INDEX qzmap130_key ON qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap130_table ON qzmap130 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);
CREATE INDEX qzmap130_source ON qzmap130 (scpac, scmod, sflno) INCLUDE (mprf, vers, rele, cust);

-- The rule of one field element of a target table.
CREATE TABLE qzmap140 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), fdnm varchar(255), dnum int,
  mrul varchar(255), type varchar(255), stat varchar(255),
  txtn varchar(255));
CREATE INDEX qzmap140_key ON qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm);
CREATE INDEX qzmap140_table ON qzmap140 (tcpac, tcmod, tflno, mprf, vers, rele, cust, fdnm);

-- Functions used by the rule of a target table.
CREATE TABLE qzmap160 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), func varchar(255));
CREATE INDEX qzmap160_key ON qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap160_table ON qzmap160 (tcpac, tcmod, tflno) INCLUDE (mprf, vers, rele, cust);

-- Links from a base table to a child table, and their rule items.
CREATE TABLE qzmap170 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), bpac varchar(255), bmod varchar(255),
  bflno varchar(255), cpac varchar(255), cmod varchar(255),
  cflno varchar(255));
CREATE INDEX qzmap170_key ON qzmap170 (mprf, vers, rele, cust, bpac, bmod, bflno);
CREATE INDEX qzmap170_base ON qzmap170 (bpac, bmod, bflno) INCLUDE (mprf, vers, rele, cust);
CREATE INDEX qzmap170_child ON qzmap170 (cpac, cmod, cflno) INCLUDE (mprf, vers, rele, cust);
CREATE TABLE qzmap175 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), bpac varchar(255), bmod varchar(255),
  bflno varchar(255));
CREATE INDEX qzmap175_key ON qzmap175 (mprf, vers, rele, cust);
CREATE INDEX qzmap175_base ON qzmap175 (bpac, bmod, bflno) INCLUDE (mprf, vers, rele, cust);

-- Users: settings, and links to profiles (user name as binary text).
CREATE TABLE qzusr100 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  usrn varchar(255), defa int);
CREATE INDEX qzusr100_defa ON qzusr100 (defa);
CREATE TABLE qzusr110 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, usrn varbinary(255));
CREATE INDEX qzusr110_mprf ON qzusr110 (mprf);
CREATE INDEX qzusr110_usrn ON qzusr110 (usrn);

-- Function library of a profile, and entries belonging to its functions.
CREATE TABLE qzlib100 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), fnam varchar(255), dsca varchar(255),
  lurn varchar(255), ldat datetime, fdef varchar(max),
  comt varchar(255), stat varchar(255), curn varchar(255));
CREATE INDEX qzlib100_key ON qzlib100 (mprf, vers, rele, cust, fnam);
CREATE INDEX qzlib100_name ON qzlib100 (fnam, mprf, vers, rele, cust) INCLUDE (stat);
CREATE INDEX qzlib100_checked_out ON qzlib100 (stat) WHERE stat = 'C';
CREATE TABLE qzlib105 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), fnam varchar(255));
CREATE INDEX qzlib105_key ON qzlib105 (mprf, vers, rele, cust, fnam);

-- Data dictionary and legacy field lists (read only).
CREATE TABLE qzddi100 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  appl varchar(255), extn varchar(255));
CREATE INDEX qzddi100_appl ON qzddi100 (appl);
CREATE TABLE qzddi150 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  appl varchar(255), cpac varchar(255), cmod varchar(255),
  flno varchar(255), fdnm varchar(255), dept int,
  cdom varchar(255));
CREATE INDEX qzddi150_table ON qzddi150 (appl, cpac, cmod, flno);
CREATE TABLE qzddi220 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  appl varchar(255), cpac varchar(255), cdom varchar(255));
CREATE INDEX qzddi220_appl ON qzddi220 (appl);
CREATE TABLE qzlgy150 (
  rowkey bigint IDENTITY(1,1) NOT NULL PRIMARY KEY NONCLUSTERED,
  appl varchar(255), cpac varchar(255), cmod varchar(255),
  flno varchar(255), flna varchar(255));
CREATE INDEX qzlgy150_table ON qzlgy150 (appl, cpac, cmod, flno);
