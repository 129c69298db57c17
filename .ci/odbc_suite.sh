#!/usr/bin/env bash
# Runs a test program against a MariaDB server over ODBC.
#
# Installs mariadb-server, odbc-mariadb and unixodbc from Debian's archive
# when they are missing, starts a private server on loopback (its own data
# directory, socket and port under a temporary directory), creates the
# database with the schema and a login with a password, writes a data source
# into an odbc.ini of its own (ODBCSYSINI / ODBCINI), runs the test program
# with MIGPROF_TEST_DSN, MIGPROF_TEST_UID and MIGPROF_TEST_PWD set, and stops
# the server by its process id, also when anything fails. Tests may stop and
# restart the server through MIGPROF_TEST_SERVER_CONTROL (see below). The system's own
# MariaDB service and ODBC configuration are not touched.
#
# Usage: bash .ci/odbc_suite.sh <test program> [test program arguments...]
# MIGPROF_ODBC_POOLING=1 turns on unixODBC's connection pooling (beside the
# component's own reuse of connections, which is always on).
# The database gets schema/mariadb.sql and schema/web_mariadb.sql (the
# tables of accounts and of the activity log, which every entry point
# writes). MIGPROF_ODBC_EXTRA_SCHEMA names further scripts (paths relative to
# the checkout, separated by blanks) run after them.
# Exit status: the test program's, or 1 when the server could not be set up
# or its log shows a connection the program left open at its end.
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <test program> [test program arguments...]" >&2
  exit 2
fi
tests=$(realpath "$1")
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The login differs from the one the tests give the embedded database
# (tester / secret), so a test that spells that one out fails here.
readonly database=migprof dsn=migprof_test login=migprof_ci password=ci-Pass-7

log() { echo "odbc_suite: $*" >&2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/migprof-odbc.XXXXXX")
server=""
# A stopped server that its parent has not reaped yet is gone all the same.
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
stop_server() {
  alive "$1" || return 0
  kill "$1"
  for _ in $(seq 120); do
    alive "$1" || return 0
    sleep 0.5
  done
  log "server $1 did not stop; killing it"
  kill -9 "$1"
}
cleanup() {
  local status=$?
  # A test may have stopped the first server and started another one.
  local restarted
  restarted=$(cat "$work/mariadb.pid" 2>/dev/null || true)
  [[ -n $restarted && $restarted != "$server" ]] && stop_server "$restarted"
  if [[ -n $server ]]; then
    stop_server "$server"
    wait "$server" 2>/dev/null || true
  fi
  if [[ $status -ne 0 && -f $work/mariadb.err ]]; then
    log "server log (last lines):"
    tail -n 20 "$work/mariadb.err" >&2
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# --- packages --------------------------------------------------------------
# shellcheck source=.ci/install_packages.sh
source "$root/.ci/install_packages.sh"
install_packages "$work/apt.log" mariadb-server odbc-mariadb unixodbc || exit 1
driver=$(dpkg -L odbc-mariadb | grep '/libmaodbc\.so$' | head -n 1)
[[ -n $driver ]] || { log "libmaodbc.so not found"; exit 1; }

# --- server ----------------------------------------------------------------
user=$(id -un)
socket=$work/mariadb.sock
# Ports are taken below the kernel's range for the local ends of outgoing
# connections: a port in that range may be the local end of some client's
# connection, which the probe below cannot see, and the server's bind then
# fails. A server that still finds its port taken is started again on
# another.
ephemeral_low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || echo 32768)
span=$((ephemeral_low > 21000 ? ephemeral_low - 20000 : 10000))
free_port() {
  local candidate
  for _ in $(seq 50); do
    candidate=$((20000 + RANDOM % span))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

mariadb-install-db --no-defaults --datadir="$work/data" --user="$user" \
  --auth-root-authentication-method=socket --skip-test-db >"$work/install.log" 2>&1 ||
  { tail -n 20 "$work/install.log" >&2; log "mariadb-install-db failed"; exit 1; }

# The server's character sets with the collation of the profile database
# (schema/mariadb_collation.xml) added to its Index.xml.
charsets=$work/charsets
cp -r /usr/share/mysql/charsets "$charsets"
{
  sed '/<\/charsets>/d' /usr/share/mysql/charsets/Index.xml
  sed -n '/<charset name="latin1">/,/<\/charset>/p' "$root/schema/mariadb_collation.xml"
  echo '</charsets>'
} >"$charsets/Index.xml"

admin=(mariadb --no-defaults --socket="$socket" --user="$user")
for attempt in 1 2 3; do
  port=$(free_port) || { log "no free port found"; exit 1; }
  server_line=(mariadbd --no-defaults --datadir="$work/data" --user="$user"
    --socket="$socket" --port="$port" --bind-address=127.0.0.1
    --pid-file="$work/mariadb.pid" --log-error="$work/mariadb.err"
    --character-sets-dir="$charsets" --character-set-server=utf8mb4
    --collation-server=utf8mb4_uca1400_as_ci
    --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2
    --max-connections=300)
  "${server_line[@]}" </dev/null >/dev/null 2>&1 &
  server=$!
  log "server $server on 127.0.0.1:$port"
  for _ in $(seq 120); do
    if mariadb-admin --no-defaults --socket="$socket" --user="$user" ping >/dev/null 2>&1; then
      break
    fi
    kill -0 "$server" 2>/dev/null || break
    sleep 0.5
  done
  if mariadb-admin --no-defaults --socket="$socket" --user="$user" ping >/dev/null 2>&1; then
    break
  fi
  if ! kill -0 "$server" 2>/dev/null && [[ $attempt -lt 3 ]] &&
    grep -q "Address already in use" "$work/mariadb.err"; then
    log "port $port was taken; starting again on another"
    : >"$work/mariadb.err"
    continue
  fi
  kill -0 "$server" 2>/dev/null || { log "server $server ended while starting"; exit 1; }
  log "server $server does not answer"
  exit 1
done

# --- database, login, schema, data source -----------------------------------
"${admin[@]}" <<SQL
CREATE DATABASE $database CHARACTER SET latin1 COLLATE latin1_cp1_ci_as;
CREATE USER '$login'@'localhost' IDENTIFIED BY '$password';
CREATE USER '$login'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL ON $database.* TO '$login'@'localhost', '$login'@'127.0.0.1';
SQL
"${admin[@]}" "$database" <"$root/schema/mariadb.sql"
"${admin[@]}" "$database" <"$root/schema/web_mariadb.sql"
for script in ${MIGPROF_ODBC_EXTRA_SCHEMA:-}; do
  "${admin[@]}" "$database" <"$root/$script"
done

# With MIGPROF_ODBC_POOLING=1 the driver manager keeps released connections
# for reuse (the component opens one per query).
pooling=No
[[ ${MIGPROF_ODBC_POOLING:-0} == 1 ]] && pooling=Yes
cat >"$work/odbcinst.ini" <<INI
[ODBC]
Pooling = $pooling

[MariaDB]
Description = MariaDB Connector/ODBC
Driver = $driver
Threading = 0
CPTimeout = 120
INI
cat >"$work/odbc.ini" <<INI
[$dsn]
Driver = MariaDB
SERVER = 127.0.0.1
PORT = $port
DATABASE = $database
INI

# --- stopping and restarting the server from a test --------------------------
# MIGPROF_TEST_SERVER_CONTROL names a script: "<script> term" or "<script> kill"
# stops the server with SIGTERM or SIGKILL and waits until it has gone;
# "<script> start" starts it again with the same line and waits until it
# answers. The server's pid file tells which process to stop.
control=$work/server_control.sh
{
  echo '#!/usr/bin/env bash'
  echo 'set -euo pipefail'
  printf 'pid_file=%q\nsocket=%q\nuser=%q\n' "$work/mariadb.pid" "$socket" "$user"
  printf 'server_line=(%s)\n' "$(printf '%q ' "${server_line[@]}")"
  cat <<'SCRIPT'
# A stopped server that its parent has not reaped yet is gone all the same.
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
answers() { mariadb-admin --no-defaults --socket="$socket" --user="$user" ping >/dev/null 2>&1; }
case ${1:-} in
  term | kill)
    pid=$(cat "$pid_file")
    kill -s "${1^^}" "$pid"
    for _ in $(seq 240); do alive "$pid" || exit 0; sleep 0.25; done
    echo "server $pid did not stop" >&2
    exit 1
    ;;
  start)
    "${server_line[@]}" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 240); do answers && exit 0; sleep 0.25; done
    echo "server did not start" >&2
    exit 1
    ;;
  *)
    echo "usage: $0 term|kill|start" >&2
    exit 2
    ;;
esac
SCRIPT
} >"$control"
chmod 755 "$control"

# --- tests -------------------------------------------------------------------
log "running $tests against $dsn"
status=0
ODBCSYSINI=$work ODBCINI=$work/odbc.ini \
  MIGPROF_TEST_DSN=$dsn MIGPROF_TEST_UID=$login MIGPROF_TEST_PWD=$password \
  MIGPROF_TEST_SERVER_CONTROL=$control \
  "$tests" "$@" || status=$?

# A connection a program leaves open when it ends shows in the server's log
# as "Aborted connection ... (Got an error reading communication packets)":
# every program must close the connections it keeps for reuse. The server
# notes a dropped connection a moment after the program has ended.
# unixODBC's own pool (MIGPROF_ODBC_POOLING=1) keeps its connections until the
# process ends, whatever the program does, so the check needs it off.
sleep 1
# MIGPROF_ODBC_KILLS_CLIENTS=1: the program kills clients on purpose (and
# checks the log itself for the time after).
if [[ $pooling == No && ${MIGPROF_ODBC_KILLS_CLIENTS:-0} != 1 ]] &&
  grep -q "Aborted connection" "$work/mariadb.err"; then
  log "the server's log holds aborted connections:"
  grep "Aborted connection" "$work/mariadb.err" | tail -n 5 >&2
  [[ $status -ne 0 ]] || status=1
fi
exit "$status"
