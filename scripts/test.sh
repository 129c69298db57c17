#!/usr/bin/env bash
# Builds the project and runs its tests.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  options+=(-DMIGPROF_SANITIZE=ON -DMIGPROF_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" "${launcher[@]}" "${options[@]}"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
