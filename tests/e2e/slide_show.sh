#!/usr/bin/env bash
# The slide show: one name a tick, a corrupt file passed over within its tick, a
# missing one on its own tick, and the end of the list with and without looping.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

solid red.png red 800 600
solid green.png '#00ff00' 800 600
solid blue.png blue 800 600
mkdir "$WORK/pics"
solid pics/green.png '#00ff00' 640 480
corrupt bad.png

# Loop off: red, then bad.png fails and green follows in the same tick, then
# missing.png takes a tick of its own, then blue ends the show.
ini False 700 False
start_viewer red.png bad.png green.png missing.png blue.png
next_step "Mirvane" "Mirvane [red.png]" red 6000
red_ms=$STEP_MS
shot_window show-1-red >/dev/null
next_step "Mirvane [red.png]" "Mirvane [green.png]" green 3000
green_ms=$STEP_MS
shot_window show-2-green >/dev/null
gap=$((green_ms - red_ms))
check "corrupt bad.png passed over within its tick (red to green in ${gap} ms, interval 700)" \
  test "$gap" -ge 500 -a "$gap" -le 1050
next_step "Mirvane [green.png]" "Mirvane [blue.png]" blue 4000
gap=$((STEP_MS - green_ms))
shot_window show-3-blue >/dev/null
check "missing.png took a tick of its own (green to blue in ${gap} ms, two intervals)" \
  test "$gap" -ge 1050 -a "$gap" -le 2500
check "loop off: the show stops on the last picture" stays "Mirvane [blue.png]" blue 2500
stop_viewer

# A corrupt name at the end keeps the picture before it, caption included.
ini False 500 False
start_viewer red.png bad.png
next_step "Mirvane" "Mirvane [red.png]" red 6000
check "corrupt last name: previous picture and caption stay" stays "Mirvane [red.png]" red 1600
stop_viewer

# Loop on: after the last name the show starts over; names are shown as given.
ini True 700 False
start_viewer red.png pics/green.png blue.png
next_step "Mirvane" "Mirvane [red.png]" red 6000
next_step "Mirvane [red.png]" "Mirvane [pics/green.png]" green 3000
next_step "Mirvane [pics/green.png]" "Mirvane [blue.png]" blue 3000
next_step "Mirvane [blue.png]" "Mirvane [red.png]" red 3000
shot_window show-loop-again-red >/dev/null
next_step "Mirvane [red.png]" "Mirvane [pics/green.png]" green 3000
stop_viewer

# A double blank leaves an empty name in the list: it takes a silent tick of its own and
# the show goes on, whatever the pictures prepared ahead hold.
ini False 300 False
start_viewer "red.png  green.png blue.png"
next_step "Mirvane" "Mirvane [red.png]" red 6000
next_step "Mirvane [red.png]" "Mirvane [green.png]" green 3000
next_step "Mirvane [green.png]" "Mirvane [blue.png]" blue 3000
stop_viewer

# Loop on with one name: shown once, then the timer stops.
ini True 300 False
start_viewer blue.png
next_step "Mirvane" "Mirvane [blue.png]" blue 6000
check "one name: shown and the show stops" stays "Mirvane [blue.png]" blue 1200
finish
