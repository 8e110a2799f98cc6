#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 in ./build-win32 and leaves the release folder
# in build-win32/release: Tamo.exe (nothing else needed beside it), a commented Tamo.ini and the
# demo cartridge demo.gba. Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTAMO_BUILD_TESTS=OFF "$@" >/dev/null
nice cmake --build build-win32 -j2
echo "release folder: $(pwd)/build-win32/release"
