#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build with all tests, the Debian
# package installed and removed for real, the Windows build with its tests under
# Wine, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# except the end-to-end and fidelity ones (whose time goes to the X server and
# ImageMagick), then a short fuzz run of the decoders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/setup.sh"

bash "$root/scripts/build.sh" "$root/build"
# The Windows slot's fidelity tests (label win32) need the Windows build: test-windows.sh
# runs them.
(cd "$root/build" && ctest --output-on-failure -j "$jobs" -LE win32)

# Skipped (77) only off CI, where installing needs root.
bash "$root/tests/package/install_test.sh" "$root/build-package" || [ $? -eq 77 ]

# The Windows program, cross-built and run under Wine.
bash "$root/scripts/test-windows.sh" "$root/build-windows" "$root/build"

bash "$root/scripts/build.sh" "$root/build-asan" -DMIRVANE_SANITIZE=ON -DMIRVANE_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs" -LE 'e2e|fidelity')

if [ -f "$root/fuzz/run.sh" ]; then
  bash "$root/fuzz/run.sh" "${MIRVANE_FUZZ_SECONDS:-60}"
fi
