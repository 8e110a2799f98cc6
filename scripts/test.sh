#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: once in the release build, then once more
# under AddressSanitizer and UndefinedBehaviorSanitizer (scripts/test-sanitized.sh), then the
# loading path and the text debugger's input under libFuzzer (tests/fuzz/run.sh), then the
# Windows program under wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
scripts/test-sanitized.sh
tests/fuzz/run.sh
scripts/test-windows.sh
