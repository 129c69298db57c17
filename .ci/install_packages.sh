# Sourced by the CI scripts that run servers of their own.
# install_packages LOG PACKAGE...: installs those of the packages that are
# missing, without letting their packaging start the system's services (the
# scripts run servers of their own); the apt output goes to LOG. Returns 1,
# with the end of that output on stderr, when they could not be installed.
install_packages() {
  local apt_log=$1
  shift
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  echo "installing ${missing[*]}" >&2
  local policy=/usr/sbin/policy-rc.d own_policy="" installed=0
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    own_policy=1
  fi
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >"$apt_log" 2>&1 ||
    { apt-get update -q >>"$apt_log" 2>&1 &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$apt_log" 2>&1; }; then
    installed=1
  fi
  [[ -n $own_policy ]] && rm -f "$policy"
  if [[ $installed -ne 1 ]]; then
    tail -n 20 "$apt_log" >&2
    echo "could not install ${missing[*]}" >&2
    return 1
  fi
}
