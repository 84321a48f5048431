#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds.
set -euo pipefail
build=${1:-build-fuzz}; seconds=${2:-20}
gen=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null | grep . || echo Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build" -G "$gen" -DCMAKE_BUILD_TYPE=Debug -DVELM_FUZZ=ON -DVELM_WERROR=ON >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
for t in $targets; do
  cmake --build "$build" --target "$t" -j "$(nproc)"
  corpus="$build/corpus/$t"; mkdir -p "$corpus"
  [ -d "fuzz/seeds/$t" ] && cp -n fuzz/seeds/$t/* "$corpus"/ 2>/dev/null || true
  echo "== fuzzing $t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$build/bin/$t" -max_total_time="$seconds" -max_len=2100 -print_final_stats=1 "$corpus" 2>&1 | tail -n 5
done
echo "fuzz: no crash, no sanitizer report"
