#!/usr/bin/env bash
# The exit command ends the process at once and writes nothing.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

solid red.png red 800 600
solid green.png '#00ff00' 800 600

# A settings file the program would never write itself: it must come through byte for byte.
printf 'Interval=500\r\nLoop=true\r\nRotate=0\r\n' >"$WORK/Mirvane.ini"
cp "$WORK/Mirvane.ini" "$WORK/ini.before"
start_viewer red.png green.png
wait_caption "Mirvane [red.png]" 6000 || abort "the show never started"
choose_entry $ENTRY_END
check "exit ends the running show's process" wait_for 3000 viewer_gone
wait "$VIEWER_PID"
status=$?
check "exit status 0 (got $status)" test "$status" -eq 0
check "Mirvane.ini byte-identical after exit" cmp "$WORK/ini.before" "$WORK/Mirvane.ini"
VIEWER_PID=""

# Without a settings file, exit leaves none.
rm -f "$WORK/Mirvane.ini"
start_viewer
choose_entry $ENTRY_END
check "exit ends the idle process" wait_for 3000 viewer_gone
wait "$VIEWER_PID"
status=$?
check "exit status 0 (got $status)" test "$status" -eq 0
check "no Mirvane.ini after exit" test ! -e "$WORK/Mirvane.ini"
VIEWER_PID=""
finish
