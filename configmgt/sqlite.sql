-- Revision control of library functions and mapping rules, embedded (SQLite)
-- form. Created by the configuration-management component when missing.

-- Open check-outs: who holds which function or table rule, since when, and
-- the rows as they were when it was checked out (for undoing the check-out).
-- One check-out per item: the unique index settles two users checking out
-- at the same moment.
CREATE TABLE qzcfg100 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, kind TEXT COLLATE SQLSERVER, itnm TEXT COLLATE SQLSERVER,
  usrn TEXT COLLATE SQLSERVER, odat TEXT, snap TEXT);
CREATE UNIQUE INDEX qzcfg100_key ON qzcfg100 (mprf, vers, rele, cust, kind, itnm);

-- Revisions: numbered per function or table rule, with who, when, what was
-- done and the committed rows.
CREATE TABLE qzcfg110 (
  rowkey INTEGER PRIMARY KEY,
  mprf INTEGER, vers TEXT COLLATE SQLSERVER, rele TEXT COLLATE SQLSERVER,
  cust TEXT COLLATE SQLSERVER, kind TEXT COLLATE SQLSERVER, itnm TEXT COLLATE SQLSERVER,
  revn INTEGER, usrn TEXT COLLATE SQLSERVER, rdat TEXT, actn TEXT COLLATE SQLSERVER,
  comt TEXT COLLATE SQLSERVER, snap TEXT);
CREATE UNIQUE INDEX qzcfg110_key ON qzcfg110 (mprf, vers, rele, cust, kind, itnm, revn);
