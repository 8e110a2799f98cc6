#!/usr/bin/env bash
# Configures and builds everything (emulator, tests, cartridges) in ./build, optimised with the
# profile of the benchmark cartridges and the demo (scripts/profile.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMO_BUILD_TESTS=ON >/dev/null
scripts/profile.sh
cmake --build build
