#!/usr/bin/env bash
# Builds Tamo.exe (scripts/build-windows.sh) and runs its end-to-end tests under wine inside
# Xvfb (tests/desktop/wine_test.sh), with tamo-headless and the test cartridges of ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh
nice cmake --build build --target tamo-headless cartridge_keys cartridge_wine_warn cartridge_gdb_cart
timeout 600 tests/desktop/wine_test.sh build-win32/release build/tamo-headless \
  build/tests/desktop/keys.gba build/tests/desktop/wine_warn.gba build-win32/wine-test \
  build/tests/gdb/gdb_cart.gba
