#!/usr/bin/env bash
# Builds the Windows program (scripts/build-windows.sh) and packages it in
# build-windows/ (or the folder given): Mirvane-<version>-x64.msi, a per-user
# installer made with wixl, and Mirvane-<version>-x64.zip, the portable program with
# its licence, read-me and sample pictures. Prints the two files' names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}

bash "$root/scripts/build-windows.sh" "$dir"
dir=$(cd "$dir" && pwd)
version=$(sed -n 's/^project(Mirvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
name=Mirvane-$version-x64

bash "$root/packaging/windows/make-msi.sh" "$dir" "$version" "$dir/$name.msi"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/samples"
cp "$dir/src/mirvane.exe" "$stage/$name/"
sed 's/$/\r/' "$root/LICENSE" >"$stage/$name/LICENSE.txt"
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/$name/README.txt"
cp "$root"/data/samples/* "$stage/$name/samples/"
rm -f "$dir/$name.zip"
(cd "$stage" && zip -q -X -r -9 "$dir/$name.zip" "$name")

echo "$dir/$name.msi"
echo "$dir/$name.zip"
