#!/usr/bin/env bash
# Builds the tool, creates an embedded profile database with a demo estate
# and serves the maintenance front end on it, on loopback.
#   scripts/try.sh [database file] [host:port]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
# Shares build/ with scripts/test.sh: it sets no option of its own there, so
# the test build stays as the test command configured it.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build "${launcher[@]}"
cmake --build build -j"$(nproc)" --target migprof
db="${1:-$PWD/profiles.db}"
listen="${2:-127.0.0.1:8080}"
[ -e "$db" ] || ./build/cli/migprof init --demo "$db"
echo "Database: $db"
echo "Sign in with any name while the database has no accounts;"
echo "add accounts with: ./build/cli/migprof user add <name> --database sqlite:$db"
exec ./build/cli/migprof serve --database "sqlite:$db" --listen "$listen"
