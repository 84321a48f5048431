#!/usr/bin/env bash
# make test-windows: the Windows build (argument 1) under wine, in a fresh prefix in a
# temporary folder, against the Linux build's velm-sim (argument 2) on loopback UDP:
#   - the Windows builds of the test programs that need no pseudo-terminal,
#   - velm-cli.exe: scan, a read-all, push, audit, export -> import, report --html/--pdf,
#     convert of an Access file (the same rows as the Linux velm-cli's), site new and show,
#     backup and backup list,
#   - velm-cli.exe over COM1, which the prefix maps to velm-sim's pseudo-terminal: a scan, a
#     read-all whose rows are stored, a set,
#   - record files made by one system open on the other,
#   - velm-sim.exe on loopback UDP with the Linux velm-cli against it, and its serial mode
#     refused,
#   - velm.exe: the window opens under Xvfb.
# A check whose program loads a DLL of the SDK that is damaged (its headers do not read) cannot
# start under wine or on Windows: it is listed as NOT RUN with that DLL, never as passed.
# Prints one line per check and a summary; exits non-zero when any check that ran failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
repo=$(pwd)
win=$(cd "${1:-build-windows}" && pwd)
lin=$(cd "${2:-build}" && pwd)
sdk=$(sed -n 's/^VELM_QT_WINDOWS:PATH=//p' "$win/CMakeCache.txt")
started=$(date +%s)

tmp=$(mktemp -d /tmp/velm-wine.XXXXXX)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export WINEPATH="Z:$sdk/bin" QT_PLUGIN_PATH="Z:$sdk/plugins"
sim_pid=
sim_exe_pid=
xvfb_pid=
finish() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  [ -n "$sim_exe_pid" ] && kill "$sim_exe_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap finish EXIT

passed=0
failed=()
not_run=()
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
declare -A damaged=()
for dll in "$sdk"/bin/*.dll "$sdk"/plugins/*/*.dll; do
  if ! x86_64-w64-mingw32-objdump -p "$dll" >/dev/null 2>&1; then
    damaged[$(basename "$dll")]=1
    echo "damaged in the SDK: $dll (its headers do not read)"
  fi
done

# The first damaged DLL that BINARY loads, directly or through the SDK's DLLs it loads; a
# program on Qt's Gui also loads the platform plugin PLATFORM. Nothing when it loads none.
declare -A seen=()
damaged_dll() { # BINARY [PLATFORM]
  local binary=$1 platform=${2:-} dll found
  while read -r dll; do
    if [ -n "${damaged[$dll]:-}" ]; then
      echo "$dll"
      return
    fi
    [ -f "$sdk/bin/$dll" ] && [ -z "${seen[$dll]:-}" ] || continue
    seen[$dll]=1
    found=$(damaged_dll "$sdk/bin/$dll")
    [ -n "$found" ] && { echo "$found"; return; }
  done < <(x86_64-w64-mingw32-objdump -p "$binary" 2>/dev/null | sed -n 's/^\s*DLL Name: //p')
  if [ -n "$platform" ] && x86_64-w64-mingw32-objdump -p "$binary" 2>/dev/null | grep -q 'DLL Name: Qt6Gui.dll'; then
    damaged_dll "$sdk/plugins/platforms/q$platform.dll"
    [ -n "${damaged[q$platform.dll]:-}" ] && echo "q$platform.dll"
  fi
}

# check_program NAME PROGRAM PLATFORM COMMAND...: the check, unless PROGRAM loads a damaged
# DLL; then NOT RUN, with that DLL.
check_program() {
  local name=$1 program=$2 platform=$3 dll
  shift 3
  dll=$(damaged_dll "$program" "$platform" | head -1)
  if [ -n "$dll" ]; then
    not_run+=("$name")
    echo "NOT RUN $name: $dll in the SDK is damaged"
    return
  fi
  check "$name" "$@"
}

# The unit tests, on Qt's offscreen platform.
for t in "$win"/bin/test_*.exe; do
  name=$(basename "$t" .exe)
  check_program "$name" "$t" offscreen env QT_QPA_PLATFORM=offscreen timeout 300 wine "$t"
done

# velm-cli.exe against the Linux simulator.
port=$(shuf -i 20000-60000 -n 1)
"$lin/bin/velm-sim" --udp-host 127.0.0.1 --udp-port "$port" --serial >"$tmp/sim.log" 2>&1 &
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
check_program cli-report-pdf "$win/bin/velm-report-pdf.exe" offscreen sh -c "timeout 120 wine '$win/bin/velm-cli.exe' --db win.mdb report --pdf report.pdf && head -c 5 report.pdf | grep -q '%PDF-'"

# An Access record file converted in place by libmdb under wine and on Linux: the same exit
# status, and the new record files hold the same rows.
access=$repo/tests/data/access/six-tables.mdb
same_conversion() {
  mkdir -p conv-win conv-linux
  cp "$access" conv-win/VELM.mdb
  cp "$access" conv-linux/VELM.mdb
  local win_status linux_status
  (cd conv-win && timeout 120 wine "$win/bin/velm-cli.exe" convert VELM.mdb)
  win_status=$?
  (cd conv-linux && linux_cli convert VELM.mdb)
  linux_status=$?
  echo "exit status: velm-cli.exe $win_status, velm-cli $linux_status"
  [ "$win_status" -eq "$linux_status" ] && [ "$win_status" -ne 1 ] && [ "$win_status" -ne 2 ] || return 1
  linux_cli --db conv-win/VELM.mdb export conv-win.json &&
    linux_cli --db conv-linux/VELM.mdb export conv-linux.json || return 1
  grep -q '"Timer_No"\|"Module_Addr"' conv-linux.json || { echo "no rows came over"; return 1; }
  diff <(grep -v '"exported"' conv-win.json) <(grep -v '"exported"' conv-linux.json)
}
check cli-convert-access same_conversion

# A site made by velm-cli.exe, and what it says of it.
check cli-site-new wine "$win/bin/velm-cli.exe" site new site --name "Test site" --technician "Tester"
check cli-site-show contains "Test site" wine "$win/bin/velm-cli.exe" --site-dir site site show

# A backup beside the record file, and the list that names it.
backup_listed() {
  local out name
  out=$(cli backup 2>&1) || { echo "$out"; return 1; }
  echo "$out"
  name=$(grep -o 'win\.mdb\.backup-[0-9-]*' <<<"$out" | head -1)
  [ -n "$name" ] && [ -f "$name" ] || { echo "no backup file named in the output"; return 1; }
  contains "$name" cli backup list
}
check cli-backup backup_listed

# velm-cli.exe over COM1: wine's mount manager rewrites a link made by hand in dosdevices/, so
# the port is mapped in the registry and takes effect when wineserver starts again.
pty=$(sed -n 's/^serial: //p' "$tmp/sim.log")
com_cli() { timeout 120 wine "$win/bin/velm-cli.exe" --db com.mdb --serial COM1 "$@"; }
rows_stored() { # DB TABLE COUNT: the Linux velm-cli finds COUNT rows in TABLE of DB
  linux_cli --db "$1" export "$1.json" || return 1
  python3 -c 'import json, sys; n = len(json.load(open(sys.argv[1]))["tables"][sys.argv[2]]); print(n, "rows"); sys.exit(n != int(sys.argv[3]))' "$1.json" "$2" "$3"
}
com_read_all() { com_cli bindings read 5 && rows_stored com.mdb "Bind Records" 14; }
if [ -n "$pty" ] && wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$pty" /f >/dev/null 2>&1; then
  wineserver -k 2>/dev/null
  wine "$win/bin/velm-initdb.exe" com.mdb >/dev/null 2>&1
  check com1-scan contains "TMR" com_cli scan 1 8
  check com1-read-all com_read_all
  check com1-set contains "done: light on 1 1" com_cli light on 1 1
else
  failed+=("com1")
  echo "FAIL com1: velm-sim named no pseudo-terminal, or COM1 could not be mapped to it"
fi

# velm-sim.exe on loopback UDP with the Linux velm-cli against it: a scan that finds the
# simulated modules and a read-all whose rows are stored. Its serial mode is refused (Windows
# has no pseudo-terminal) with a message and exit status 2.
sim_exe_started=$(date +%s)
sim_exe_port=$(shuf -i 20000-60000 -n 1)
while [ "$sim_exe_port" = "$port" ]; do sim_exe_port=$(shuf -i 20000-60000 -n 1); done
sim_exe_cli() { linux_cli --db sim-exe.mdb --udp "127.0.0.1:$sim_exe_port" "$@"; }
sim_exe_read_all() { sim_exe_cli bindings read 5 && rows_stored sim-exe.mdb "Bind Records" 14; }
sim_exe_serial_refused() {
  local out status
  out=$(timeout 60 wine "$win/bin/velm-sim.exe" --serial </dev/null 2>&1)
  status=$?
  echo "$out"
  echo "exit status $status"
  [ $status -eq 2 ] && grep -q "pseudo-terminal" <<<"$out"
}
sim_exe_dll=$(damaged_dll "$win/bin/velm-sim.exe" | head -1)
if [ -n "$sim_exe_dll" ]; then
  not_run+=(sim-exe-scan sim-exe-read-all sim-exe-serial-refused)
  echo "NOT RUN sim-exe-scan, sim-exe-read-all, sim-exe-serial-refused: $sim_exe_dll in the SDK is damaged"
else
  wine "$win/bin/velm-sim.exe" --udp-host 127.0.0.1 --udp-port "$sim_exe_port" </dev/null \
    >"$tmp/sim-exe.log" 2>&1 &
  sim_exe_pid=$!
  for _ in $(seq 300); do grep -q ready "$tmp/sim-exe.log" && break; sleep 0.1; done
  if grep -q ready "$tmp/sim-exe.log"; then
    "$lin/bin/velm-initdb" sim-exe.mdb >/dev/null 2>&1
    check sim-exe-scan contains "TMR" sim_exe_cli scan 1 8
    check sim-exe-read-all sim_exe_read_all
  else
    failed+=("sim-exe")
    echo "FAIL sim-exe: velm-sim.exe did not say it was ready within 30 s"
    sed 's/^/    /' "$tmp/sim-exe.log" | tail -15
  fi
  kill "$sim_exe_pid" 2>/dev/null
  sim_exe_pid=
  check sim-exe-serial-refused sim_exe_serial_refused
fi
sim_exe_seconds=$(($(date +%s) - sim_exe_started))
cd - >/dev/null || exit 1

# The window: velm.exe opens on an X server of its own.
window_opens() {
  Xvfb :$display -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  mkdir -p "$tmp/window" && cd "$tmp/window" || return 1
  wine "$win/bin/velm-initdb.exe" VELM.mdb || return 1
  DISPLAY=:$display timeout 120 wine "$win/bin/velm.exe" &
  local velm=$!
  DISPLAY=:$display timeout 60 xdotool search --sync --onlyvisible --name VELM
  local status=$?
  kill "$velm" 2>/dev/null
  cd - >/dev/null || true
  return $status
}
display=$((RANDOM % 400 + 100))
check_program window-opens "$win/bin/velm.exe" windows window_opens

ended=$(date +%s)
echo "test-windows: $passed passed, ${#failed[@]} failed (${failed[*]:-}), ${#not_run[@]} not run" \
     "(${not_run[*]:-}); prefix $((wine_ready - started)) s, velm-sim.exe ${sim_exe_seconds} s," \
     "all $((ended - started)) s"
[ ${#failed[@]} -eq 0 ]
