#!/usr/bin/env bash
# Sets everything up, builds, and runs the bundled cartridge headless for ten seconds of console
# time, leaving its last frame in build/tamo-run.png. Extra arguments go to tamo-headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
rom=build/tests/roms/smoke.gba
./build/tamo-headless --frames 600 --screenshot build/tamo-run.png "$@" "$rom"
echo "ran $rom for 600 frames; last frame in build/tamo-run.png"
