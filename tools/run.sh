#!/usr/bin/env bash
# Starts velm in the run folder, creating the record database there when it is missing.
# With SIM=1 (the default) the simulated installation starts beside it: UDP on 127.0.0.1:2001
# and a pseudo-terminal that the tool reaches as COM1. SIM=0 starts the tool alone, for real
# hardware. The tool starts only once the simulator is up: its ready line, its UDP port and
# its pseudo-terminal; otherwise one line says why and the script fails.
set -euo pipefail
build=$(cd "${1:-build}" && pwd); dir=${2:-run}; sim=${SIM:-1}
udp_port=${VELM_SIM_PORT:-2001}
mkdir -p "$dir"; cd "$dir"
[ -f VELM.mdb ] || "$build/bin/velm-initdb" VELM.mdb

fail() { echo "make run: $*" >&2; exit 1; }

if [ "$sim" = "1" ]; then
  log=velm-sim.log
  : >"$log"
  "$build/bin/velm-sim" --serial --udp-port "$udp_port" </dev/null >"$log" 2>&1 &
  simpid=$!
  trap 'kill $simpid 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    grep -q '^ready' "$log" && break
    kill -0 "$simpid" 2>/dev/null || break
    sleep 0.05
  done
  if ! grep -q '^ready' "$log"; then
    why=$(grep -m1 -E '^(udp|serial|control)' "$log" || true)
    case "$why" in
    udp*) fail "velm-sim could not take UDP port $udp_port on 127.0.0.1 (${why#udp: }): another velm-sim (the README's command-line example?) or another program holds it; stop it (pkill velm-sim) and run again." ;;
    serial*) fail "velm-sim could not make its pseudo-terminal (${why#serial: })." ;;
    *) fail "velm-sim did not start; its output is in $dir/$log." ;;
    esac
  fi
  pty=$(sed -n 's/^serial: //p' "$log" | head -n 1)
  [ -n "$pty" ] && [ -e "$pty" ] || fail "velm-sim reported no pseudo-terminal; its output is in $dir/$log."
  echo "velm-sim: UDP 127.0.0.1:$udp_port, serial $pty as COM1 (traffic in $dir/$log)"
  export VELM_COM1="$pty"
fi
"$build/bin/velm"
