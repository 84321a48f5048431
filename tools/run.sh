#!/usr/bin/env bash
# Starts velm in the run folder, creating the record database there when it is missing.
# With SIM=1 (the default) the simulated installation starts beside it: UDP on 127.0.0.1:2001
# and a pseudo-terminal that the tool reaches as COM1. SIM=0 starts the tool alone, for real
# hardware.
set -euo pipefail
build=$(cd "${1:-build}" && pwd); dir=${2:-run}; sim=${SIM:-1}
mkdir -p "$dir"; cd "$dir"
[ -f VELM.mdb ] || "$build/bin/velm-initdb" VELM.mdb

if [ "$sim" = "1" ]; then
  log=velm-sim.log
  : >"$log"
  "$build/bin/velm-sim" --serial </dev/null >"$log" 2>&1 &
  simpid=$!
  trap 'kill $simpid 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do grep -q '^ready' "$log" && break; sleep 0.05; done
  pty=$(sed -n 's/^serial: //p' "$log" | head -n 1)
  echo "velm-sim: UDP 127.0.0.1:2001, serial $pty as COM1 (traffic in $dir/$log)"
  export VELM_COM1="$pty"
fi
"$build/bin/velm"
