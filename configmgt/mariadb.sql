-- Revision control of library functions and mapping rules, MariaDB form.
-- Created by the configuration-management component when missing.

-- Open check-outs: who holds which function or table rule, since when, and
-- the rows as they were when it was checked out (for undoing the check-out).
-- One check-out per item: the unique index settles two users checking out
-- at the same moment.
CREATE TABLE qzcfg100 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), kind varchar(1), itnm varchar(255),
  usrn varchar(255), odat datetime, snap mediumtext);
CREATE UNIQUE INDEX qzcfg100_key ON qzcfg100 (mprf, vers(64), rele(64), cust(64), kind, itnm(64));

-- Revisions: numbered per function or table rule, with who, when, what was
-- done and the committed rows.
CREATE TABLE qzcfg110 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), kind varchar(1), itnm varchar(255),
  revn int, usrn varchar(255), rdat datetime, actn varchar(255),
  comt varchar(255), snap mediumtext);
CREATE UNIQUE INDEX qzcfg110_key ON qzcfg110 (mprf, vers(64), rele(64), cust(64), kind, itnm(64), revn);
