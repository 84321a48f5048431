#!/usr/bin/env bash
# Starts velm in the run folder, creating the record database there when it is missing.
# With SIM=1 (the default) the simulated installation starts beside it: UDP on 127.0.0.1:2001
# and a pseudo-terminal that the tool reaches as COM1. SIM=0 starts the tool alone, for real
# hardware. The tool starts only once the simulator is up: its ready line, its UDP port and
# its pseudo-terminal; otherwise one line says why and the script fails.
set -euo pipefail

# BROADCAST=1: both in a network namespace of their own with only the loopback interface,
# where the limited broadcast goes out on it from 127.0.0.1, so that the bus switch's
# broadcast "Read" reaches the simulator and nothing else. A user namespace (unshare -r)
# lets an ordinary user make it.
if [ "${BROADCAST:-0}" = 1 ] && [ -z "${VELM_OWN_NETWORK:-}" ]; then
  ns=(unshare -n)
  [ "$(id -u)" = 0 ] || ns=(unshare -r -n)
  exec "${ns[@]}" env VELM_OWN_NETWORK=1 bash -c \
    'ip link set lo up && ip route add 255.255.255.255/32 dev lo src 127.0.0.1 && exec bash "$@"' \
    run.sh "$0" "$@"
fi

build=$(cd "${1:-build}" && pwd); dir=${2:-run}; sim=${SIM:-1}
udp_port=${VELM_SIM_PORT:-2001}
sim_args=(--serial --udp-port "$udp_port")
[ -n "${VELM_OWN_NETWORK:-}" ] && sim_args+=(--udp-broadcast)
mkdir -p "$dir"; cd "$dir"
[ -f VELM.mdb ] || "$build/bin/velm-initdb" VELM.mdb

fail() { echo "make run: $*" >&2; exit 1; }

# Who holds a UDP port, as ss names it, and how to stop that one alone. ss names another
# user's process only to root.
port_holder() {
  local users name pid
  users=$(ss -Hulpn "sport = :$1" 2>/dev/null | grep -o 'users:(("[^"]*",pid=[0-9]*' | head -n 1 || true)
  name=$(sed -n 's/^users:(("\([^"]*\)".*/\1/p' <<<"$users")
  pid=$(sed -n 's/.*pid=\([0-9]*\)$/\1/p' <<<"$users")
  if [ -n "$pid" ]; then
    echo "$name (pid $pid, ss -ulpn) holds it; stop that one (kill $pid) and run again."
  else
    echo "another program holds it (sudo ss -ulpn 'sport = :$1' names it); stop that one and run again."
  fi
}

if [ "$sim" = "1" ]; then
  log=velm-sim.log
  : >"$log"
  "$build/bin/velm-sim" "${sim_args[@]}" </dev/null >"$log" 2>&1 &
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
    udp*) fail "velm-sim could not take UDP port $udp_port on 127.0.0.1 (${why#udp: }): $(port_holder "$udp_port")" ;;
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
