#!/usr/bin/env bash
# mirvane.exe under Wine: the window comes up at its size, a short show runs with
# captions and pictures, a broken file is passed over, the last picture stays.
source "$(dirname "$0")/lib.sh"
wine_e2e_init "$@"

solid red.png red 800 600
solid green.gif '#00ff00' 600 800
"$CONVERT" -size 800x600 xc:blue -quality 95 "$WORK/blue.jpg"
corrupt broken.png
ini False 700 False

start_viewer red.png broken.png green.gif blue.jpg
up=$((UP_MS - START_MS))
log "window up ${up} ms after the start"
check "window up within 3 s of the start (${up} ms)" test "$up" -le 3000
check "client area ${CLIENT_W}x${CLIENT_H} (outer ${WW}x${WH})" \
  test "$((WW - 2 * FRAME_X))" -eq "$CLIENT_W" -a "$FRAME_Y" -gt 0
check "caption is Mirvane before the first tick" caption_is "Mirvane"
check "first picture" wait_caption "Mirvane [red.png]" 3000
check "red on view" wait_centre red 1000
shot_window win-show-red >/dev/null
next_step "Mirvane [red.png]" "Mirvane [green.gif]" green 3000
next_step "Mirvane [green.gif]" "Mirvane [blue.jpg]" blue 3000
check "the show ends on the last picture (loop off)" stays "Mirvane [blue.jpg]" blue 1500
check "still running" viewer_alive
finish
