#!/bin/sh
# One copy of each layer per process: nothing the program defines for others
# to use (its global code and data) is defined again in the window module it
# loads or in the base library both share.
set -eu
program=$1
shift
global() { # the global code and data a file defines, demangled
  nm -C --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ { $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
    grep -v '^_' | sort -u
}
defined() { # every code and data symbol it defines, global or not
  nm -C --defined-only "$1" | awk '$2 ~ /^[TDBRtdbr]$/ { $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
    sort -u
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
global "$program" >"$work/program"
status=0
for other in "$@"; do
  defined "$other" >"$work/other"
  comm -12 "$work/program" "$work/other" >"$work/both"
  if [ -s "$work/both" ]; then
    echo "defined in both $(basename "$program") and $(basename "$other"):"
    head -n 20 "$work/both"
    status=1
  fi
done
exit "$status"
