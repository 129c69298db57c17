# shellcheck shell=bash
# Reading the help the built tool prints; sourced by manpages.sh and
# completion.sh. The option parser writes each entry as its names (and the
# value's type) in the first 30 columns, the description after them.

# The subcommands `migprof --help` lists, as "name<TAB>summary" lines.
subcommands() {
  "$1" --help | awk '
    /^[A-Za-z].*:$/ { on = (tolower($0) == "subcommands:"); next }
    on && /^  [a-z]/ { name = $1; sub(/^  [^ ]+ +/, ""); print name "\t" $0 }'
}

# The options of `migprof [<subcommand>] --help` ("-h", "--help",
# "--database", ...); with MIGPROF_VALUED=1 only those that take a value.
options() {
  "$@" --help | awk -v valued="${MIGPROF_VALUED:-0}" '
    /^[A-Za-z].*:$/ { on = (tolower($0) == "options:"); next }
    on && /^  -/ {
      split(substr($0, 1, 30), head, " ")
      if (valued == 1 && head[2] !~ /^[A-Z]+$/) next
      n = split(head[1], names, ",")
      for (i = 1; i <= n; i++) print names[i]
    }'
}
