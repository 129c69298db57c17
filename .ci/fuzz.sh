#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang++ in build-fuzz/ and runs
# each on its starting corpus for MIGPROF_FUZZ_SECONDS seconds (60 by default).
# New inputs go to a scratch corpus, so the checked-in inputs stay as they are;
# an input that breaks a target is kept in build-fuzz/findings/ and the script
# fails. Prints the executions of each target.
#
# Usage: bash .ci/fuzz.sh [target...]   (all targets when none is named)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${MIGPROF_FUZZ_SECONDS:-60}
build=$root/build-fuzz
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1, as libFuzzer's documentation suggests: fast enough to run, cheaper to
# compile than -O2; line tables only, which is all a finding's backtrace needs.
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DMIGPROF_FUZZ=ON \
  -DMIGPROF_BUILD_TESTS=OFF -DMIGPROF_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

findings=$build/findings
mkdir -p "$findings"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/migprof-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Runs one target; a failing one leaves "<target>.failed" in the findings.
run_target() {
  local target=$1
  mkdir -p "$scratch/$target/corpus" "$scratch/$target/cwd"
  local log=$findings/$target.log
  rm -f "$findings/$target.failed"
  # Run from a scratch directory, its temporary files there too: the request
  # reader's target keeps a database and may name database files relative
  # to the working directory.
  if (cd "$scratch/$target/cwd" && TMPDIR=$PWD \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
      -artifact_prefix="$findings/$target-" -print_final_stats=1 \
      "$scratch/$target/corpus" "$root/fuzz/corpus/$target") >"$log" 2>&1; then
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} executions, no failure"
  else
    echo "fuzz: $target FAILED (log: $log)"
    grep -E 'property broken|ERROR|SUMMARY' "$log" | head -n 5 || true
    touch "$findings/$target.failed"
  fi
}
# A libFuzzer process keeps one core busy: as many targets run at once as
# the machine has cores.
jobs_at_once=$(nproc)
for target in "${targets[@]}"; do
  while [[ $(jobs -rp | wc -l) -ge $jobs_at_once ]]; do wait -n || true; done
  run_target "$target" &
done
wait
failed=()
for target in "${targets[@]}"; do
  if [[ -e "$findings/$target.failed" ]]; then failed+=("$target"); fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: failing targets: ${failed[*]}" >&2
  exit 1
fi
