#!/usr/bin/env bash
# Cross-builds the Windows program and its tests into build-windows/ (or the folder
# given), then runs them under Wine: the core's and the Win32 platform's unit tests on
# a virtual display, the Windows slot's pixels against ImageMagick's (the Linux build's
# fidelity test, label win32), and the end-to-end checks of mirvane.exe. Those drag
# files from the Linux build's drag source, so the Linux build (build/, or the second
# folder given) must hold it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
linux_build=${2:-$root/build}
prefix=$dir/wineprefix

bash "$root/scripts/build-windows.sh" "$dir"
# Making the prefix takes a quarter of a minute, once. Wine's session keeps the
# display it started on, so each display gets a session of its own: wait for the
# last one to end before using another.
"$root/scripts/wine-run.sh" --prefix "$prefix" cmd /c exit 0
WINEPREFIX=$prefix wineserver -w

xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  ctest --test-dir "$dir" --output-on-failure
WINEPREFIX=$prefix wineserver -w

failed=0
cmake --build "$linux_build" --target image_fidelity_test
MIRVANE_WIN32_BUILD=$(cd "$dir" && pwd) xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  ctest --test-dir "$linux_build" --output-on-failure -L win32 || failed=1
WINEPREFIX=$prefix wineserver -w

[[ -x "$linux_build/tests/e2e/drag_source" ]] ||
  cmake --build "$linux_build" --target drag_source
for test in show menu drop dpi rotation; do
  bash "$root/tests/win32/e2e/$test.sh" "$dir/src/mirvane.exe" \
    "$linux_build/tests/e2e/drag_source" "$prefix" || failed=1
done

# The installer, installed, upgraded and removed in a fresh prefix of its own.
bash "$root/scripts/package-windows.sh" "$dir" >/dev/null
bash "$root/tests/win32/e2e/installer.sh" "$dir" || failed=1
exit $failed
