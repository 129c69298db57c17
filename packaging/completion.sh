#!/usr/bin/env bash
# Writes the bash completion of the built tool to <file>: its subcommands
# and each one's options from their --help, and for `call` the member names
# its help lists. Option values and other words complete as file names.
#   completion.sh <migprof> <file>
set -euo pipefail
tool=$1
file=$2
here=$(dirname "$0")
# shellcheck source-path=SCRIPTDIR
source "$here/help_sections.sh"

words() { tr '\n' ' ' | sed 's/ $//'; }
mapfile -t commands < <(subcommands "$tool" | cut -f1)
members=$("$tool" call --help | awk '
  /^[A-Za-z].*:$/ { on = ($0 == "Members:"); next }
  on && /^  [A-Za-z_]/ { name = $1; sub(/[(].*/, "", name); print name }' | words)
valued=$(for c in "" "${commands[@]}"; do MIGPROF_VALUED=1 options "$tool" ${c:+"$c"}; done | sort -u |
  tr '\n' '|' | sed 's/|$//')

mkdir -p "$(dirname "$file")"
{
  echo "# bash completion for migprof, generated from its --help"
  echo "_migprof() {"
  echo '  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command= i'
  echo '  for ((i = 1; i < COMP_CWORD; i++)); do'
  echo '    case ${COMP_WORDS[i]} in'
  echo "      $(printf '%s\n' "${commands[@]}" | tr '\n' '|' | sed 's/|$//')) command=\${COMP_WORDS[i]}; break ;;"
  echo '    esac'
  echo '  done'
  if [ -n "$valued" ]; then
    echo "  case \$prev in $valued) COMPREPLY=(); return ;; esac"
  fi
  echo '  local options words='
  echo '  case $command in'
  echo "    '') options='$(options "$tool" | words)' words='${commands[*]}' ;;"
  for command in "${commands[@]}"; do
    extra=""
    if [ "$command" = call ]; then extra=" words='$members'"; fi
    echo "    $command) options='$(options "$tool" "$command" | words)'$extra ;;"
  done
  echo '  esac'
  echo '  if [[ $cur == -* ]]; then words=$options; fi'
  echo '  COMPREPLY=($(compgen -W "$words" -- "$cur"))'
  echo '}'
  echo 'complete -o default -F _migprof migprof'
} >"$file"
