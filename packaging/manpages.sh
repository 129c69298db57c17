#!/usr/bin/env bash
# Writes the man pages of the built tool into <dir>, compressed, with
# help2man: migprof.1 from `migprof --help` and migprof-<command>.1 from
# `migprof <command> --help` for every subcommand the tool lists.
#   manpages.sh <migprof> <dir>
set -euo pipefail
tool=$1
dir=$2
here=$(dirname "$0")
# shellcheck source-path=SCRIPTDIR
source "$here/help_sections.sh"
rm -rf "$dir"
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t commands < <(subcommands "$tool")
# The first line of --version ("migprof 0.1.0"); the library versions after
# it describe the machine that built the pages, not the reader's.
version=$("$tool" --version | head -n 1)
version=${version#migprof }
{
  echo "[SEE ALSO]"
  for line in "${commands[@]}"; do printf '.BR migprof-%s (1),\n' "${line%%$'\t'*}"; done
  echo "and docs/operations.md in the source tree for the service."
} >"$work/see-also.h2m"

help2man --no-info --no-discard-stderr --version-string="$version" \
  --name="drive the migration-profile component from scripts" \
  --include="$work/see-also.h2m" --output="$dir/migprof.1" "$tool"

for line in "${commands[@]}"; do
  command=${line%%$'\t'*}
  summary=${line#*$'\t'}
  # help2man names the page after the program: rename it to the command's.
  printf '[SEE ALSO]\n.BR migprof (1)\n' >"$work/see-also-command.h2m"
  help2man --no-info --no-discard-stderr --version-string="$version" \
    --help-option="$command --help" --name="${summary,}" \
    --include="$work/see-also-command.h2m" "$tool" |
    sed -e "s/^\.TH MIGPROF /.TH MIGPROF-${command^^} /" \
      -e "/^\.SH NAME/{n;s/^migprof /migprof-$command /}" >"$dir/migprof-$command.1"
done
gzip -9n "$dir"/*.1
