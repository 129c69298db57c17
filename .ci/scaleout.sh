#!/usr/bin/env bash
# Two `migprof serve` instances on loopback ports behind nginx (round robin),
# sharing the private MariaDB of .ci/odbc_suite.sh:
#   1. the browser flows through the proxy (tests/web/scaleout_flows.py):
#      requests alternate, a change and a copy made through one instance show
#      on the other, signing out on one ends the session on both, instance A
#      killed (SIGKILL) mid-session and the next requests go on on B;
#   2. A started again, a short load through nginx (8 clients, 10 s): fails on
#      any error or lost change;
#   3. both instances stopped with SIGTERM: each must exit 0, and (without
#      connection pooling) the database server logs no aborted connection.
# nginx runs from a configuration of its own (own conf, pid, logs and temp
# directories, a loopback port, `daemon off` in the background). Everything
# started here is stopped at the end, also on failure.
#
# Usage: bash .ci/scaleout.sh [--full-load] [--screenshots DIR]
#   --full-load  also 32 clients x 60 s against instance A alone and against
#                both, each behind nginx (the figures of docs/performance.md)
# Needs build/cli/migprof and build/bench/migprof_web_load (scripts/test.sh
# builds both) and nginx (scripts/install_deps.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [[ -z ${MIGPROF_TEST_DSN:-} ]]; then
  # Outside: run this very script under a private MariaDB server.
  started=$SECONDS
  status=0
  MIGPROF_ODBC_KILLS_CLIENTS=1 \
    bash "$root/.ci/odbc_suite.sh" /bin/bash "$root/.ci/scaleout.sh" "$@" || status=$?
  echo "scaleout: finished with status $status in $((SECONDS - started)) s" >&2
  exit "$status"
fi

migprof=$root/build/cli/migprof
load=$root/build/bench/migprof_web_load
full_load=0
screenshots=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --full-load) full_load=1 ;;
    --screenshots) screenshots=(--screenshots "$2"); shift ;;
    *) echo "scaleout: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
for program in "$migprof" "$load"; do
  [[ -x $program ]] || { echo "scaleout: $program is missing; build it first" >&2; exit 1; }
done
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[[ -x $nginx ]] || { echo "scaleout: nginx is missing (scripts/install_deps.sh)" >&2; exit 1; }

log() { echo "scaleout: $*" >&2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/migprof-scaleout.XXXXXX")
declare -A pids=()
cleanup() {
  local status=$?
  for name in "${!pids[@]}"; do
    local pid=${pids[$name]}
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null || true
    fi
  done
  if [[ $status -ne 0 ]]; then
    for file in "$work"/*.log "$work"/nginx/error.log; do
      [[ -s $file ]] || continue
      log "--- $file (last lines)"
      tail -n 15 "$file" >&2
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# A port nobody listens on and not handed out before (in $taken), below
# Linux's range for outgoing connections (32768 and up), which the database
# connections use by the thousand.
taken=" "
free_port() {
  local candidate
  for _ in $(seq 50); do
    candidate=$((20000 + RANDOM % 12000))
    [[ $taken == *" $candidate "* ]] && continue
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
      echo "$candidate"
      return
    fi
  done
  log "no free port found"
  return 1
}

# Waits until url answers 200 (the instance is up and its database ready).
wait_ready() {
  local url=$1 pid=$2
  for _ in $(seq 150); do
    kill -0 "$pid" 2>/dev/null || { log "process $pid ended while starting"; return 1; }
    python3 -c "import urllib.request,sys; urllib.request.urlopen(sys.argv[1], timeout=2)" \
      "$url" 2>/dev/null && return 0
    sleep 0.2
  done
  log "$url does not answer"
  return 1
}

export MIGPROF_DB_USER=$MIGPROF_TEST_UID MIGPROF_DB_PASSWORD=$MIGPROF_TEST_PWD
export MIGPROF_LOAD_PASSWORD=load-Pass-9

start_instance() {
  local name=$1 port=$2
  "$migprof" serve --database "$MIGPROF_TEST_DSN" --listen "127.0.0.1:$port" \
    --trusted-proxy 127.0.0.1 --access-log >>"$work/$name.log" 2>&1 &
  pids[$name]=$!
  wait_ready "http://127.0.0.1:$port/readyz" "${pids[$name]}"
  log "instance $name (process ${pids[$name]}) on 127.0.0.1:$port"
}

# Stops an instance with SIGTERM; it must end by itself, with status 0.
stop_instance() {
  local name=$1 pid=${pids[$1]} status=0
  kill -TERM "$pid"
  wait "$pid" || status=$?
  unset "pids[$name]"
  if [[ $status -ne 0 ]]; then
    log "instance $name ended with status $status after SIGTERM"
    return 1
  fi
}

run_load() {
  local label=$1 url=$2 clients=$3 seconds=$4
  log "load: $label, $clients clients for $seconds s"
  "$load" --url "$url" --user load --clients "$clients" --seconds "$seconds" \
    --first-profile 30000 | tee -a "$work/load.txt"
}

# --- database, instances, proxy ----------------------------------------------
/usr/bin/python3 "$root/tests/web/scaleout_flows.py" prepare "$migprof" "$MIGPROF_LOAD_PASSWORD"
for name in a b proxy one; do
  port=$(free_port)
  taken+="$port "
  printf -v "port_$name" '%s' "$port"
done
start_instance a "$port_a"
start_instance b "$port_b"

mkdir -p "$work/nginx/temp"
if [[ $(id -u) -eq 0 ]]; then
  # Started as root, nginx's workers take an unprivileged user; they need to
  # reach their temp directories.
  nginx_user="user nobody nogroup;"
  chmod 711 "$work"
  chown nobody:nogroup "$work/nginx/temp"
else
  nginx_user=""
fi
cat >"$work/nginx/nginx.conf" <<CONF
$nginx_user
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 512; }
http {
  log_format upstream '\$remote_addr "\$request" \$status \$upstream_addr';
  access_log $work/nginx/access.log upstream;
  client_body_temp_path $work/nginx/temp/body;
  proxy_temp_path $work/nginx/temp/proxy;
  fastcgi_temp_path $work/nginx/temp/fastcgi;
  uwsgi_temp_path $work/nginx/temp/uwsgi;
  scgi_temp_path $work/nginx/temp/scgi;
  upstream migprof {
    server 127.0.0.1:$port_a max_fails=1 fail_timeout=10s;
    server 127.0.0.1:$port_b max_fails=1 fail_timeout=10s;
  }
  # A alone behind the same proxy, for the load's comparison.
  upstream migprof_one {
    server 127.0.0.1:$port_a;
  }
  server {
    listen 127.0.0.1:$port_one;
    location / {
      proxy_pass http://migprof_one;
      proxy_set_header Host \$host;
      proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
      proxy_set_header X-Forwarded-Proto \$scheme;
    }
  }
  server {
    listen 127.0.0.1:$port_proxy;
    location / {
      proxy_pass http://migprof;
      proxy_set_header Host \$host;
      proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
      proxy_set_header X-Forwarded-Proto \$scheme;
      proxy_next_upstream error timeout;
      proxy_connect_timeout 2s;
      proxy_read_timeout 60s;
      add_header X-Served-By \$upstream_addr always;
    }
  }
}
CONF
"$nginx" -t -q -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log"
"$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
pids[nginx]=$!
proxy=http://127.0.0.1:$port_proxy
wait_ready "$proxy/readyz" "${pids[nginx]}"
log "nginx (process ${pids[nginx]}) on 127.0.0.1:$port_proxy"

# --- browser flows through the proxy -------------------------------------------
/usr/bin/python3 "$root/tests/web/scaleout_flows.py" flows "$migprof" "$proxy" \
  "http://127.0.0.1:$port_a" "http://127.0.0.1:$port_b" "${pids[a]}" "${screenshots[@]}"
wait "${pids[a]}" 2>/dev/null || true
unset "pids[a]"
# Both instances served the flows, each with the client address nginx passed on.
for name in a b; do
  grep -q '^127\.0\.0\.1 "GET /profiles' "$work/$name.log" ||
    { log "instance $name logged no request"; exit 1; }
done

# --- load ----------------------------------------------------------------------
# The database server's log (odbc_suite.sh keeps it beside its odbc.ini): from
# here on, with A's connections killed behind us, nothing may end aborted.
server_log=$(dirname "$ODBCINI")/mariadb.err
logged=$(wc -l <"$server_log" 2>/dev/null || echo 0)
start_instance a "$port_a"
# nginx takes A back once its fail_timeout has passed.
sleep 10
before=$(wc -l <"$work/nginx/access.log")
run_load "two instances behind nginx" "$proxy" 8 10
served=$(tail -n +$((before + 1)) "$work/nginx/access.log" |
  awk '$NF ~ /^127\.0\.0\.1:/ {print $NF}' | sort -u | wc -l)
[[ $served -eq 2 ]] || { log "the load did not reach both instances"; exit 1; }
if [[ $full_load -eq 1 ]]; then
  run_load "one instance behind nginx" "http://127.0.0.1:$port_one" 32 60
  run_load "two instances behind nginx" "$proxy" 32 60
fi

# --- clean stop -----------------------------------------------------------------
stop_instance a
stop_instance b
# Without the driver manager's pooling every connection is closed by then.
if [[ -f $server_log && ${MIGPROF_ODBC_POOLING:-0} != 1 ]]; then
  sleep 1
  if tail -n +$((logged + 1)) "$server_log" | grep "Aborted connection"; then
    log "the database server logged aborted connections"
    exit 1
  fi
fi
log "both instances stopped cleanly"
