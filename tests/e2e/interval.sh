#!/usr/bin/env bash
# The interval command: the dialog shows the current interval, Enter confirms,
# Esc cancels (the file is rewritten all the same), out-of-range text gets the
# range message, and a new interval changes the pace of the running show.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

solid red.png red 800 600
solid green.png '#00ff00' 800 600
solid blue.png blue 800 600

DIALOG='^タイマー設定$'
RANGE='^数値範囲エラー$'

# median_gap COUNT TIMEOUT_MS: the median time between COUNT+1 caption changes.
median_gap() {
  local count=$1 timeout=$2 old t0 gaps=()
  old=$(caption)
  wait_caption_change "$old" "$timeout" || return 1
  t0=$CAPTION_MS
  for ((i = 0; i < count; i++)); do
    wait_caption_change "$CAPTION" "$timeout" || return 1
    gaps+=($((CAPTION_MS - t0)))
    t0=$CAPTION_MS
  done
  log "gaps: ${gaps[*]}" >&2
  printf '%s\n' "${gaps[@]}" | sort -n | sed -n "$(((count + 1) / 2))p"
}

open_dialog() {
  choose_entry $ENTRY_TIMER || return 1
  wait_for 3000 has_window "$DIALOG" || return 1
  DIALOG_WIN=$(window_named "$DIALOG")
  # Nothing manages focus without a window manager; give the dialog the keyboard.
  xdotool windowfocus --sync "$DIALOG_WIN" 2>/dev/null
  sleep 0.1
}

dialog_closed() { no_window "$DIALOG"; }

# replace_text TEXT: replaces the text box's contents.
replace_text() {
  xdotool key --delay 30 ctrl+a
  xdotool type --delay 30 "$1"
}

# enter_text TEXT: replaces the text box's contents and presses Enter.
enter_text() {
  replace_text "$1"
  xdotool key Return
}

# range_error TEXT: TEXT is refused with the range message and the dialog stays.
range_error() {
  enter_text "$1"
  wait_for 3000 has_window "$RANGE" || { log "no range message for \"$1\""; return 1; }
  [[ -n "${RANGE_SHOT:-}" ]] || { sleep 0.2; shot_root range-error >/dev/null; RANGE_SHOT=1; }
  xdotool windowfocus --sync "$(window_named "$RANGE")" 2>/dev/null
  xdotool key Return
  wait_for 3000 no_window "$RANGE" || { log "range message for \"$1\" stays"; return 1; }
  has_window "$DIALOG" || { log "dialog closed after \"$1\""; return 1; }
  xdotool windowfocus --sync "$DIALOG_WIN" 2>/dev/null
  sleep 0.1
}

ini True 1000 False
start_viewer red.png green.png blue.png
wait_caption "Mirvane [red.png]" 8000 || abort "the show never started"
before=$(median_gap 2 3000)
check "pace before: about 1000 ms (median gap ${before:-none})" \
  test -n "$before" -a "${before:-0}" -ge 850 -a "${before:-0}" -le 1500

# Enter on the text as it opens hands back the current interval.
open_dialog || abort "the interval dialog did not open"
shot_window dialog "$DIALOG_WIN" >/dev/null
shot_root dialog-screen >/dev/null
check "the show goes on behind the dialog" wait_caption_change "$(caption)" 2500
rm -f "$WORK/Mirvane.ini"
xdotool key Return
check "Enter closes the dialog" wait_for 3000 dialog_closed
check "the dialog held the current interval (file rewritten with 1000)" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=1000\r\nRotate=False\r\n'

# Esc cancels, and the file is rewritten unchanged.
open_dialog || abort "the interval dialog did not open again"
replace_text 123
rm -f "$WORK/Mirvane.ini"
xdotool key Escape
check "Esc closes the dialog" wait_for 3000 dialog_closed
check "Esc: file rewritten with the interval unchanged" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=1000\r\nRotate=False\r\n'

# Out-of-range text is refused; then 400 is taken.
open_dialog || abort "the interval dialog did not open a third time"
rm -f "$WORK/Mirvane.ini"
for text in 0 65536 abc; do
  check "\"$text\" gets the range message and the dialog stays" range_error "$text"
done
check "refused text writes nothing" test ! -e "$WORK/Mirvane.ini"
enter_text 400
check "400 accepted: the dialog closes" wait_for 3000 dialog_closed
check "file holds Interval=400" \
  wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=400\r\nRotate=False\r\n'
after=$(median_gap 4 3000)
check "pace after: about 400 ms (median gap ${after:-none})" \
  test -n "$after" -a "${after:-0}" -ge 300 -a "${after:-0}" -le 700

# The dialog opens with the new interval.
open_dialog || abort "the interval dialog did not open a fourth time"
rm -f "$WORK/Mirvane.ini"
xdotool key Return
check "reopened dialog held 400" \
  wait_for 3000 file_is "$WORK/Mirvane.ini" 'Loop=True\r\nInterval=400\r\nRotate=False\r\n'
check "still running" viewer_alive
finish
