#!/usr/bin/env bash
# Re-records the member traces in tests/golden/*.jsonl from what the calls do
# now, then shows how they changed for review.
#   scripts/record_traces.sh [build-dir]     (default build/)
# The cases (their setup and calls) stay as written; the answers, statements,
# configuration-management calls and changed rows are replaced. Commit the
# files only once the diff shows what the change of behaviour should show.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ ! -f $build/CMakeCache.txt ]]; then
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S . -B "$build" "${launcher[@]}" -DMIGPROF_BUILD_TESTS=ON -DMIGPROF_BUILD_BENCH=OFF
fi
cmake --build "$build" -j"$(nproc)" --target migprof_tests
# Recorded on the embedded database: the traces hold its answers.
MIGPROF_RECORD=1 MIGPROF_TEST_DSN='' "$build/tests/migprof_tests" --gtest_filter='Golden/Trace.*'
git --no-pager diff --stat -- tests/golden
git --no-pager diff --word-diff=color -- tests/golden
