# Cross-compiles the Windows program on Linux with mingw-w64 (Debian package
# g++-mingw-w64-x86-64-win32): a 64-bit Windows build with the win32 thread model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMO_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAMO_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TAMO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMO_MINGW_PREFIX})
# Build tools (the cartridge assembler) come from the build machine, libraries and headers from
# the mingw-w64 tree.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
