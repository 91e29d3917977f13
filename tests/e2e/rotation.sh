#!/usr/bin/env bash
# Automatic rotation: in the landscape window a portrait picture is turned a
# quarter turn clockwise, a landscape one is not; with rotation off nothing turns.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

# Portrait, blue above yellow: turned clockwise it reads yellow left, blue right.
halves portrait.png blue yellow 600 800
# Landscape, magenta above green.
halves landscape.png magenta '#00ff00' 800 600

# Points in the slot (459x303): a 4:3 picture fills its height and spans x 28..431;
# a 3:4 one spans x 116..343.
MID_Y=$((SLOT_H / 2))
LEFT="120,$MID_Y"
RIGHT="340,$MID_Y"
LEFT_TOP="120,40"
LEFT_BOTTOM="120,260"
TOP="229,60"
BOTTOM="229,240"
FAR_LEFT="60,$MID_Y"
FAR_RIGHT="400,$MID_Y"

# shape_is EXPECTED POINT...: the colours at the points, in one grab.
shape_is() {
  local expected=$1 got
  shift
  got=$(colours_at "$@")
  [[ "$got" == "$expected" ]] && return 0
  log "colours at $*: $got, expected $expected"
  return 1
}

ini False 900 True
start_viewer portrait.png landscape.png
wait_caption "Mirvane [portrait.png]" 6000 || abort "portrait picture never shown"
check "rotation on: portrait turned clockwise (yellow left, blue right)" \
  wait_for 1000 shape_is "yellow blue yellow yellow" "$LEFT" "$RIGHT" "$LEFT_TOP" "$LEFT_BOTTOM"
shot_window rotate-on-portrait >/dev/null
wait_caption "Mirvane [landscape.png]" 3000 || abort "landscape picture never shown"
check "rotation on: landscape picture not turned (magenta above green)" \
  wait_for 1000 shape_is "magenta green dark" "$TOP" "$BOTTOM" "10,$MID_Y"
shot_window rotate-on-landscape >/dev/null
stop_viewer

ini False 500 False
start_viewer portrait.png
wait_caption "Mirvane [portrait.png]" 6000 || abort "portrait picture never shown"
check "rotation off: portrait not turned (blue above yellow, dark at the sides)" \
  wait_for 1000 shape_is "blue yellow dark dark" "$TOP" "$BOTTOM" "$FAR_LEFT" "$FAR_RIGHT"
shot_window rotate-off-portrait >/dev/null
stop_viewer

# A window made higher than wide: the slots follow its size, and a landscape
# picture is turned (magenta above green becomes green left, magenta right).
ini False 1500 True
start_viewer landscape.png
xdotool windowsize --sync "$VIEWER_WIN" 330 467
caption_is "Mirvane" || log "note: the first tick came before the resize"
wait_caption "Mirvane [landscape.png]" 6000 || abort "landscape picture never shown"
# The slot is 322x440; the turned 3:4 picture fills its width, rows 5..434.
check "portrait window: landscape picture turned clockwise (green left, magenta right)" \
  wait_for 1000 shape_is "green magenta green magenta" "80,220" "240,220" "80,60" "240,380"
shot_window rotate-on-portrait-window >/dev/null
finish
