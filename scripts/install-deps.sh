#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and run.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev libqt6svg6 qt6-qpa-plugins
  libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libfftw3-dev
  libarchive-dev libusb-1.0-0-dev libzip-dev libpugixml-dev
  python3 python3-numpy fp-compiler
  clang libclang-rt-14-dev
  xvfb xauth imagemagick fonts-dejavu-core
  lrzsz socat p7zip-full
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
