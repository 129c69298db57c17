#!/usr/bin/env bash
# Runs each benchmark program of build/bench once, briefly and on its small
# sizes, the ODBC copy against a private MariaDB server (.ci/odbc_suite.sh).
# The figures are not judged here (docs/performance.md has the measured
# ones); a benchmark that reports an error (its setup or its work failed, e.g.
# after a change of the front end's forms) fails the run. Google Benchmark
# itself exits 0 in that case, so its output is searched.
#
# Usage: bash .ci/bench_smoke.sh   (after scripts/test.sh built build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench=$root/build/bench
failed=()

# run NAME COMMAND...: runs the command, shows its benchmark lines, and notes
# NAME as failed when it exits non-zero, reports an error or runs nothing.
run() {
  local name=$1 out status=0
  shift
  out=$("$@" 2>&1) || status=$?
  grep -E '^BM_|ERROR OCCURRED' <<<"$out" || true
  if [[ $status -ne 0 ]] || grep -q 'ERROR OCCURRED' <<<"$out" || ! grep -q '^BM_' <<<"$out"; then
    [[ $status -ne 0 ]] && tail -20 <<<"$out" >&2
    failed+=("$name")
  fi
}

quick=(--benchmark_min_time=0.01)
run connection "$bench/migprof_bench_connection" "${quick[@]}"
run maprules "$bench/migprof_bench_maprules" '--benchmark_filter=/(100|1000)/|OdbcCallerText' "${quick[@]}"
run insight "$bench/migprof_bench_insight" "${quick[@]}"
run web "$bench/migprof_bench_web" "${quick[@]}"
# Every page, and the previews right after a commit; not the previews 2 s
# after one, which wait 40 s in all and run the same code.
run web_estate env MIGPROF_BENCH_PROFILES=100 "$bench/migprof_bench_web_estate" \
  '--benchmark_filter=BM_Page/[a-z_]+/'
run odbc_copy bash "$root/.ci/odbc_suite.sh" "$bench/migprof_bench_maprules" \
  --benchmark_filter=CopyToCurrentVRC_Odbc "${quick[@]}"

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "bench_smoke: failed: ${failed[*]}" >&2
  exit 1
fi
echo "bench_smoke: every benchmark ran"
