#!/usr/bin/env bash
# Sets everything up, builds, and runs the demo cartridge headless for ten seconds of console time,
# holding a few keys on the way (the creature walks right and down, the disc spins faster), and
# leaves its last frame in build/tamo-run.png. Extra arguments go to tamo-headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
rom=build/demo/demo.gba
keys="RIGHT@60-100,DOWN@100-115,A@200-260"
./build/tamo-headless --frames 600 --keys "$keys" --screenshot build/tamo-run.png "$@" "$rom"
echo "ran $rom for 600 frames with the keys $keys"
echo "the last frame is in $(pwd)/build/tamo-run.png"
