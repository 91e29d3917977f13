#!/usr/bin/env bash
# Real drag and drop from another X client: dropped files replace the list and
# the first comes up at once; dropped text is refused with a message box.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

mkdir "$WORK/with blank"
solid "with blank/red pic.png" red 800 600
solid green.png '#00ff00' 800 600
solid blue.png blue 800 600
solid yellow.png yellow 800 600

ini False 900 False
start_viewer yellow.png
wait_caption "Mirvane [yellow.png]" 6000 || abort "the show never started"

# Two files, the first with a blank in its path, onto a show that has stopped.
start_drag_source "with blank/red pic.png" green.png
check "drag and drop of two files completes" drag_to_viewer
log "drag source: $(tr '\n' ' ' <"$WORK/source.out")"
first="Mirvane [$WORK/with blank/red pic.png]"
first_ms=$(now_ms)
if wait_caption "$first" 3000; then
  ok "first dropped file shown"
  first_ms=$CAPTION_MS
  shown=$((CAPTION_MS - DROP_MS))
  check "first dropped file shown at once (${shown} ms after the release)" test "$shown" -le 400
else
  not_ok "first dropped file shown"
fi
check "dropped red picture on view" wait_centre red 1000
shot_window drop-first >/dev/null
next_step "$first" "Mirvane [$WORK/green.png]" green 3000
gap=$((STEP_MS - first_ms))
check "second dropped file one interval later (${gap} ms, interval 900)" test "$gap" -ge 700
check "the dropped list ends the show (loop off)" stays "Mirvane [$WORK/green.png]" green 1500
stop_drag_source

# Text is refused with a message box, and nothing else changes.
start_drag_source --text "just some text"
check "drag of text completes" drag_to_viewer
check "drop error box opens" wait_for 3000 has_window '^ドロップエラー$'
sleep 0.3
box=$(window_named '^ドロップエラー$')
[[ -n "$box" ]] && shot_root drop-error >/dev/null
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key Return
check "Return dismisses the drop error box" wait_for 3000 no_window '^ドロップエラー$'
check "refused drop changes nothing" stays "Mirvane [$WORK/green.png]" green 1000
stop_drag_source

# A later drop replaces the list again.
start_drag_source blue.png
check "drag of one file completes" drag_to_viewer
check "a new drop replaces the list" wait_caption "Mirvane [$WORK/blue.png]" 3000
check "dropped blue picture on view" wait_centre blue 1000
check "still running" viewer_alive
finish
