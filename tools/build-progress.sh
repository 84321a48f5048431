#!/usr/bin/env bash
# Reads a build's output on standard input and shows only its progress, on one line that
# rewrites itself on a terminal ("12/316"): Ninja counts the steps. The output ends with
# "exit: N", the build's own status, which this script exits with; on a failure it prints
# the whole output first. Usage: { build 2>&1; echo "exit: $?"; } | build-progress.sh WHAT
set -uo pipefail
what=${1:-the programs}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
tty=0
[ -t 1 ] && tty=1
status=1
last=""
while IFS= read -r line; do
  if [[ $line =~ ^exit:\ ([0-9]+)$ ]]; then
    status=${BASH_REMATCH[1]}
    continue
  fi
  printf '%s\n' "$line" >>"$log"
  if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]] && [ "${BASH_REMATCH[2]}" -gt 2 ]; then
    last="${BASH_REMATCH[1]}/${BASH_REMATCH[2]}"
    [ "$tty" = 1 ] && printf '\rBuilding %s: %s ' "$what" "$last"
  fi
done
if [ "$status" != 0 ]; then
  [ "$tty" = 1 ] && [ -n "$last" ] && printf '\n'
  cat "$log"
  echo "make: the build failed (its output is above)" >&2
  exit "$status"
fi
if [ "$tty" = 1 ] && [ -n "$last" ]; then
  printf '\rBuilding %s: %s, done\n' "$what" "$last"
elif [ -n "$last" ]; then
  echo "Built $what ($last steps)"
else
  echo "Built $what (up to date)"
fi
