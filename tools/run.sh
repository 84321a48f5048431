#!/usr/bin/env bash
# Starts velm in the run folder, creating the record database there when it is missing.
set -euo pipefail
build=$(cd "${1:-build}" && pwd); dir=${2:-run}
mkdir -p "$dir"; cd "$dir"
[ -f VELM.mdb ] || "$build/bin/velm-initdb" VELM.mdb
exec "$build/bin/velm"
