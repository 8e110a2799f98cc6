#!/usr/bin/env bash
# Installs what is missing, builds tamo, tamo-headless and the demo cartridge (nothing else), and
# starts tamo on the demo when there is a display. Without one it runs the demo headless for ten
# seconds of console time, holding a few keys on the way, and leaves its last frame in
# build/tamo-run.png. Extra arguments go to the program started.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
log=build/run.log
: >"$log"
stage() { # TEXT COMMAND...: one line per stage; the whole log when it fails
  local text=$1
  shift
  printf '%s... ' "$text"
  if "$@" >>"$log" 2>&1; then
    echo done
  else
    echo failed
    cat "$log"
    echo "run.sh: '$text' failed; the log above is in $(pwd)/$log" >&2
    exit 1
  fi
}
configure=(cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release)
# A first configuration leaves the tests out; a build folder that scripts/test.sh made keeps them.
[ -f build/CMakeCache.txt ] || configure+=(-DTAMO_BUILD_TESTS=OFF)
stage "installing the packages that are missing" scripts/setup.sh run
stage "configuring" "${configure[@]}"
stage "taking the speed profile (benchmarks and demo)" scripts/profile.sh
stage "building tamo, tamo-headless and the demo cartridge" \
  cmake --build build --target tamo-desktop tamo-headless cartridge_demo
rom=build/demo/demo.gba
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "starting tamo on $rom (log: $(pwd)/$log)"
  exec ./build/tamo "$@" "$rom"
fi
keys="RIGHT@60-100,DOWN@100-115,A@200-260"
echo "no display (DISPLAY and WAYLAND_DISPLAY are not set): running $rom headless"
./build/tamo-headless --frames 600 --keys "$keys" --screenshot build/tamo-run.png "$@" "$rom"
echo "ran $rom for 600 frames with the keys $keys"
echo "the last frame is in $(pwd)/build/tamo-run.png"
