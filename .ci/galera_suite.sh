#!/usr/bin/env bash
# Runs a test program against a three-node MariaDB Galera cluster on
# loopback, over ODBC, then compares every table's checksum on all nodes.
#
# Installs mariadb-server, galera-4, rsync, odbc-mariadb and unixodbc from
# Debian's archive when missing, starts three private servers (their own data
# directories, sockets and ports under a temporary directory; node 1 starts
# the cluster, nodes 2 and 3 join it by rsync state transfer), creates the
# database with the schema (and the front end's tables) and a login through
# node 1, writes one data source
# per node into an odbc.ini of its own, and runs the test program with
#   MIGPROF_TEST_DSN         node 1's data source (rows set up and read there),
#   MIGPROF_TEST_NODE_DSNS   the three data sources, for processes that race
#                            through different nodes,
#   MIGPROF_TEST_GALERA_CONTROL  a script: "<script> kill N" stops node N
#                            with SIGKILL, "<script> start N" starts it again
#                            and waits until it is synced with the others.
# The nodes run with wsrep_mode=REQUIRED_PRIMARY_KEY (every table must have a
# primary key) and wsrep_sync_wait=1 (a read through one node sees what was
# committed through another before it). All servers are stopped by their
# process ids at the end, also when anything fails; the system's own MariaDB
# service and ODBC configuration are not touched.
#
# Usage: bash .ci/galera_suite.sh <test program> [test program arguments...]
# Exit status: the test program's, or 1 when the cluster could not be set up
# or the nodes' table checksums differ.
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <test program> [test program arguments...]" >&2
  exit 2
fi
tests=$(realpath "$1")
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly database=migprof login=migprof_ci password=ci-Pass-7 nodes=3

log() { echo "galera_suite: $*" >&2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/migprof-galera.XXXXXX")
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
stop_node() {
  local pid
  pid=$(cat "$work/node$1/mariadb.pid" 2>/dev/null || true)
  [[ -n $pid ]] && alive "$pid" || return 0
  kill "$pid"
  for _ in $(seq 120); do
    alive "$pid" || return 0
    sleep 0.5
  done
  kill -9 "$pid"
}
cleanup() {
  local status=$?
  for n in $(seq "$nodes" -1 1); do stop_node "$n"; done
  if [[ $status -ne 0 ]]; then
    for n in $(seq "$nodes"); do
      [[ -f $work/node$n/mariadb.err ]] || continue
      log "node $n log (last lines):"
      tail -n 15 "$work/node$n/mariadb.err" >&2
    done
  fi
  if [[ -n ${MIGPROF_GALERA_KEEP_LOGS:-} ]]; then
    mkdir -p "$MIGPROF_GALERA_KEEP_LOGS"
    for n in $(seq "$nodes"); do cp "$work/node$n/mariadb.err" "$MIGPROF_GALERA_KEEP_LOGS/node$n.err" 2>/dev/null || true; done
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# --- packages --------------------------------------------------------------
# shellcheck source=.ci/install_packages.sh
source "$root/.ci/install_packages.sh"
install_packages "$work/apt.log" mariadb-server galera-4 rsync odbc-mariadb unixodbc || exit 1
driver=$(dpkg -L odbc-mariadb | grep '/libmaodbc\.so$' | head -n 1)
provider=$(dpkg -L galera-4 | grep '/libgalera_smm\.so$' | head -n 1)
[[ -n $driver && -n $provider ]] || { log "libmaodbc.so or libgalera_smm.so not found"; exit 1; }

# --- ports -----------------------------------------------------------------
# Each node needs four: client, group communication, incremental and full
# state transfer. They are taken below the kernel's range for outgoing
# connections' local ports (see .ci/odbc_suite.sh).
ephemeral_low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || echo 32768)
span=$((ephemeral_low > 21000 ? ephemeral_low - 20000 : 10000))
taken=" "
free_port() {
  local candidate
  for _ in $(seq 100); do
    candidate=$((20000 + RANDOM % span))
    [[ $taken == *" $candidate "* ]] && continue
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
      taken+="$candidate "
      echo "$candidate"
      return 0
    fi
  done
  return 1
}
declare -a port gcomm ist sst
for n in $(seq "$nodes"); do
  port[n]=$(free_port) && gcomm[n]=$(free_port) && ist[n]=$(free_port) && sst[n]=$(free_port) ||
    { log "no free port found"; exit 1; }
done
members=""
for n in $(seq "$nodes"); do members+="${members:+,}127.0.0.1:${gcomm[n]}"; done

# --- nodes -----------------------------------------------------------------
# The joiner's rsync daemon, started by the state transfer script, runs as
# the server's user; started by root it would drop to "nobody", who may not
# write the data directory. So under root the nodes run as Debian's mysql
# user, as the packaged service does, and own their directories.
user=$(id -un)
admin_user=$user
if [[ $(id -u) -eq 0 ]] && id mysql >/dev/null 2>&1; then
  user=mysql
  chmod 755 "$work"
fi
write_node_line() {
  local n=$1 dir=$work/node$1
  {
    printf 'dir=%q\n' "$dir"
    printf 'line=(%s)\n' "$(printf '%q ' mariadbd --no-defaults --datadir="$dir/data" \
      --user="$user" --socket="$dir/mariadb.sock" --port="${port[n]}" \
      --bind-address=127.0.0.1 --pid-file="$dir/mariadb.pid" --log-error="$dir/mariadb.err" \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_uca1400_as_ci \
      --innodb-buffer-pool-size=48M --innodb-flush-log-at-trx-commit=2 --max-connections=300 \
      --binlog-format=ROW --innodb-autoinc-lock-mode=2 \
      --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name=migprof_ci \
      --wsrep-cluster-address="gcomm://$members" --wsrep-node-name="node$n" \
      --wsrep-node-address="127.0.0.1:${gcomm[n]}" \
      --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:${gcomm[n]};ist.recv_addr=127.0.0.1:${ist[n]};evs.inactive_timeout=PT7S" \
      --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:${sst[n]}" \
      --wsrep-mode=REQUIRED_PRIMARY_KEY --wsrep-sync-wait=1)"
  } >"$dir/node.sh"
}
for n in $(seq "$nodes"); do
  mkdir -p "$work/node$n"
  write_node_line "$n"
  chown "$user" "$work/node$n"
done

# The control script: start a node (node 1 alone starts a new cluster when
# "bootstrap" is given) and wait until it is synced; kill a node.
control=$work/galera_control.sh
cat >"$control" <<SCRIPT
#!/usr/bin/env bash
set -euo pipefail
work=$(printf '%q' "$work")
user=$(printf '%q' "$admin_user")
SCRIPT
cat >>"$control" <<'SCRIPT'
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
state() {
  mariadb --no-defaults --socket="$dir/mariadb.sock" --user="$user" -N -B \
    -e "SHOW STATUS LIKE 'wsrep_local_state_comment'" 2>/dev/null | cut -f2
}
command=${1:-}
node=${2:-}
[[ -n $node && -f $work/node$node/node.sh ]] || { echo "usage: $0 start|bootstrap|kill N" >&2; exit 2; }
source "$work/node$node/node.sh"
case $command in
  kill)
    pid=$(cat "$dir/mariadb.pid")
    kill -KILL "$pid"
    for _ in $(seq 240); do alive "$pid" || exit 0; sleep 0.25; done
    echo "node $node did not stop" >&2
    exit 1
    ;;
  start | bootstrap)
    extra=()
    [[ $command == bootstrap ]] && extra=(--wsrep-new-cluster)
    "${line[@]}" "${extra[@]}" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 480); do
      [[ $(state) == Synced ]] && exit 0
      sleep 0.25
    done
    echo "node $node did not become synced" >&2
    exit 1
    ;;
  *)
    echo "usage: $0 start|bootstrap|kill N" >&2
    exit 2
    ;;
esac
SCRIPT
chmod 755 "$control"

for n in $(seq "$nodes"); do
  mariadb-install-db --no-defaults --datadir="$work/node$n/data" --user="$user" \
    --auth-root-authentication-method=socket --skip-test-db >"$work/node$n/install.log" 2>&1 ||
    { tail -n 20 "$work/node$n/install.log" >&2; log "mariadb-install-db failed"; exit 1; }
done
log "starting node 1 (new cluster) on 127.0.0.1:${port[1]}"
"$control" bootstrap 1 || { log "node 1 did not start"; exit 1; }

admin=(mariadb --no-defaults --socket="$work/node1/mariadb.sock" --user="$admin_user")
"${admin[@]}" <<SQL
CREATE DATABASE $database CHARACTER SET utf8mb4 COLLATE utf8mb4_uca1400_as_ci;
CREATE USER '$login'@'localhost' IDENTIFIED BY '$password';
CREATE USER '$login'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL ON $database.* TO '$login'@'localhost', '$login'@'127.0.0.1';
SQL
"${admin[@]}" "$database" <"$root/schema/mariadb.sql"
# The tool's sessions keep their sign-ins in the front end's tables.
"${admin[@]}" "$database" <"$root/schema/web_mariadb.sql"
for n in $(seq 2 "$nodes"); do
  log "starting node $n on 127.0.0.1:${port[n]} (state transfer by rsync)"
  "$control" start "$n" || { log "node $n did not join"; exit 1; }
done

# --- data sources ------------------------------------------------------------
cat >"$work/odbcinst.ini" <<INI
[ODBC]
Pooling = No

[MariaDB]
Description = MariaDB Connector/ODBC
Driver = $driver
Threading = 0
INI
dsns=""
: >"$work/odbc.ini"
for n in $(seq "$nodes"); do
  cat >>"$work/odbc.ini" <<INI
[migprof_node$n]
Driver = MariaDB
SERVER = 127.0.0.1
PORT = ${port[n]}
DATABASE = $database

INI
  dsns+="${dsns:+ }migprof_node$n"
done

# --- tests -------------------------------------------------------------------
log "running $tests against nodes $dsns"
status=0
ODBCSYSINI=$work ODBCINI=$work/odbc.ini \
  MIGPROF_TEST_DSN=migprof_node1 MIGPROF_TEST_NODE_DSNS=$dsns \
  MIGPROF_TEST_UID=$login MIGPROF_TEST_PWD=$password \
  MIGPROF_TEST_GALERA_CONTROL=$control \
  "$tests" "$@" || status=$?

# --- every node holds the same rows ---------------------------------------------
tables=$(grep -ohE '^CREATE TABLE \w+' "$root/schema/mariadb.sql" | awk '{print $3}' | paste -sd,)
reference=""
for n in $(seq "$nodes"); do
  sums=$(mariadb --no-defaults --socket="$work/node$n/mariadb.sock" --user="$admin_user" -N -B \
    -e "SET SESSION wsrep_sync_wait = 1; CHECKSUM TABLE $tables EXTENDED" "$database")
  if [[ -z $reference ]]; then
    reference=$sums
  elif [[ $sums != "$reference" ]]; then
    log "node $n's table checksums differ from node 1's:"
    diff <(echo "$reference") <(echo "$sums") >&2 || true
    [[ $status -ne 0 ]] || status=1
  fi
done
[[ $status -ne 0 ]] || log "the checksums of all $(echo "$tables" | tr , '\n' | wc -l) tables agree on all $nodes nodes"
exit "$status"
