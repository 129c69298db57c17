-- Migration-profile database, embedded (SQLite) form.
-- Text columns compare as SQL Server's default collation does (letter case
-- and trailing blanks ignored); the collation SQLSERVER is registered by the
-- component on every connection. Binary texts are BLOBs. Two keys only: one
-- row per profile number in qzmap100 and one per profile number and level in
-- qzmap101, so that two callers creating the same profile at the same moment
-- cannot both store it (the second insert fails before it writes or deletes
-- anything). Every other table may hold duplicate rows, and the component
-- must be able to write them.
-- Every table's primary key is the surrogate rowkey, SQLite's own row id
-- under a name: rows keep the order they were added in, and the
-- data-access layer hides the column from every result, so no member sees
-- it (docs/operations.md, "Keys and the change lock").

-- Migration profiles.
CREATE TABLE qzmap100 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, sapp TEXT COLLATE SQLSERVER, tapp TEXT COLLATE SQLSERVER,
  vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER, cust TEXT COLLATE SQLSERVER,
  verf TEXT COLLATE SQLSERVER, relf TEXT COLLATE SQLSERVER, cusf TEXT COLLATE SQLSERVER,
  dsca TEXT COLLATE SQLSERVER, scme TEXT COLLATE SQLSERVER, deph INTEGER, ownr BLOB,
  apln TEXT COLLATE SQLSERVER);
CREATE UNIQUE INDEX qzmap100_mprf ON qzmap100 (mprf);
CREATE INDEX qzmap100_vrc ON qzmap100 (vers, rele, cust);
CREATE INDEX qzmap100_apps ON qzmap100 (sapp, tapp);

-- Derivation levels of a profile.
CREATE TABLE qzmap101 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, levl INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, pprf INTEGER);
CREATE UNIQUE INDEX qzmap101_mprf ON qzmap101 (mprf, levl);
CREATE INDEX qzmap101_vrc ON qzmap101 (vers, rele, cust);
CREATE INDEX qzmap101_parent ON qzmap101 (pprf, levl, mprf);

-- Development VRC of a profile under revision control.
CREATE TABLE qzmap105 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, dver TEXT COLLATE SQLSERVER, drel TEXT COLLATE SQLSERVER,
  dcus TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap105_mprf ON qzmap105 (mprf);

-- Rule items of a target table (deleted with the rules, never written).
CREATE TABLE qzmap110 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap110_key ON qzmap110 (mprf, vers, rele, cust);
-- Each rule table's table code columns are indexed too: where used finds
-- the rules that name a table without reading every rule.
CREATE INDEX qzmap110_table ON qzmap110 (tcpac, tcmod, tflno);
CREATE TABLE qzmap125 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap125_key ON qzmap125 (mprf, vers, rele, cust);
CREATE INDEX qzmap125_table ON qzmap125 (tcpac, tcmod, tflno);
CREATE TABLE qzmap135 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap135_key ON qzmap135 (mprf, vers, rele, cust);
CREATE INDEX qzmap135_table ON qzmap135 (tcpac, tcmod, tflno);
CREATE TABLE qzmap145 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap145_key ON qzmap145 (mprf, vers, rele, cust);
CREATE INDEX qzmap145_table ON qzmap145 (tcpac, tcmod, tflno);
CREATE TABLE qzmap165 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap165_key ON qzmap165 (mprf, vers, rele, cust);
CREATE INDEX qzmap165_table ON qzmap165 (tcpac, tcmod, tflno);

-- The mapping rule of a target table.
CREATE TABLE qzmap120 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER, prtx TEXT COLLATE SQLSERVER, logn TEXT COLLATE SQLSERVER,
  stat TEXT COLLATE SQLSERVER, lusr TEXT COLLATE SQLSERVER, comt TEXT COLLATE SQLSERVER,
  vari TEXT COLLATE SQLSERVER, stbl TEXT COLLATE SQLSERVER, isms TEXT COLLATE SQLSERVER,
  txtn TEXT COLLATE SQLSERVER, ldat TEXT);
CREATE INDEX qzmap120_key ON qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap120_table ON qzmap120 (tcpac, tcmod, tflno, mprf, vers, rele, cust);
-- The checked-out rules only (the list of check-outs); no member's statement
-- names stat = 'C', so none of their plans can change for it.
CREATE INDEX qzmap120_checked_out ON qzmap120 (stat) WHERE stat = 'C';

-- Further source tables of a target table.
CREATE TABLE qzmap130 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER, scpac TEXT COLLATE SQLSERVER, scmod TEXT COLLATE SQLSERVER,
  sflno TEXT COLLATE SQLSERVER, icod TEXT COLLATE SQLSERVER, qury TEXT COLLATE SQLSERVER,
  txtn TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap130_key ON qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap130_table ON qzmap130 (tcpac, tcmod, tflno);
CREATE INDEX qzmap130_source ON qzmap130 (scpac, scmod, sflno);

-- The rule of one field element of a target table.
CREATE TABLE qzmap140 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER, fdnm TEXT COLLATE SQLSERVER, dnum INTEGER,
  mrul TEXT COLLATE SQLSERVER, type TEXT COLLATE SQLSERVER, stat TEXT COLLATE SQLSERVER,
  txtn TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap140_key ON qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm);
CREATE INDEX qzmap140_table ON qzmap140 (tcpac, tcmod, tflno, mprf, vers, rele, cust, fdnm);

-- Functions used by the rule of a target table.
CREATE TABLE qzmap160 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, tcpac TEXT COLLATE SQLSERVER, tcmod TEXT COLLATE SQLSERVER,
  tflno TEXT COLLATE SQLSERVER, func TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap160_key ON qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno);
CREATE INDEX qzmap160_table ON qzmap160 (tcpac, tcmod, tflno);

-- Links from a base table to a child table, and their rule items.
CREATE TABLE qzmap170 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, bpac TEXT COLLATE SQLSERVER, bmod TEXT COLLATE SQLSERVER,
  bflno TEXT COLLATE SQLSERVER, cpac TEXT COLLATE SQLSERVER, cmod TEXT COLLATE SQLSERVER,
  cflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap170_key ON qzmap170 (mprf, vers, rele, cust, bpac, bmod, bflno);
CREATE INDEX qzmap170_base ON qzmap170 (bpac, bmod, bflno);
CREATE INDEX qzmap170_child ON qzmap170 (cpac, cmod, cflno);
CREATE TABLE qzmap175 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, bpac TEXT COLLATE SQLSERVER, bmod TEXT COLLATE SQLSERVER,
  bflno TEXT COLLATE SQLSERVER);
CREATE INDEX qzmap175_key ON qzmap175 (mprf, vers, rele, cust);
CREATE INDEX qzmap175_base ON qzmap175 (bpac, bmod, bflno);

-- Users: settings, and links to profiles (user name as binary text).
CREATE TABLE qzusr100 (
  rowkey INTEGER PRIMARY KEY,
  usrn TEXT COLLATE SQLSERVER, defa INTEGER);
CREATE INDEX qzusr100_defa ON qzusr100 (defa);
CREATE TABLE qzusr110 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, usrn BLOB);
CREATE INDEX qzusr110_mprf ON qzusr110 (mprf);
CREATE INDEX qzusr110_usrn ON qzusr110 (usrn);

-- Function library of a profile, and entries belonging to its functions.
CREATE TABLE qzlib100 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, fnam TEXT COLLATE SQLSERVER, dsca TEXT COLLATE SQLSERVER,
  lurn TEXT COLLATE SQLSERVER, ldat TEXT, fdef TEXT COLLATE SQLSERVER,
  comt TEXT COLLATE SQLSERVER, stat TEXT COLLATE SQLSERVER, curn TEXT COLLATE SQLSERVER);
CREATE INDEX qzlib100_key ON qzlib100 (mprf, vers, rele, cust, fnam);
CREATE INDEX qzlib100_name ON qzlib100 (fnam, mprf, vers, rele, cust);
CREATE INDEX qzlib100_checked_out ON qzlib100 (stat) WHERE stat = 'C';
CREATE TABLE qzlib105 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, fnam TEXT COLLATE SQLSERVER);
CREATE INDEX qzlib105_key ON qzlib105 (mprf, vers, rele, cust, fnam);

-- Data dictionary and legacy field lists (read only).
CREATE TABLE qzddi100 (
  rowkey INTEGER PRIMARY KEY,
  appl TEXT COLLATE SQLSERVER, extn TEXT COLLATE SQLSERVER);
CREATE INDEX qzddi100_appl ON qzddi100 (appl);
CREATE TABLE qzddi150 (
  rowkey INTEGER PRIMARY KEY,
  appl TEXT COLLATE SQLSERVER, cpac TEXT COLLATE SQLSERVER, cmod TEXT COLLATE SQLSERVER,
  flno TEXT COLLATE SQLSERVER, fdnm TEXT COLLATE SQLSERVER, dept INTEGER,
  cdom TEXT COLLATE SQLSERVER);
CREATE INDEX qzddi150_table ON qzddi150 (appl, cpac, cmod, flno);
CREATE TABLE qzddi220 (
  rowkey INTEGER PRIMARY KEY,
  appl TEXT COLLATE SQLSERVER, cpac TEXT COLLATE SQLSERVER, cdom TEXT COLLATE SQLSERVER);
CREATE INDEX qzddi220_appl ON qzddi220 (appl);
CREATE TABLE qzlgy150 (
  rowkey INTEGER PRIMARY KEY,
  appl TEXT COLLATE SQLSERVER, cpac TEXT COLLATE SQLSERVER, cmod TEXT COLLATE SQLSERVER,
  flno TEXT COLLATE SQLSERVER, flna TEXT COLLATE SQLSERVER);
CREATE INDEX qzlgy150_table ON qzlgy150 (appl, cpac, cmod, flno);
