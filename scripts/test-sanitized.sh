#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in ./build-sanitized and
# runs the tests there: any memory error or undefined behaviour fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
flags="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-sanitized -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-sanitized
cd build-sanitized
ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$(nproc)" -E '^clang_format$'
