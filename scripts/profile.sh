#!/usr/bin/env bash
# Takes the profile that the release build in ./build is optimised with (profile-guided
# optimisation, TAMO_PROFILE in CMakeLists.txt): an instrumented tamo-bench runs the benchmark
# cartridges and the demo, and the build is then set to use what it counted. The profile is taken
# again only when the sources have changed since the last one. Needs a configured ./build; the
# caller builds afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
profile=build/profile
sources=$(find CMakeLists.txt cmake src bench demo -type f -print0 | LC_ALL=C sort -z |
  xargs -0 cksum | cksum)
if [ "$(cat "$profile/sources" 2>/dev/null)" != "$sources" ]; then
  cmake -S . -B build -DTAMO_PROFILE=generate >/dev/null
  cmake --build build --target tamo-bench cartridge_bench_thumb cartridge_bench_arm \
    cartridge_bench_picture cartridge_demo
  rm -rf "$profile"
  mkdir -p "$profile"
  build/bench/tamo-bench --frames 600 --runs 1 build/bench/bench_thumb.gba \
    build/bench/bench_arm.gba build/bench/bench_picture.gba build/demo/demo.gba
  echo "$sources" >"$profile/sources"
fi
cmake -S . -B build -DTAMO_PROFILE=use >/dev/null
