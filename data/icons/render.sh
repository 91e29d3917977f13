#!/bin/sh
# Renders the program's icon, mirvane.svg, to the PNG sizes that the window and
# the desktop use. The renders are committed so that building needs no SVG
# renderer; run this after changing the drawing (needs rsvg-convert, from
# librsvg2-bin). With --check it renders into a temporary folder and fails when
# a committed render differs from the drawing.
set -eu
cd "$(dirname "$0")"
sizes="16 32 48 64 128 256"
out=.
if [ "${1:-}" = "--check" ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
for size in $sizes; do
  rsvg-convert -w "$size" -h "$size" mirvane.svg -o "$out/mirvane-$size.png"
  # Drop the time stamps and text chunks, so that a render is the same every time.
  /usr/bin/convert "$out/mirvane-$size.png" -strip "PNG32:$out/mirvane-$size.png"
done
[ "$out" = . ] && exit 0
status=0
for size in $sizes; do
  # A few units of difference are allowed for another version of the renderer.
  diff=$(/usr/bin/compare -metric AE -fuzz 3% "mirvane-$size.png" "$out/mirvane-$size.png" null: 2>&1) || true
  if [ "$diff" != 0 ]; then
    echo "mirvane-$size.png differs from mirvane.svg in $diff pixels: run $0" >&2
    status=1
  fi
done
exit $status
