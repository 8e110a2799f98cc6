#!/usr/bin/env bash
# Configures and builds everything (emulator, tests, cartridges) in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMO_BUILD_TESTS=ON >/dev/null
cmake --build build
