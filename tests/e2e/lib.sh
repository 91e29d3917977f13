# shellcheck shell=bash disable=SC2034  # the names set here are read by the test scripts
# Shared helpers for the end-to-end tests; sourced by each test script as
#   source lib.sh; e2e_init "$@"
# Each test gets its own Xvfb display and its own temporary working directory,
# and everything it started is killed on exit.

set -uo pipefail

MIRVANE=""
DRAG_SOURCE=""
WM_STATE=""
TEST_NAME=$(basename "${0%.sh}")
SHOTS=${E2E_SHOTS:-/tmp/e2e-shots}
CONVERT=/usr/bin/convert
IMPORT=/usr/bin/import
WORK=""
XVFB_PID=""
VIEWER_PID=""
VIEWER_WIN=""
PIDS=()
FAILURES=0
CHECKS=0

# The program's window at start, in pixels (7005 x 4950 twips at 96 dpi), and
# the picture slot inside it: 120 twips narrower, 400 twips lower.
CLIENT_W=467
CLIENT_H=330
SLOT_W=459
SLOT_H=303

now_ms() { date +%s%3N; }

log() { printf '%s [%s] %s\n' "$(date +%T.%3N)" "$TEST_NAME" "$*"; }

ok() {
  CHECKS=$((CHECKS + 1))
  log "ok   - $*"
}

not_ok() {
  CHECKS=$((CHECKS + 1))
  FAILURES=$((FAILURES + 1))
  log "FAIL - $*"
  [[ -n "${DISPLAY:-}" ]] && shot_root "fail-${TEST_NAME}-${FAILURES}" >/dev/null 2>&1
}

# check NAME CMD...: runs CMD and records the outcome under NAME.
check() {
  local name=$1
  shift
  if "$@"; then ok "$name"; else not_ok "$name"; fi
}

# Gives up at once: later checks would only repeat the failure.
abort() {
  not_ok "$*"
  exit 1
}

finish() {
  log "$CHECKS checks, $FAILURES failed"
  [[ $FAILURES -eq 0 ]]
  exit $?
}

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${PIDS[@]}"; do
    wait "$pid" 2>/dev/null
  done
  if [[ -n "$XVFB_PID" ]]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  if [[ -n "$WORK" && -d "$WORK" ]]; then
    if [[ $FAILURES -ne 0 || -n "${E2E_KEEP:-}" ]]; then
      log "kept $WORK"
    else
      rm -rf "$WORK"
    fi
  fi
}

require_tools() {
  local tool
  for tool in Xvfb xdotool xprop "$CONVERT" "$IMPORT" od cmp; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
}

# e2e_init MIRVANE [DRAG_SOURCE [WM_STATE]]: starts a display and makes the work directory.
e2e_init() {
  MIRVANE=$(realpath -e "${1:?path of mirvane}") || abort "no program at $1"
  DRAG_SOURCE=${2:+$(realpath -e "$2")}
  WM_STATE=${3:+$(realpath -e "$3")}
  require_tools
  [[ -x "$MIRVANE" ]] || abort "no program at $MIRVANE"
  mkdir -p "$SHOTS"
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/mirvane-e2e-${TEST_NAME}.XXXXXX")
  mkdir -m 700 "$WORK/runtime"
  trap cleanup EXIT
  trap 'exit 2' INT TERM

  # -displayfd lets Xvfb pick a free display number itself.
  local fdfile="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset \
    3>"$fdfile" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local deadline=$(($(now_ms) + 10000))
  while [[ ! -s "$fdfile" ]]; do
    kill -0 "$XVFB_PID" 2>/dev/null || abort "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    (($(now_ms) < deadline)) || abort "Xvfb gave no display number"
    sleep 0.02
  done
  DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
  export DISPLAY
  export XDG_RUNTIME_DIR="$WORK/runtime"
  export QT_QPA_PLATFORM=xcb
  export LC_ALL=C.UTF-8
  unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
    QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI QT_STYLE_OVERRIDE SESSION_MANAGER
  log "display $DISPLAY, work dir $WORK"
}

# start_window_manager: runs openbox with the tests' own settings and waits until it
# manages windows. Skips the test where openbox is missing, except under CI.
start_window_manager() {
  if ! command -v openbox >/dev/null 2>&1; then
    [[ -n "${CI:-}" ]] && abort "openbox is not installed"
    echo "skipped: openbox is not installed"
    exit 77
  fi
  XDG_CONFIG_HOME="$WORK" XDG_CACHE_HOME="$WORK" openbox --sm-disable \
    --config-file "$(dirname "${BASH_SOURCE[0]}")/openbox-rc.xml" >"$WORK/openbox.log" 2>&1 &
  local pid=$!
  PIDS+=("$pid")
  wait_for 10000 window_manager_running || abort "openbox did not start: $(cat "$WORK/openbox.log")"
  log "openbox pid $pid"
}

window_manager_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# wait_for TIMEOUT_MS CMD...: polls CMD until it succeeds; fails after the timeout.
wait_for() {
  local timeout=$1
  shift
  local deadline=$(($(now_ms) + timeout))
  while true; do
    "$@" && return 0
    (($(now_ms) < deadline)) || return 1
    sleep 0.015
  done
}

# ---- test pictures -------------------------------------------------------

# solid NAME COLOUR W H: a one-colour PNG in the work directory.
solid() {
  "$CONVERT" -size "${3}x${4}" "xc:$2" "PNG24:$WORK/$1"
}

# halves NAME TOP BOTTOM W H: a picture whose upper half is TOP and lower half BOTTOM.
halves() {
  local h2=$(($5 / 2))
  "$CONVERT" -size "${4}x${h2}" "xc:$2" -size "${4}x$(($5 - h2))" "xc:$3" -append "PNG24:$WORK/$1"
}

# corrupt NAME: a file that begins like a PNG and then breaks off.
corrupt() {
  solid tmp-full.png red 64 64
  head -c 60 "$WORK/tmp-full.png" >"$WORK/$1"
  head -c 200 /dev/urandom >>"$WORK/$1"
  rm -f "$WORK/tmp-full.png"
}

# ini LOOP INTERVAL ROTATE: writes Mirvane.ini as the program itself writes it.
ini() {
  printf 'Loop=%s\r\nInterval=%s\r\nRotate=%s\r\n' "$1" "$2" "$3" >"$WORK/Mirvane.ini"
}

# ---- the program ---------------------------------------------------------

# running PID: the process exists and is not a zombie.
running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [[ "${stat:0:1}" != Z ]]
}

viewer_alive() { [[ -n "$VIEWER_PID" ]] && running "$VIEWER_PID"; }

viewer_gone() { ! viewer_alive; }

# start_viewer ARG...: runs mirvane in the work directory and finds its window.
# Sets VIEWER_PID, VIEWER_WIN and START_MS (taken just before the exec).
start_viewer() {
  START_MS=$(now_ms)
  (cd "$WORK" && exec "$MIRVANE" "$@") >>"$WORK/viewer.log" 2>&1 &
  VIEWER_PID=$!
  PIDS+=("$VIEWER_PID")
  VIEWER_WIN=""
  wait_for 15000 find_viewer_window || abort "no window of mirvane (log: $(tail -5 "$WORK/viewer.log"))"
  log "mirvane pid $VIEWER_PID, window $VIEWER_WIN"
}

find_viewer_window() {
  viewer_alive || return 1
  VIEWER_WIN=$(xdotool search --onlyvisible --pid "$VIEWER_PID" --name '^Mirvane' 2>/dev/null | head -1)
  [[ -n "$VIEWER_WIN" ]]
}

caption() { xdotool getwindowname "$VIEWER_WIN" 2>/dev/null; }

caption_is() { [[ "$(caption)" == "$1" ]]; }

# wait_caption EXPECTED TIMEOUT_MS: sets CAPTION_MS to when it was first seen.
wait_caption() {
  if wait_for "$2" caption_is "$1"; then
    CAPTION_MS=$(now_ms)
    return 0
  fi
  log "caption is \"$(caption)\", expected \"$1\""
  return 1
}

# wait_caption_change OLD TIMEOUT_MS: waits for any other caption; sets CAPTION and CAPTION_MS.
wait_caption_change() {
  local old=$1 deadline=$(($(now_ms) + $2))
  while true; do
    CAPTION=$(caption)
    if [[ "$CAPTION" != "$old" ]]; then
      CAPTION_MS=$(now_ms)
      return 0
    fi
    (($(now_ms) < deadline)) || return 1
    sleep 0.01
  done
}

# window_named PATTERN: the id of a visible window whose name matches.
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

has_window() { [[ -n "$(window_named "$1")" ]]; }

no_window() { [[ -z "$(window_named "$1")" ]]; }

# ---- pixels --------------------------------------------------------------

# shot_root NAME: screenshot of the whole screen to $SHOTS/NAME.png; prints the path.
shot_root() {
  "$IMPORT" -silent -window root "$SHOTS/$1.png" && echo "$SHOTS/$1.png"
}

# shot_window NAME [WIN]: screenshot of one window; prints the path.
shot_window() {
  "$IMPORT" -silent -window "${2:-$VIEWER_WIN}" "$SHOTS/$1.png" && echo "$SHOTS/$1.png"
}

# pixels FILE X,Y...: the hex colours (RRGGBB) at the points, one a line.
pixels() {
  local file=$1 fmt="" p
  shift
  for p in "$@"; do fmt+="%[hex:p{$p}]\n"; done
  "$CONVERT" "$file" -alpha off -format "$fmt" info: | cut -c1-6
}

# colour_name RRGGBB: the nearest of the test colours, or "other".
colour_name() {
  local r=$((16#${1:0:2})) g=$((16#${1:2:2})) b=$((16#${1:4:2}))
  hi() { (($1 >= 200)); }
  lo() { (($1 <= 55)); }
  if lo $r && lo $g && lo $b; then echo dark
  elif hi $r && lo $g && lo $b; then echo red
  elif lo $r && hi $g && lo $b; then echo green
  elif lo $r && lo $g && hi $b; then echo blue
  elif hi $r && hi $g && lo $b; then echo yellow
  elif hi $r && lo $g && hi $b; then echo magenta
  else echo "other($1)"
  fi
}

# colours_at X,Y...: grabs the viewer window once and names the colour at each point.
# A raw PPM grab read with od costs one process instead of two and no PNG coding,
# which matters on a loaded machine where a grab races the next tick.
colours_at() {
  local file="$WORK/grab.ppm" magic w h max hdr p x y hex names=()
  "$IMPORT" -silent -window "$VIEWER_WIN" -depth 8 "ppm:$file" 2>/dev/null || return 1
  { read -r magic && read -r w h && read -r max; } <"$file" || return 1
  [[ "$magic" == P6 && "$max" == 255 ]] || return 1
  hdr=$((${#magic} + ${#w} + ${#h} + ${#max} + 4))
  for p in "$@"; do
    x=${p%,*}
    y=${p#*,}
    hex=$(od -An -tx1 -j $((hdr + (y * w + x) * 3)) -N 3 "$file" | tr -d ' \n')
    names+=("$(colour_name "${hex^^}")")
  done
  echo "${names[*]}"
}

# The centre of the picture slot: always inside a picture that fits it.
CENTRE="$((SLOT_W / 2)),$((SLOT_H / 2))"

centre_is() { [[ "$(colours_at "$CENTRE")" == "$1" ]]; }

# wait_centre COLOUR TIMEOUT_MS: the picture drawn may trail the caption by a frame.
wait_centre() {
  if wait_for "$2" centre_is "$1"; then return 0; fi
  log "centre is $(colours_at "$CENTRE"), expected $1"
  return 1
}

# ---- input ---------------------------------------------------------------

# window_geometry WIN: sets WX WY WW WH from the window's geometry.
window_geometry() {
  local out
  out=$(xdotool getwindowgeometry --shell "$1") || return 1
  WX=$(sed -n 's/^X=//p' <<<"$out")
  WY=$(sed -n 's/^Y=//p' <<<"$out")
  WW=$(sed -n 's/^WIDTH=//p' <<<"$out")
  WH=$(sed -n 's/^HEIGHT=//p' <<<"$out")
}

# open_menu: right click in the middle of the viewer and wait for the popup.
open_menu() {
  xdotool mousemove --window "$VIEWER_WIN" $((CLIENT_W / 2)) $((CLIENT_H / 2)) sleep 0.05 click 3
  wait_for 3000 menu_open
}

# A popup menu is an override-redirect window of the viewer's process without a name.
menu_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$VIEWER_PID" --name '' 2>/dev/null); do
    [[ "$w" == "$VIEWER_WIN" ]] && continue
    if xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes'; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

menu_open() { menu_window >/dev/null; }

menu_closed() { ! menu_open; }

# choose_entry N: opens the menu and takes its Nth command entry (separators
# are not counted) with the keyboard.
choose_entry() {
  open_menu || return 1
  local keys=()
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key --delay 40 "${keys[@]}" Return
  wait_for 3000 menu_closed
}

ENTRY_TIMER=1
ENTRY_LOOP=2
ENTRY_ROTATE=3
ENTRY_BEFORE=4
ENTRY_NEXT=5
ENTRY_DOCUMENT=6
ENTRY_VERSION=7
ENTRY_END=8

# ---- files ---------------------------------------------------------------

# file_is FILE BYTES: exact byte comparison against a printf format.
file_is() {
  local expected="$WORK/expected.bin"
  # shellcheck disable=SC2059
  printf "$2" >"$expected"
  if cmp -s "$1" "$expected"; then return 0; fi
  log "$1 holds: $(od -c "$1" 2>/dev/null | head -4 | tr -s ' ')"
  return 1
}

# stop_viewer: ends the running viewer, if any, before a test starts another.
stop_viewer() {
  if viewer_alive; then
    kill "$VIEWER_PID" 2>/dev/null
    wait "$VIEWER_PID" 2>/dev/null
  fi
  VIEWER_PID=""
  VIEWER_WIN=""
}

# ---- drag and drop -------------------------------------------------------

# start_drag_source ARG...: runs drag_source and finds its window; sets SOURCE_WIN.
start_drag_source() {
  [[ -x "$DRAG_SOURCE" ]] || abort "no drag source at ${DRAG_SOURCE:-(none given)}"
  stop_drag_source
  : >"$WORK/source.out"
  # Relative names are taken from the work directory, as the viewer sees them.
  (cd "$WORK" && exec "$DRAG_SOURCE" --at 800 600 "$@") >"$WORK/source.out" 2>&1 &
  SOURCE_PID=$!
  PIDS+=("$SOURCE_PID")
  wait_for 10000 grep -q '^ready' "$WORK/source.out" || abort "drag source did not come up"
  SOURCE_WIN=""
  wait_for 5000 find_source_window || abort "no window of the drag source"
}

find_source_window() {
  SOURCE_WIN=$(xdotool search --onlyvisible --pid "$SOURCE_PID" --name '^drag-source$' 2>/dev/null | head -1)
  [[ -n "$SOURCE_WIN" ]]
}

stop_drag_source() {
  if [[ -n "${SOURCE_PID:-}" ]] && kill -0 "$SOURCE_PID" 2>/dev/null; then
    kill "$SOURCE_PID" 2>/dev/null
    wait "$SOURCE_PID" 2>/dev/null
  fi
  SOURCE_PID=""
}

# drag_to_viewer: presses on the drag source, moves the pointer over the viewer in
# a few steps and lets go there; sets DROP_MS to the moment of the release.
drag_to_viewer() {
  window_geometry "$SOURCE_WIN" || return 1
  local sx=$((WX + WW / 2)) sy=$((WY + WH / 2))
  window_geometry "$VIEWER_WIN" || return 1
  local tx=$((WX + CLIENT_W / 2)) ty=$((WY + CLIENT_H / 2)) step
  xdotool mousemove "$sx" "$sy" sleep 0.1 mousedown 1 sleep 0.1
  for step in 1 2 3 4 5 6; do
    xdotool mousemove $((sx + (tx - sx) * step / 6)) $((sy + (ty - sy) * step / 6)) sleep 0.05
  done
  xdotool mousemove $((tx + 3)) $((ty + 2)) sleep 0.1 mousemove "$tx" "$ty" sleep 0.1
  DROP_MS=$(now_ms)
  xdotool mouseup 1
  wait_for 5000 grep -q '^drop-result' "$WORK/source.out"
}

# next_step OLD_CAPTION EXPECTED COLOUR TIMEOUT_MS: waits for the caption to leave
# OLD_CAPTION, checks it is EXPECTED and that the picture on view is COLOUR.
# Sets STEP_MS to when the new caption was first seen.
next_step() {
  local old=$1 expected=$2 colour=$3
  if ! wait_caption_change "$old" "$4"; then
    not_ok "caption \"$expected\" expected after \"$old\", but it stayed"
    STEP_MS=$(now_ms)
    return 1
  fi
  STEP_MS=$CAPTION_MS
  check "caption becomes \"$expected\" (got \"$CAPTION\")" test "$CAPTION" == "$expected"
  check "\"$expected\" shows $colour" wait_centre "$colour" 1000
}

# stays CAPTION COLOUR MS: nothing changes over the given time.
stays() {
  local end=$(($(now_ms) + $3))
  while (($(now_ms) < end)); do
    caption_is "$1" || { log "caption changed to \"$(caption)\""; return 1; }
    sleep 0.02
  done
  centre_is "$2"
}
