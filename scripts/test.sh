#!/usr/bin/env bash
# Builds the project and runs its tests.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
build=build
# The test build's own options, given every time so that they win over
# whatever an earlier configure (scripts/try.sh, a hand-run cmake) left in
# the cache.
# Debugging information is line tables only (-g1): enough for the backtraces
# of a failed test, a sanitizer or a debugger, and it takes a third less time
# to compile the optimised sources than full information (-g).
options=(-DMIGPROF_BUILD_TESTS=ON -DMIGPROF_SANITIZE=OFF -DMIGPROF_BUILD_BENCH=ON
         "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  options=(-DMIGPROF_BUILD_TESTS=ON -DMIGPROF_SANITIZE=ON -DMIGPROF_BUILD_BENCH=OFF
           -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1)
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" "${launcher[@]}" "${options[@]}"
cmake --build "$build" -j"$(nproc)"
# A run that found no test fails: a green run must have tested something.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)"
