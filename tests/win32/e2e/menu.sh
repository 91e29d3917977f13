#!/usr/bin/env bash
# mirvane.exe under Wine: the popup menu on a right click, the interval dialog with
# its range message, the explanation box, a switch that rewrites the settings, and
# the exit command.
source "$(dirname "$0")/lib.sh"
wine_e2e_init "$@"

solid red.png red 800 600
start_viewer
xdotool mousemove --window "$VIEWER_WIN" $((CLIENT_W / 2)) $((CLIENT_H / 2)) click 1

check "right click opens the menu" open_menu
shot_root win-menu >/dev/null
xdotool key Escape
check "Esc closes the menu" wait_for 3000 menu_closed

# The interval dialog: out of range, then a good value.
check "timer entry taken" choose_entry "$ENTRY_TIMER"
check "interval dialog opens" wait_for 3000 has_window '^タイマー設定$'
shot_root win-interval >/dev/null
xdotool key ctrl+a BackSpace 0 Return
check "0 gives the range message" wait_for 3000 has_window '^数値範囲エラー$'
shot_root win-range >/dev/null
check "the range message goes with Return" dismiss '数値範囲エラー'
check "the dialog stays open" has_window '^タイマー設定$'
# The box gives the keyboard back to the dialog's text box.
xdotool key ctrl+a BackSpace 7 5 0 Return
check "750 closes the dialog" wait_for 3000 no_window '^タイマー設定$'
check "750 is saved" wait_for 2000 file_is "$WORK/Mirvane.ini" 'Loop=False\r\nInterval=750\r\nRotate=False\r\n'

# Esc cancels, and the file is still rewritten with the same values.
rm -f "$WORK/Mirvane.ini"
check "timer entry taken again" choose_entry "$ENTRY_TIMER"
check "interval dialog opens again" wait_for 3000 has_window '^タイマー設定$'
xdotool key Escape
check "Esc closes the dialog" wait_for 3000 no_window '^タイマー設定$'
check "cancel rewrites the same values" wait_for 2000 file_is "$WORK/Mirvane.ini" \
  'Loop=False\r\nInterval=750\r\nRotate=False\r\n'

check "loop entry taken" choose_entry "$ENTRY_LOOP"
check "loop is saved" wait_for 2000 file_is "$WORK/Mirvane.ini" \
  'Loop=True\r\nInterval=750\r\nRotate=False\r\n'

check "explanation entry taken" choose_entry "$ENTRY_DOCUMENT"
check "explanation box opens" wait_for 3000 has_window '^ちょっと説明$'
shot_root win-document >/dev/null
check "the explanation box goes with Return" dismiss 'ちょっと説明'

cp "$WORK/Mirvane.ini" "$WORK/before-exit.ini"
check "exit entry taken" choose_entry "$ENTRY_END"
check "the program ends" wait_for 5000 viewer_gone
check "nothing written at exit" cmp -s "$WORK/Mirvane.ini" "$WORK/before-exit.ini"
finish
