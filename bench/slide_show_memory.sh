#!/usr/bin/env bash
# Peak resident memory of the whole program showing a slide show of large photos
# in a 1920 x 1080 window, on a virtual X server.
#   bench/slide_show_memory.sh VIEWER PHOTO_DIR [PICTURES]
set -euo pipefail
viewer=$(realpath "$1")
photos=$(cd "$2" && pwd)
count=${3:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'Loop=True\r\nInterval=150\r\nRotate=False\r\n' > Mirvane.ini
big=()
for f in "$photos"/*.jpg; do
  px=$(/usr/bin/identify -format '%w %h' "$f" | awk '{print $1 * $2}')
  [ "$px" -ge 20000000 ] && big+=("$f")
done
[ ${#big[@]} -gt 0 ] || { echo "no photo of 20 MP or more in $photos"; exit 1; }
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  viewer=$1; count=$2; shift 2
  "$viewer" "$@" & pid=$!
  win=$(xdotool search --sync --name "^Mirvane" | head -1)
  xdotool windowsize "$win" 1920 1080
  shown=0 last=""
  for _ in $(seq 1 600); do
    name=$(xdotool getwindowname "$win" 2>/dev/null || true)
    if [ "$name" != "$last" ] && [ "$name" != Mirvane ]; then shown=$((shown + 1)); last=$name; fi
    [ $shown -ge $count ] && break
    sleep 0.05
  done
  rss=$(awk "/VmHWM/ {print \$2}" /proc/$pid/status)
  kill $pid
  echo "pictures shown: $shown, each of 20 MP or more, window 1920x1080"
  echo "peak resident memory: $((rss / 1024)) MB"
' _ "$viewer" "$count" "${big[@]}" "${big[@]}" "${big[@]}" "${big[@]}"
