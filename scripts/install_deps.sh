#!/usr/bin/env bash
# Installs what the project needs to build and test, from Debian's packages.
set -euo pipefail
packages=(
  build-essential cmake ccache pkg-config
  libsqlite3-dev sqlite3 unixodbc-dev nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmariadb-dev
  libcpp-httplib-dev libkainjow-mustache-dev libjs-bootstrap5 libsodium-dev libssl-dev openssl
  chromium chromium-driver python3-selenium
  nginx
  help2man lintian
  clang
  libxlsxwriter-dev libreoffice-calc-nogui
)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
# axe-core, the accessibility checker the browser tests run in Chromium
# (tests/web/axe_check.py), from npm into a fixed place; Debian's npm where
# no npm is installed.
axe_version=4.14.1
axe_dir=/opt/migprof-axe
if ! grep -qs "\"version\": \"$axe_version\"" "$axe_dir/node_modules/axe-core/package.json"; then
  if ! command -v npm >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y --no-install-recommends npm
  fi
  $sudo npm install --prefix "$axe_dir" --no-audit --no-fund --no-save "axe-core@$axe_version"
fi
