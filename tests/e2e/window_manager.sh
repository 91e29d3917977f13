#!/usr/bin/env bash
# Under a real window manager (openbox), whose frame makes the outer size larger
# than the client area: the slots are laid out from the outer size less 120 and 400
# twips, automatic rotation goes by the outer size, minimise changes nothing, and
# restore and maximise lay the slots out again.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_window_manager

# One picture far wider than any slot and one far higher: shown in turn, the first
# spans the slot's whole width, the second its whole height.
solid wide.png red 1000 10
solid tall.png red 10 1000
# Landscape, magenta above green; turned clockwise it reads green left, magenta right.
halves landscape-1.png magenta '#00ff00' 800 600
cp "$WORK/landscape-1.png" "$WORK/landscape-2.png"

# frame: sets CW CH (client), FL FR FT FB (frame), OW OH (outer) in pixels.
frame() {
  window_geometry "$VIEWER_WIN" || return 1
  CW=$WW CH=$WH
  local extents
  extents=$(xprop -id "$VIEWER_WIN" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
  [[ "$extents" =~ ^[0-9]+,[0-9]+,[0-9]+,[0-9]+$ ]] || return 1
  IFS=, read -r FL FR FT FB <<<"$extents"
  OW=$((CW + FL + FR)) OH=$((CH + FT + FB))
}

# The slot for the outer size at 15 twips a pixel: 120 twips are 8 pixels, and 400
# twips 26.7, which rounds the slot's height to 27 pixels less.
expected_slot() {
  frame || return 1
  SLOT_W=$((OW - 8)) SLOT_H=$((OH - 27))
}

# measure_slot: grabs the window once and takes the red picture's extent: a wide
# picture gives the slot's width, a tall one its height. Both start at the slot's
# left or top edge, which is the client area's (1 twip rounds to no pixel).
measure_slot() {
  local grab="$WORK/slot.ppm" box w h x y
  "$IMPORT" -silent -window "$VIEWER_WIN" "ppm:$grab" 2>/dev/null || return 1
  box=$("$CONVERT" "$grab" -bordercolor black -border 1 -fuzz 30% -format '%@' info: 2>/dev/null)
  [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=$((BASH_REMATCH[3] - 1)) y=$((BASH_REMATCH[4] - 1))
  if ((w > 10 * h)); then
    ((x == 0)) && SEEN_W=$w
  elif ((h > 10 * w)); then
    ((y == 0)) && SEEN_H=$h
  fi
  return 0
}

slot_seen() {
  measure_slot
  [[ "$SEEN_W" == "$SLOT_W" && "$SEEN_H" == "$SLOT_H" ]]
}

# slot_follows_outer WHAT: the slots take the present outer size less the allowances,
# seen on both pictures after they have been shown again.
slot_follows_outer() {
  expected_slot || { not_ok "$1: no frame extents from the window manager"; return 1; }
  SEEN_W="" SEEN_H=""
  if wait_for 4000 slot_seen; then
    ok "$1: slot ${SEEN_W}x${SEEN_H} = outer ${OW}x${OH} less 8x27 (client ${CW}x${CH})"
  else
    not_ok "$1: slot ${SEEN_W:-?}x${SEEN_H:-?}, expected ${SLOT_W}x${SLOT_H} from outer ${OW}x${OH} (client ${CW}x${CH})"
  fi
  shot_window "wm-$2" >/dev/null
}

# The window's states as the window manager lists them (read whole: a grep -q that
# stops early would fail the pipe).
states() { xprop -id "$VIEWER_WIN" _NET_WM_STATE 2>/dev/null; }
is_hidden() { [[ "$(states)" == *_NET_WM_STATE_HIDDEN* ]]; }
is_shown() {
  local map
  map=$(xwininfo -id "$VIEWER_WIN" 2>/dev/null)
  ! is_hidden && [[ "$map" == *IsViewable* ]]
}
is_maximised() { [[ "$(states)" == *MAXIMIZED_VERT* && "$(states)" == *MAXIMIZED_HORZ* ]]; }
is_normal() { [[ "$(states)" != *MAXIMIZED* ]]; }

ini True 400 False
start_viewer wide.png tall.png
wait_caption "Mirvane [wide.png]" 5000 || abort "the show never started"
frame || abort "openbox gave the window no frame extents"
check "the frame makes the outer size larger: outer ${OW}x${OH}, client ${CW}x${CH}" \
  test "$OW" -gt "$CW" -a "$OH" -gt "$CH"
slot_follows_outer "as it comes up" start

xdotool windowsize --sync "$VIEWER_WIN" 600 420
slot_follows_outer "resized to 600x420" resized

# Minimised, the window is resized behind the user's back: the handler passes over it
# and nothing may fail; restoring lays the slots out for the size it comes back with.
xdotool windowminimize --sync "$VIEWER_WIN"
check "minimised" wait_for 3000 is_hidden
caption=$(caption)
xdotool windowsize "$VIEWER_WIN" 520 380
check "the show goes on while minimised" wait_caption_change "$caption" 2000
check "still running while minimised" viewer_alive
xdotool windowactivate --sync "$VIEWER_WIN"
check "restored" wait_for 3000 is_shown
slot_follows_outer "restored at 520x380" restored

# Maximised as a title-bar button or a panel asks for it, then back.
[[ -x "$WM_STATE" ]] || abort "no wm_state helper at ${WM_STATE:-(none given)}"
"$WM_STATE" "$VIEWER_WIN" maximize
check "maximised" wait_for 3000 is_maximised
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
outer_is_screen() { frame && ((OW == screen_w && OH == screen_h)); }
wait_for 2000 outer_is_screen
check "maximised outer size is the screen's ${screen_w}x${screen_h} (got ${OW}x${OH})" \
  outer_is_screen
slot_follows_outer "maximised" maximised
"$WM_STATE" "$VIEWER_WIN" unmaximize
check "maximise undone" wait_for 3000 is_normal
slot_follows_outer "unmaximised" unmaximised
stop_viewer

# Rotation by the outer size: a client area wider than high inside a frame that is
# higher than wide, because the caption bar adds more height than the borders add
# width. A landscape picture is then turned.
ini True 500 True
start_viewer landscape-1.png landscape-2.png
frame || abort "no frame extents for the rotation case"
extra=$(((FT + FB) - (FL + FR)))
((extra >= 2)) || abort "the frame adds too little height (${extra} px) for the rotation case"
xdotool windowsize --sync "$VIEWER_WIN" 500 $((500 - extra / 2))
wait_for 2000 bash -c "xdotool getwindowgeometry $VIEWER_WIN | grep -q 'Geometry: 500x$((500 - extra / 2))'"
frame
check "client area wider than high (${CW}x${CH})" test "$CW" -gt "$CH"
check "outer size higher than wide (${OW}x${OH})" test "$OH" -gt "$OW"
# Two shows after the resize, so that the picture on view was turned at this size.
caption=$(caption)
wait_caption_change "$caption" 3000 && caption=$CAPTION
wait_caption_change "$caption" 3000
expected_slot
turned_at() { [[ "$(colours_at "$((SLOT_W / 3)),$((SLOT_H / 3))" "$((SLOT_W * 2 / 3)),$((SLOT_H / 3))")" == "green magenta" ]]; }
check "landscape picture turned in a portrait outer size (green left, magenta right)" \
  wait_for 1500 turned_at
shot_window wm-rotation >/dev/null
finish
