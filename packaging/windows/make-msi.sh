#!/usr/bin/env bash
# Builds the Windows installer from mirvane.wxs.in with wixl:
#   make-msi.sh BUILD_DIR VERSION OUT.msi
# BUILD_DIR is the Windows build (its mirvane.exe and mirvane.ico). Called by
# scripts/package-windows.sh, and by the installer's test for an upgrade.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
version=${2:?version}
out=$(realpath -m "${3:?output file}")

# Every extension the program reads, offered under "Open with".
extensions=(
  jpg jpeg jpe jfif png apng gif bmp dib tif tiff webp pcx ico cur tga
  pnm pbm pgm ppm heic heif avif jxl svg
  dng cr2 cr3 nef arw orf raf rw2 pef srw
)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# wixl takes the files by names relative to the folder it runs in.
cp "$build/src/mirvane.exe" "$build/src/platform/win32/mirvane.ico" "$stage/"
# Windows line ends, for any editor that opens them.
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
sed 's/$/\r/' "$here/README.txt" >"$stage/README.txt"

# Apps & features shows the size in KiB.
size_kb=$(cd "$stage" && du -k -c mirvane.exe LICENSE.txt README.txt | tail -n 1 | cut -f 1)

supported="" progids=""
for ext in "${extensions[@]}"; do
  supported+="        <RegistryValue Root=\"HKCU\" Key=\"Software\\Classes\\Applications\\mirvane.exe\\SupportedTypes\" Name=\".$ext\" Type=\"string\" Value=\"\" />"$'\n'
  progids+="        <RegistryValue Root=\"HKCU\" Key=\"Software\\Classes\\.$ext\\OpenWithProgids\" Name=\"Mirvane.Picture\" Type=\"string\" Value=\"\" />"$'\n'
done

wxs=$(<"$here/mirvane.wxs.in")
wxs=${wxs//@VERSION@/"$version"}
wxs=${wxs//@SIZE_KB@/"$size_kb"}
wxs=${wxs//@SUPPORTED_TYPES@/"${supported%$'\n'}"}
wxs=${wxs//@OPEN_WITH_PROGIDS@/"${progids%$'\n'}"}
printf '%s\n' "$wxs" >"$stage/mirvane.wxs"

(cd "$stage" && wixl --arch x64 --output "$out" mirvane.wxs)
