#!/usr/bin/env bash
# Installs the Debian packages VELM needs to build, run and test, when they are missing.
# As root it installs them itself; as anyone else it prints the one command that does and stops.
# `ensure-deps.sh windows` asks for what the Windows build and its tests under wine need
# besides (make windows, make test-windows); the everyday build never needs those.
set -euo pipefail
if [ "${1:-}" = windows ]; then
  packages=(cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine64 wine nsis xvfb xauth xdotool
            imagemagick)
else
packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libsqlite3-dev
          libgl-dev ninja-build ccache xvfb xauth xdotool clang libclang-rt-14-dev util-linux iproute2 desktop-file-utils dpkg-dev
          lintian tshark fonts-dejavu-core tidy poppler-utils mdbtools-dev mdbtools)
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "VELM needs these packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  sudo sh -c '$cmd'" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
sh -c "$cmd"
