#!/usr/bin/env bash
# mirvane.exe under Wine: files dragged from an X client replace the list (Wine
# hands them over as Z:\ names); dropped text is refused with the drop error box.
source "$(dirname "$0")/lib.sh"
wine_e2e_init "$@"

mkdir "$WORK/with blank"
solid "with blank/red pic.png" red 800 600
solid green.png '#00ff00' 800 600
solid yellow.png yellow 800 600

ini False 900 False
start_viewer yellow.png
wait_caption "Mirvane [yellow.png]" 6000 || abort "the show never started"

start_drag_source "with blank/red pic.png" green.png
check "drag and drop of two files completes" drag_to_viewer
first="Mirvane [$(winpath "$WORK/with blank/red pic.png")]"
check "first dropped file shown" wait_caption "$first" 3000
check "dropped red picture on view" wait_centre red 1000
next_step "$first" "Mirvane [$(winpath "$WORK/green.png")]" green 3000
stop_drag_source

start_drag_source --text "just some text"
check "drag of text completes" drag_to_viewer
check "drop error box opens" wait_for 3000 has_window '^ドロップエラー$'
shot_root win-drop-error >/dev/null
check "Return dismisses the drop error box" dismiss 'ドロップエラー'
check "refused drop changes nothing" stays "Mirvane [$(winpath "$WORK/green.png")]" green 1000
stop_drag_source
check "still running" viewer_alive
finish
