#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are missing.
# Safe to run again: it installs only what is absent. Uses sudo when not run as root.
# `setup.sh run` installs only what scripts/run.sh builds and runs (the programs and the demo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libpng-dev libcli11-dev binutils-arm-none-eabi
  libsdl2-dev libimgui-dev libstb-dev fonts-dejavu-core zenity
)
if [ "${1:-}" != run ]; then
  packages+=(
    libgtest-dev libgmock-dev libunicorn-dev gdb-multiarch
    clang-format clang libclang-rt-14-dev
    xvfb xdotool imagemagick
    g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine wine64
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
