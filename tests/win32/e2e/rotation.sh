#!/usr/bin/env bash
# mirvane.exe under Wine, rotation on in the landscape window: a portrait picture
# that comes after another, and so is prepared ahead turned, shows turned a quarter
# turn clockwise; a landscape one does not.
source "$(dirname "$0")/lib.sh"
wine_e2e_init "$@"

# Portrait, blue above yellow: turned clockwise it reads yellow left, blue right.
halves portrait.png blue yellow 600 800
# Landscape, magenta above green.
halves landscape.png magenta '#00ff00' 800 600

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
start_viewer landscape.png portrait.png
# Points in the slot: a turned 3:4 picture fills its height and spans its middle
# 440 pixels; unturned it would span only the middle 248.
at() { printf '%d,%d' $((FRAME_X + $1)) $((FRAME_Y + $2)); }
mid=$((SLOT_H / 2))
check "first picture" wait_caption "Mirvane [landscape.png]" 6000
check "landscape picture not turned (magenta above green)" \
  wait_for 1000 shape_is "magenta green" "$(at $((SLOT_W / 2)) 60)" "$(at $((SLOT_W / 2)) $((SLOT_H - 60)))"
next_step "Mirvane [landscape.png]" "Mirvane [portrait.png]" blue 3000 || true
check "portrait picture prepared ahead, turned clockwise (yellow left, blue right)" \
  wait_for 1000 shape_is "yellow blue yellow yellow" "$(at 120 "$mid")" \
  "$(at $((SLOT_W - 120)) "$mid")" "$(at 120 40)" "$(at 120 $((SLOT_H - 40)))"
shot_window win-rotate-prepared >/dev/null
check "still running" viewer_alive
finish
