#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program build-win32/fwflash.exe and its Windows tests
# with MinGW-w64. Extra arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build-win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFWFLASH_WERROR=ON "$@" >/dev/null
cmake --build "$root/build-win32" -j "$(nproc)"
