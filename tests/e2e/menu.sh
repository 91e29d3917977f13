#!/usr/bin/env bash
# The popup menu: opened by the right button only; the loop and rotation
# switches rewrite the settings file; previous and next step with wrap-around;
# the explanation and version boxes.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

solid red.png red 800 600
solid green.png '#00ff00' 800 600
solid blue.png blue 800 600

# From the start-up state, without a settings file.
start_viewer
xdotool mousemove --window "$VIEWER_WIN" 100 100 sleep 0.05 click 1 click 2
sleep 0.4
check "left and middle buttons open no menu" menu_closed
check "right button opens the menu" open_menu
sleep 0.2
shot_root menu >/dev/null
xdotool key Escape
check "Esc closes the menu" wait_for 2000 menu_closed
check "no settings file before a switch is used" test ! -e "$WORK/Mirvane.ini"
choose_entry $ENTRY_LOOP
check "loop switch creates Mirvane.ini with the defaults and Loop=True" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=2000\r\nRotate=False\r\n'
open_menu && sleep 0.2 && shot_root menu-loop-checked >/dev/null
xdotool key Escape
wait_for 2000 menu_closed
stop_viewer

# A show stopped on its last picture.
ini False 300 False
start_viewer red.png green.png blue.png
wait_caption "Mirvane [blue.png]" 8000 || abort "the show never reached blue.png"
sleep 0.4
choose_entry $ENTRY_LOOP
check "loop on: file rewritten" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=300\r\nRotate=False\r\n'
check "loop on does not restart a stopped show" stays "Mirvane [blue.png]" blue 1000
choose_entry $ENTRY_ROTATE
check "rotation on: file rewritten" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=300\r\nRotate=True\r\n'
open_menu && sleep 0.2 && shot_root menu-both-checked >/dev/null
xdotool key Escape
wait_for 2000 menu_closed
choose_entry $ENTRY_ROTATE
choose_entry $ENTRY_LOOP
check "both off again: file rewritten" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=False\r\nInterval=300\r\nRotate=False\r\n'
check "switches leave the picture on view" stays "Mirvane [blue.png]" blue 300

choose_entry $ENTRY_NEXT
check "next at the last name wraps to the first" wait_caption "Mirvane [red.png]" 2000
check "next: red on view" wait_centre red 1000
choose_entry $ENTRY_BEFORE
check "previous at the first name wraps to the last" wait_caption "Mirvane [blue.png]" 2000
choose_entry $ENTRY_BEFORE
check "previous steps back" wait_caption "Mirvane [green.png]" 2000
check "previous: green on view" wait_centre green 1000
check "a stopped show stays stopped after stepping" stays "Mirvane [green.png]" green 900

choose_entry $ENTRY_DOCUMENT
check "explanation box opens" wait_for 3000 has_window '^ちょっと説明$'
sleep 0.3
box=$(window_named '^ちょっと説明$')
[[ -n "$box" ]] && shot_window explanation "$box" >/dev/null
[[ -n "$box" ]] && window_geometry "$box" && log "explanation box ${WW}x${WH}"
xdotool key Return
check "Return dismisses the explanation box" wait_for 3000 no_window '^ちょっと説明$'

choose_entry $ENTRY_VERSION
check "version box opens" wait_for 3000 has_window '^ﾊﾞｰｼﾞｮﾝ情報$'
sleep 0.3
box=$(window_named '^ﾊﾞｰｼﾞｮﾝ情報$')
[[ -n "$box" ]] && shot_window version "$box" >/dev/null
xdotool key Return
check "Return dismisses the version box" wait_for 3000 no_window '^ﾊﾞｰｼﾞｮﾝ情報$'
check "the boxes changed nothing" stays "Mirvane [green.png]" green 300
check "the boxes wrote nothing" \
  file_is "$WORK/Mirvane.ini" 'Loop=False\r\nInterval=300\r\nRotate=False\r\n'
check "still running" viewer_alive
finish
