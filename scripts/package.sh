#!/usr/bin/env bash
# Builds the Debian package into build-package/ (or the folder given) and prints
# its path: the program as the tests build it (RelWithDebInfo) with Debian's
# hardening flags, stripped, with Depends from dpkg-shlibdeps plus what it loads
# at run time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-package}
bash "$root/scripts/setup.sh"
# It reads files from anywhere: every hardening flag Debian has.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVANE_BENCH=OFF \
  "-DCMAKE_C_FLAGS=$(flags CPPFLAGS) $(flags CFLAGS)" \
  "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  "-DCMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS=OWNER_READ;OWNER_WRITE;OWNER_EXECUTE;GROUP_READ;GROUP_EXECUTE;WORLD_READ;WORLD_EXECUTE" \
  >/dev/null
# Only what the package holds: the tests are not built here.
cmake --build "$dir" --target mirvane mirvane_desktop_files
rm -f "$dir"/mirvane_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/mirvane_*.deb
