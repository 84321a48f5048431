#!/usr/bin/env bash
# Configures the Windows build folder (argument 1) with mingw-w64 and the Windows Qt SDK:
# $VELM_QT_WINDOWS when set, else ../shared/qt6-windows beside the clone.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
sdk=${VELM_QT_WINDOWS:-$(cd .. && pwd)/shared/qt6-windows}
if [ ! -f "$sdk/mingw.cmake" ] || [ ! -d "$sdk/lib/cmake/Qt6" ]; then
  echo "make windows: no Windows Qt SDK at $sdk" >&2
  echo "Set VELM_QT_WINDOWS to the folder that holds it (mingw.cmake, lib/cmake/Qt6, bin/*.dll)." >&2
  exit 1
fi
sdk=$(cd "$sdk" && pwd)
# Reconfigure only when the SDK moved: a configured folder otherwise keeps its settings.
if [ -f "$build/CMakeCache.txt" ] && grep -qx "VELM_QT_WINDOWS:PATH=$sdk" "$build/CMakeCache.txt"; then
  cmake "$build" >/dev/null
  exit 0
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$sdk/mingw.cmake" -DCMAKE_PREFIX_PATH="$sdk" -DVELM_QT_WINDOWS="$sdk" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
