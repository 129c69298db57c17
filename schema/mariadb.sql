-- Migration-profile database, MariaDB form (10.10 or later), for a database
-- created with
--   CREATE DATABASE <name> CHARACTER SET latin1 COLLATE latin1_cp1_ci_as;
-- on a server that has the collation of schema/mariadb_collation.xml, so
-- that text is stored in code page 1252 and compares as under SQL Server's
-- SQL_Latin1_General_CP1_CI_AS, character for character: letter case and
-- trailing blanks ignored, everything else significant. (On a database of
-- another collation, such as utf8mb4_uca1400_as_ci, the component works but
-- finds some texts equal that SQL Server keeps apart.) Binary texts are
-- varbinary. The two functions at the end refuse, as SQL Server does, a text
-- written into an int column that is no whole number and a text written
-- into a varbinary column; the component's translation calls them. Run the
-- script with the mariadb client (it changes the delimiter for them).
-- Two keys only: one row per profile number in qzmap100 and
-- one per profile number and level in qzmap101, so that two callers creating
-- the same profile at the same moment cannot both store it. Every other
-- table may hold duplicate rows. Indexes use 64-character prefixes of
-- text columns to stay within InnoDB's 3072-byte key limit, except those
-- that let where used and coverage read the index alone (the profiles that
-- name a table, a dictionary table's fields): they hold whole values where
-- a character takes one byte, as in latin1 (migprof_create_index below).
-- Every table's primary key is the surrogate rowkey, an INVISIBLE
-- AUTO_INCREMENT column that "select *" does not return: InnoDB keeps the
-- rows in the order they were added, as without a key, and a Galera cluster
-- (also with wsrep_mode=REQUIRED_PRIMARY_KEY) replicates changes by it.

-- CREATE INDEX with the whole columns when the database's character set
-- takes one byte a character (the key then stays within InnoDB's 3072
-- bytes), else with the prefixed ones. Only an index of whole values can
-- answer a query from the index alone: a prefix has to be checked against
-- the row.
DELIMITER //
CREATE PROCEDURE migprof_create_index(index_name VARCHAR(64), table_name VARCHAR(64),
                                      whole TEXT, prefixed TEXT)
BEGIN
  DECLARE width INT;
  SELECT maxlen INTO width FROM information_schema.character_sets
   WHERE character_set_name = @@character_set_database;
  SET @migprof_ddl = CONCAT('CREATE INDEX ', index_name, ' ON ', table_name, ' (',
                            IF(width = 1, whole, prefixed), ')');
  PREPARE statement FROM @migprof_ddl;
  EXECUTE statement;
  DEALLOCATE PREPARE statement;
END//
DELIMITER ;

-- Migration profiles.
CREATE TABLE qzmap100 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, sapp varchar(255), tapp varchar(255),
  vers varchar(255), rele varchar(255), cust varchar(255),
  verf varchar(255), relf varchar(255), cusf varchar(255),
  dsca varchar(255), scme varchar(255), deph int, ownr varbinary(255),
  apln varchar(255));
CREATE UNIQUE INDEX qzmap100_mprf ON qzmap100 (mprf);
CREATE INDEX qzmap100_vrc ON qzmap100 (vers(64), rele(64), cust(64));
CREATE INDEX qzmap100_apps ON qzmap100 (sapp(64), tapp(64));

-- Derivation levels of a profile.
CREATE TABLE qzmap101 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, levl int, vers varchar(255), rele varchar(255),
  cust varchar(255), pprf int);
CREATE UNIQUE INDEX qzmap101_mprf ON qzmap101 (mprf, levl);
CREATE INDEX qzmap101_vrc ON qzmap101 (vers(64), rele(64), cust(64));
-- The profiles derived from a profile, at every depth, with their levels.
CREATE INDEX qzmap101_parent ON qzmap101 (pprf, levl, mprf);

-- Development VRC of a profile under revision control.
CREATE TABLE qzmap105 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), dver varchar(255), drel varchar(255),
  dcus varchar(255));
CREATE INDEX qzmap105_mprf ON qzmap105 (mprf);

-- Rule items of a target table (deleted with the rules, never written).
CREATE TABLE qzmap110 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap110_key ON qzmap110 (mprf, vers(64), rele(64), cust(64));
-- Each rule table's table code columns are indexed too: where used finds
-- the rules that name a table without reading every rule.
CALL migprof_create_index('qzmap110_table', 'qzmap110',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzmap125 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap125_key ON qzmap125 (mprf, vers(64), rele(64), cust(64));
CALL migprof_create_index('qzmap125_table', 'qzmap125',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzmap135 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap135_key ON qzmap135 (mprf, vers(64), rele(64), cust(64));
CALL migprof_create_index('qzmap135_table', 'qzmap135',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzmap145 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap145_key ON qzmap145 (mprf, vers(64), rele(64), cust(64));
CALL migprof_create_index('qzmap145_table', 'qzmap145',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzmap165 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255));
CREATE INDEX qzmap165_key ON qzmap165 (mprf, vers(64), rele(64), cust(64));
CALL migprof_create_index('qzmap165_table', 'qzmap165',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');

-- The mapping rule of a target table.
CREATE TABLE qzmap120 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), prtx varchar(255), logn varchar(255),
  stat varchar(255), lusr varchar(255), comt varchar(255),
  vari varchar(255), stbl varchar(255), isms varchar(255),
  txtn varchar(255), ldat datetime);
CREATE INDEX qzmap120_key ON qzmap120 (mprf, vers(64), rele(64), cust(64), tcpac(64), tcmod(64), tflno(64));
CALL migprof_create_index('qzmap120_table', 'qzmap120',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
-- No index for the checked-out rules and functions (stat = 'C'): MariaDB has
-- no partial index, and a whole index on stat could change the plan, and so
-- the row order, of members' statements that name stat.

-- Further source tables of a target table.
CREATE TABLE qzmap130 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), scpac varchar(255), scmod varchar(255),
  sflno varchar(255), icod varchar(255), qury varchar(4000),
  txtn varchar(255));
CREATE INDEX qzmap130_key ON qzmap130 (mprf, vers(64), rele(64), cust(64), tcpac(64), tcmod(64), tflno(64));
CALL migprof_create_index('qzmap130_table', 'qzmap130',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');
CALL migprof_create_index('qzmap130_source', 'qzmap130',
  'scpac, scmod, sflno, mprf, vers, rele, cust',
  'scpac(64), scmod(64), sflno(64), mprf, vers(64), rele(64), cust(64)');

-- The rule of one field element of a target table.
CREATE TABLE qzmap140 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), fdnm varchar(255), dnum int,
  mrul varchar(255), type varchar(255), stat varchar(255),
  txtn varchar(255));
CREATE INDEX qzmap140_key ON qzmap140 (mprf, vers(64), rele(64), cust(64), tcpac(64), tcmod(64), tflno(64), fdnm(64));
CALL migprof_create_index('qzmap140_table', 'qzmap140',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust, fdnm',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64), fdnm(64)');

-- Functions used by the rule of a target table.
CREATE TABLE qzmap160 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), tcpac varchar(255), tcmod varchar(255),
  tflno varchar(255), func varchar(255));
CREATE INDEX qzmap160_key ON qzmap160 (mprf, vers(64), rele(64), cust(64), tcpac(64), tcmod(64), tflno(64));
CALL migprof_create_index('qzmap160_table', 'qzmap160',
  'tcpac, tcmod, tflno, mprf, vers, rele, cust',
  'tcpac(64), tcmod(64), tflno(64), mprf, vers(64), rele(64), cust(64)');

-- Links from a base table to a child table, and their rule items.
CREATE TABLE qzmap170 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), bpac varchar(255), bmod varchar(255),
  bflno varchar(255), cpac varchar(255), cmod varchar(255),
  cflno varchar(255));
CREATE INDEX qzmap170_key ON qzmap170 (mprf, vers(64), rele(64), cust(64), bpac(64), bmod(64), bflno(64));
CALL migprof_create_index('qzmap170_base', 'qzmap170',
  'bpac, bmod, bflno, mprf, vers, rele, cust',
  'bpac(64), bmod(64), bflno(64), mprf, vers(64), rele(64), cust(64)');
CALL migprof_create_index('qzmap170_child', 'qzmap170',
  'cpac, cmod, cflno, mprf, vers, rele, cust',
  'cpac(64), cmod(64), cflno(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzmap175 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), bpac varchar(255), bmod varchar(255),
  bflno varchar(255));
CREATE INDEX qzmap175_key ON qzmap175 (mprf, vers(64), rele(64), cust(64));
CALL migprof_create_index('qzmap175_base', 'qzmap175',
  'bpac, bmod, bflno, mprf, vers, rele, cust',
  'bpac(64), bmod(64), bflno(64), mprf, vers(64), rele(64), cust(64)');

-- Users: settings, and links to profiles (user name as binary text).
CREATE TABLE qzusr100 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  usrn varchar(255), defa int);
CREATE INDEX qzusr100_defa ON qzusr100 (defa);
CREATE TABLE qzusr110 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, usrn varbinary(255));
CREATE INDEX qzusr110_mprf ON qzusr110 (mprf);
CREATE INDEX qzusr110_usrn ON qzusr110 (usrn(64));

-- Function library of a profile, and entries belonging to its functions.
CREATE TABLE qzlib100 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), fnam varchar(255), dsca varchar(255),
  lurn varchar(255), ldat datetime, fdef mediumtext,
  comt varchar(255), stat varchar(255), curn varchar(255));
CREATE INDEX qzlib100_key ON qzlib100 (mprf, vers(64), rele(64), cust(64), fnam(64));
-- Where a function is held, in the order of profile and VRC. The status is
-- no part of it: rows of one function in one VRC come in the order they
-- were added, as through qzlib100_key, and the members read the first.
CALL migprof_create_index('qzlib100_name', 'qzlib100',
  'fnam, mprf, vers, rele, cust',
  'fnam(64), mprf, vers(64), rele(64), cust(64)');
CREATE TABLE qzlib105 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  mprf int, vers varchar(255), rele varchar(255),
  cust varchar(255), fnam varchar(255));
CREATE INDEX qzlib105_key ON qzlib105 (mprf, vers(64), rele(64), cust(64), fnam(64));

-- Data dictionary and legacy field lists (read only).
CREATE TABLE qzddi100 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  appl varchar(255), extn varchar(255));
CREATE INDEX qzddi100_appl ON qzddi100 (appl(64));
CREATE TABLE qzddi150 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  appl varchar(255), cpac varchar(255), cmod varchar(255),
  flno varchar(255), fdnm varchar(255), dept int,
  cdom varchar(255));
-- The fields of a table in the order they were added (rowkey), as the copy
-- reads them, each with its name and depth, so that the coverage of a whole
-- dictionary is counted from the index alone.
CALL migprof_create_index('qzddi150_table', 'qzddi150',
  'appl, cpac, cmod, flno, rowkey, fdnm, dept',
  'appl(64), cpac(64), cmod(64), flno(64)');
CREATE TABLE qzddi220 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  appl varchar(255), cpac varchar(255), cdom varchar(255));
CREATE INDEX qzddi220_appl ON qzddi220 (appl(64));
CREATE TABLE qzlgy150 (
  rowkey bigint NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY,
  appl varchar(255), cpac varchar(255), cmod varchar(255),
  flno varchar(255), flna varchar(255));
CREATE INDEX qzlgy150_table ON qzlgy150 (appl(64), cpac(64), cmod(64), flno(64));

-- The change lock of a Galera cluster (component/odbc/server_lock.h): one
-- row, whose holder renews its heartbeat while a changing member runs.
CREATE TABLE qzlck100 (lckn varchar(64) NOT NULL PRIMARY KEY, hold varchar(64),
  beat bigint NOT NULL DEFAULT 0);

-- SQL Server's conversion of a text written into an int column: a whole
-- number with blanks around it, or blanks only (0); anything else refused
-- with SQL Server's message 245 (248 for a number too large).
DELIMITER //
CREATE FUNCTION mssql_int_of_text(v LONGTEXT) RETURNS INT DETERMINISTIC NO SQL
BEGIN
  DECLARE message TEXT;
  IF v IS NULL THEN RETURN NULL; END IF;
  -- REGEXP's $ also matches before a final line break.
  IF LOCATE(CHAR(10), v) = 0 AND v REGEXP '^ *$' THEN RETURN 0; END IF;
  IF LOCATE(CHAR(10), v) > 0 OR NOT v REGEXP '^ *[-+]?[0-9]+ *$' THEN
    SET message = CONCAT('Conversion failed when converting the varchar value ''', v,
                         ''' to data type int.');
    SIGNAL SQLSTATE '22018' SET MYSQL_ERRNO = 245, MESSAGE_TEXT = message;
  END IF;
  IF CAST(TRIM(v) AS DECIMAL(65,0)) NOT BETWEEN -2147483648 AND 2147483647 THEN
    SET message = CONCAT('The conversion of the varchar value ''', v,
                         ''' overflowed an int column.');
    SIGNAL SQLSTATE '22003' SET MYSQL_ERRNO = 248, MESSAGE_TEXT = message;
  END IF;
  RETURN CAST(TRIM(v) AS SIGNED);
END//

-- A text written into a varbinary column: SQL Server's message 257.
CREATE FUNCTION mssql_varbinary_of_text(v LONGTEXT) RETURNS VARBINARY(1) DETERMINISTIC NO SQL
BEGIN
  SIGNAL SQLSTATE '22018' SET MYSQL_ERRNO = 257, MESSAGE_TEXT =
    'Implicit conversion from data type varchar to varbinary is not allowed. Use the CONVERT function to run this query.';
  RETURN NULL;
END//
DELIMITER ;
