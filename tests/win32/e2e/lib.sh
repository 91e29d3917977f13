# shellcheck shell=bash disable=SC2034  # the names set here are read by the test scripts
# The Linux end-to-end helpers (tests/e2e/lib.sh), adapted to mirvane.exe under Wine:
#   source lib.sh; wine_e2e_init MIRVANE_EXE DRAG_SOURCE WINEPREFIX
# Wine draws the window frame itself inside the X window (no window manager runs),
# so points in the client area are offset by the frame, measured once the window is up.

source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"

WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../scripts" && pwd)/wine-run.sh
WINE_PREFIX=""
FRAME_X=0
FRAME_Y=0
TWIPS_PER_PIXEL=15  # 96 dpi

wine_e2e_init() {
  e2e_init "$1" "$2"
  WINE_PREFIX=$(realpath -m "${3:?wine prefix}")
  # The prefix is made by the caller; a test only uses it.
  [[ -f "$WINE_PREFIX/.mirvane-ready" ]] || abort "no Wine prefix at $WINE_PREFIX"
  # A Wine session keeps the display it started on: wait for an earlier one to end.
  WINEPREFIX=$WINE_PREFIX wineserver -w
}

# The Windows name of a file in the work directory, as a drop delivers it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

start_viewer() {
  START_MS=$(now_ms)
  (cd "$WORK" && exec "$WINE_RUN" --prefix "$WINE_PREFIX" "$MIRVANE" "$@") >>"$WORK/viewer.log" 2>&1 &
  VIEWER_PID=$!
  PIDS+=("$VIEWER_PID")
  VIEWER_WIN=""
  wait_for 15000 find_viewer_window || abort "no window of mirvane (log: $(tail -5 "$WORK/viewer.log"))"
  UP_MS=$(now_ms)
  viewer_layout
  log "mirvane pid $VIEWER_PID, window $VIEWER_WIN ${WW}x${WH}, frame ${FRAME_X},${FRAME_Y}"
}

# The viewer window's frame, slot size and the slots' centre on the screen.
viewer_layout() {
  window_geometry "$VIEWER_WIN"
  FRAME_X=$(((WW - CLIENT_W) / 2))
  FRAME_Y=$((WH - CLIENT_H - FRAME_X))
  # Both slots fill the client area less 120 x 400 twips of the outer size.
  local t=$TWIPS_PER_PIXEL
  SLOT_W=$(((WW * t - 120 + t / 2) / t))
  SLOT_H=$(((WH * t - 400 + t / 2) / t))
  # shellcheck disable=SC2034  # read by wait_centre
  CENTRE="$((FRAME_X + SLOT_W / 2)),$((FRAME_Y + SLOT_H / 2))"
}

# Every Wine window is override-redirect here; the menu is the one without a name
# that is smaller than the screen (Wine keeps a nameless screen-sized one).
menu_window() {
  local w screen
  screen=$(xdotool getdisplaygeometry | tr ' ' x)
  for w in $(xdotool search --onlyvisible --pid "$VIEWER_PID" --name '' 2>/dev/null); do
    [[ "$w" == "$VIEWER_WIN" ]] && continue
    [[ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ]] || continue
    window_geometry "$w" || continue
    [[ "${WW}x${WH}" != "$screen" ]] && ((WW > 20 && WH > 20)) && { echo "$w"; return 0; }
  done
  return 1
}

# dismiss TITLE: focuses the box of that title, presses Return and waits for it to go.
dismiss() {
  local box
  box=$(window_named "^$1\$")
  [[ -n "$box" ]] || return 1
  xdotool windowfocus "$box" 2>/dev/null
  xdotool key Return
  wait_for 3000 no_window "^$1\$"
}
