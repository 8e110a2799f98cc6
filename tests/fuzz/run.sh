#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) and runs
# each for a bounded time: FUZZ_SECONDS (default 30) each. A crash or a sanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)"
for target in load_fuzz debugger_fuzz; do
  mkdir -p "build-fuzz/corpus/$target"
  "build-fuzz/$target" -max_total_time="${FUZZ_SECONDS:-30}" -timeout=20 -rss_limit_mb=4096 \
    "build-fuzz/corpus/$target"
done
