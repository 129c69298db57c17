#!/usr/bin/env bash
# Builds the tool, creates an embedded profile database and drives the
# component through a short session.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
# Shares build/ with scripts/test.sh: it sets no option of its own there, so
# the test build stays as the test command configured it.
cmake -S . -B build
cmake --build build -j"$(nproc)" --target migprof
db="${1:-$PWD/profiles.db}"
[ -e "$db" ] || ./build/cli/migprof init "$db"
echo "Database: $db"
./build/cli/migprof session --trace --database "sqlite:$db" --user "${USER:-$(id -un)}" <<'JSON'
{"call": "InsertInMap100", "args": [9001, "Demo profile", "APPA", "APPB", "D1", "R1", "C1", "__", "N", "demo", "demo"]}
{"call": "ValidateUser", "args": ["demo", "9001"]}
{"sql": "select mprf, vers, rele, cust, deph from qzmap100"}
{"call": "DeleteMap100", "args": [9001]}
JSON
