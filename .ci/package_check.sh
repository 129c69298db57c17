#!/usr/bin/env bash
# Packaging check, on a build configured as Debian installs (prefix /usr,
# Debian's hardening flags):
#  1. `cmake --install --prefix` into a temporary prefix, then the example
#     consumer built against it with find_package(migprof) and with
#     pkg-config, and run;
#  2. `cpack -G DEB`, both packages unpacked into a throwaway root
#     (dpkg -x), the installed tool run there (--version, init, call), the
#     consumer built against the unpacked -dev package, the service unit
#     checked by systemd-analyze;
#  3. lintian on the packages: no errors.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
build="build-package"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Built as Debian builds its packages: with its hardening flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Without -g: the package's binaries are stripped (CPACK_STRIP_FILES), so the
# debugging information would only cost compile time.
cxxflags=$(echo " $(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) " | sed 's/ -g / /g')
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" "${launcher[@]}" -DCMAKE_INSTALL_PREFIX=/usr -DMIGPROF_BUILD_TESTS=OFF \
  -DMIGPROF_BUILD_BENCH=OFF -DMIGPROF_SANITIZE=OFF -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags"
cmake --build "$build" -j"$(nproc)"

echo "== install into a prefix, build the consumer against it"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix"
for f in bin/migprof share/migprof/schema/sqlite.sql share/migprof/schema/sqlserver.sql \
  share/migprof/schema/mariadb.sql include/migprof/handle_mig_prof.h include/migprof/version.h \
  share/man/man1/migprof.1.gz share/bash-completion/completions/migprof \
  lib/systemd/system/migprof-serve.service etc/migprof/serve.conf; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
[ "$(stat -c %a "$prefix/etc/migprof/serve.conf")" = 640 ] || { echo "serve.conf not 0640" >&2; exit 1; }
cmake -S examples/consumer -B "$work/consumer" "${launcher[@]}" -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/consumer"
"$work/consumer/consumer" "$work/consumer.db" | tee "$work/consumer.out"
grep -qx "GetUserOwnerProfiles(alice): 1" "$work/consumer.out"
pc_dir=$(dirname "$(find "$prefix" -name migprof.pc)")
# shellcheck disable=SC2046
g++ -std=c++20 -o "$work/consumer-pc" examples/consumer/main.cc \
  $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs migprof)
"$work/consumer-pc" "$work/consumer-pc.db" | grep -qx "ErrorNumber: 0"

echo "== Debian packages"
(cd "$build" && cpack -G DEB)
debs=("$build"/migprof_*.deb "$build"/migprof-dev_*.deb)
for deb in "${debs[@]}"; do
  dpkg-deb --info "$deb"
  dpkg-deb --contents "$deb"
done
dpkg-deb --field "$build"/migprof_*.deb Depends | grep -q libsqlite3
root="$work/root"
for deb in "${debs[@]}"; do dpkg -x "$deb" "$root"; done
tool="$root/usr/bin/migprof"
"$tool" --version | tee "$work/version.out"
grep -qx "migprof $(sed -n 's/^project(migprof VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
  "$work/version.out"
"$tool" init "$work/packaged.db"
"$tool" call --as alice --database "sqlite:$work/packaged.db" InsertInMap100 7 Orders LEGACY ORVO 100 01 \
  STD __ N "Order entry" alice | tee "$work/call.out"
grep -q '"result":true' "$work/call.out"
"$tool" call --as alice --database "sqlite:$work/packaged.db" GetUserOwnerProfiles alice | grep -q '"7"'
# The SQLite extension lets the stock shell query the file as the component does.
extension=$(find "$root/usr/lib" -name migprof_sqlite.so)
[ -n "$extension" ] || { echo "not packaged: migprof_sqlite.so" >&2; exit 1; }
sqlite3 "$work/packaged.db" -cmd ".load ${extension%.so}" \
  "select count(*) from qzmap100 where sapp <> 'legacy '" | grep -qx 0
[ -e "$root/usr/share/man/man1/migprof.1.gz" ]
# The unit as systemd reads it, with the unpacked tool in place of
# /usr/bin/migprof: an unknown or misspelt setting is an error here.
if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/migprof|$tool|" "$root/usr/lib/systemd/system/migprof-serve.service" \
    >"$work/migprof-serve.service"
  systemd-analyze verify --man=no "$work/migprof-serve.service" 2>&1 | tee "$work/verify.out"
  [ ! -s "$work/verify.out" ]
fi
# The consumer against the unpacked -dev package as well: its CMake package
# finds itself wherever it lies.
cmake -S examples/consumer -B "$work/consumer-deb" "${launcher[@]}" -DCMAKE_PREFIX_PATH="$root/usr"
cmake --build "$work/consumer-deb"
"$work/consumer-deb/consumer" "$work/consumer-deb.db" >/dev/null

echo "== lintian"
lintian --fail-on error "${debs[@]}"
echo "package check passed"
