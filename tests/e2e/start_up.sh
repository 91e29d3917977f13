#!/usr/bin/env bash
# Start-up: the window's size and caption before the first tick, and the first
# picture one interval after start, with and without a settings file.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

solid red.png red 800 600

# With a settings file: the first picture comes one interval (1500 ms) after start.
ini False 1500 False
start_viewer red.png
before_ms=$(($(now_ms) - START_MS))
check "caption is \"Mirvane\" before the first tick (window up after ${before_ms} ms)" \
  caption_is "Mirvane"
window_geometry "$VIEWER_WIN"
check "client area is ${CLIENT_W}x${CLIENT_H} (got ${WW}x${WH})" \
  test "$WW" -eq "$CLIENT_W" -a "$WH" -eq "$CLIENT_H"
check "dark background before the first picture" centre_is dark
shot_window start-empty >/dev/null
if (($(now_ms) - START_MS > 1400)); then
  log "note: the window came up late; the checks before the first tick may have raced it"
fi
check "first picture shown" wait_caption "Mirvane [red.png]" 8000
first_ms=$((CAPTION_MS - START_MS))
check "first picture one interval after start (1500 ms; came at ${first_ms} ms)" \
  test "$first_ms" -ge 1400 -a "$first_ms" -le 5000
check "first picture drawn in the centre" wait_centre red 1000
shot_window start-first-picture >/dev/null
check "Mirvane.ini untouched" file_is "$WORK/Mirvane.ini" 'Loop=False\r\nInterval=1500\r\nRotate=False\r\n'
stop_viewer

# Without a settings file the interval is 2000 ms, and nothing is written.
rm -f "$WORK/Mirvane.ini"
start_viewer red.png
check "caption is \"Mirvane\" at start without settings" caption_is "Mirvane"
check "first picture shown without settings" wait_caption "Mirvane [red.png]" 8000
first_ms=$((CAPTION_MS - START_MS))
check "first picture 2000 ms after start by default (came at ${first_ms} ms)" \
  test "$first_ms" -ge 1900 -a "$first_ms" -le 5500
stop_viewer
check "no settings file written" test ! -e "$WORK/Mirvane.ini"

# No names: the window stays empty and the caption stays "Mirvane".
ini False 300 False
start_viewer
sleep 1
check "no names: caption stays \"Mirvane\"" caption_is "Mirvane"
check "no names: nothing drawn" centre_is dark
check "no names: window still ${CLIENT_W}x${CLIENT_H}" \
  bash -c "xdotool getwindowgeometry $VIEWER_WIN | grep -q 'Geometry: ${CLIENT_W}x${CLIENT_H}'"
stop_viewer
check "settings file left as it was" file_is "$WORK/Mirvane.ini" 'Loop=False\r\nInterval=300\r\nRotate=False\r\n'
finish
