#!/usr/bin/env bash
# Cross-builds the Windows program and the Windows build of the unit tests into
# build-windows/ (or the folder given) with mingw-w64, installing what is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
shift || true
bash "$root/scripts/setup.sh"
# The codec libraries, cross-built from Debian's sources once and cached outside the clone.
libs=$(bash "$root/scripts/windows-libs.sh" | tail -n 1)
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DMIRVANE_WINDOWS_LIBS="$libs" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh;--prefix;$dir/wineprefix" \
  "$@" >/dev/null
cmake --build "$dir" -j "${MIRVANE_JOBS:-$(nproc)}"
