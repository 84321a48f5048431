#!/usr/bin/env bash
# make test-windows: the Windows build (argument 1) under wine, in a fresh prefix in a
# temporary folder, against the Linux build's velm-sim (argument 2) on loopback UDP:
#   - the SDK's DLLs are whole (their headers read),
#   - the Windows builds of the test programs that need no pseudo-terminal,
#   - velm-cli.exe: scan, a read-all, push, audit, export -> import, report --html/--pdf,
#   - record files made by one system open on the other.
# Prints one line per check and a summary; exits non-zero when any check failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
win=$(cd "${1:-build-windows}" && pwd)
lin=$(cd "${2:-build}" && pwd)
sdk=$(sed -n 's/^VELM_QT_WINDOWS:PATH=//p' "$win/CMakeCache.txt")
started=$(date +%s)

tmp=$(mktemp -d /tmp/velm-wine.XXXXXX)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export WINEPATH="Z:$sdk/bin" QT_PLUGIN_PATH="Z:$sdk/plugins"
sim_pid=
xvfb_pid=
finish() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap finish EXIT

passed=0
failed=()
check() { # NAME COMMAND...: runs the command, output kept in $tmp/NAME.log
  local name=$1
  shift
  "$@" >"$tmp/$name.log" 2>&1
  local status=$?
  if [ $status -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed+=("$name")
    echo "FAIL $name (exit status $status)"
    sed 's/^/    /' "$tmp/$name.log" | tail -15
  fi
}

wineboot -i >/dev/null 2>&1
wine_ready=$(date +%s)

# A DLL whose headers objdump cannot read is damaged: wine will not load it either.
dlls_whole() {
  local bad=0
  for dll in "$sdk"/bin/*.dll "$sdk"/plugins/*/*.dll; do
    if ! x86_64-w64-mingw32-objdump -p "$dll" >/dev/null 2>&1; then
      echo "damaged: $dll (its headers do not read; rebuild the SDK)"
      bad=1
    fi
  done
  return $bad
}
check sdk-dlls dlls_whole

# The unit tests, on Qt's offscreen platform.
for t in "$win"/bin/test_*.exe; do
  name=$(basename "$t" .exe)
  check "$name" env QT_QPA_PLATFORM=offscreen timeout 300 wine "$t"
done

# velm-cli.exe against the Linux simulator.
port=$(shuf -i 20000-60000 -n 1)
"$lin/bin/velm-sim" --udp-host 127.0.0.1 --udp-port "$port" >"$tmp/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q ready "$tmp/sim.log" && break; sleep 0.1; done
work=$tmp/work
mkdir -p "$work"
cd "$work" || exit 1
cli() { timeout 120 wine "$win/bin/velm-cli.exe" --db win.mdb --udp "127.0.0.1:$port" "$@"; }
linux_cli() { timeout 120 "$lin/bin/velm-cli" "$@"; }
contains() { # TEXT COMMAND...: the command succeeds and says TEXT
  local text=$1
  shift
  local out
  out=$("$@" 2>&1) || { echo "$out"; return 1; }
  echo "$out"
  grep -qF -- "$text" <<<"$out"
}
check initdb wine "$win/bin/velm-initdb.exe" win.mdb
check cli-scan contains "TMR" cli scan 1 8
check cli-read-all contains "Timer No." cli timers read 6
check cli-bindings-read cli bindings read 5
check cli-push cli push 5 --yes
check cli-audit contains "agree" cli audit 5
check cli-export cli export win.json --csv csv
check cli-import-linux sh -c "$lin/bin/velm-initdb linux.mdb && $lin/bin/velm-cli --db linux.mdb import win.json --yes"
check cli-export-linux linux_cli --db linux.mdb export linux.json
check cli-import-windows cli import linux.json --yes
check records-windows-on-linux linux_cli --db win.mdb export from-win.json
check records-linux-on-windows wine "$win/bin/velm-cli.exe" --db linux.mdb export from-linux.json
check same-rows-both-ways sh -c "grep -v '\"exported\"' from-win.json > a; grep -v '\"exported\"' from-linux.json > b; cmp a b"
check cli-report-html cli report --html report.html --site "Test site"
check cli-report-pdf sh -c "timeout 120 wine '$win/bin/velm-cli.exe' --db win.mdb report --pdf report.pdf && head -c 5 report.pdf | grep -q '%PDF-'"
cd - >/dev/null || exit 1

ended=$(date +%s)
echo "test-windows: $passed passed, ${#failed[@]} failed (${failed[*]:-}); prefix $((wine_ready - started)) s, all $((ended - started)) s"
[ ${#failed[@]} -eq 0 ]
