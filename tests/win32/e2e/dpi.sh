#!/usr/bin/env bash
# mirvane.exe under Wine at 144 dpi: sizes in twips become more pixels (the window's
# 7005 x 4950-twip client area is 701 x 495 pixels there), and pictures still fill
# the slot.
source "$(dirname "$0")/lib.sh"
wine_e2e_init "$@"

set_dpi() {
  if [[ $1 == 96 ]]; then
    WINEPREFIX=$WINE_PREFIX wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f
  else
    WINEPREFIX=$WINE_PREFIX wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
      /t REG_DWORD /d "$1" /f
  fi >/dev/null 2>&1
  WINEPREFIX=$WINE_PREFIX wineserver -w
}
set_dpi 144
trap 'stop_viewer; WINEPREFIX=$WINE_PREFIX wineserver -w; set_dpi 96; cleanup' EXIT

solid red.png red 800 600
ini False 500 False
CLIENT_W=701
CLIENT_H=495
TWIPS_PER_PIXEL=10
start_viewer red.png
check "outer size about 1.5 times that at 96 dpi (${WW}x${WH})" \
  test "$WW" -ge 705 -a "$WW" -le 725 -a "$WH" -ge 515 -a "$WH" -le 545
check "client area ${CLIENT_W} pixels wide (frame ${FRAME_X},${FRAME_Y})" \
  test "$FRAME_X" -ge 2 -a "$FRAME_X" -le 10 -a "$FRAME_Y" -gt "$FRAME_X"
check "the picture comes up" wait_caption "Mirvane [red.png]" 3000
# A 4:3 picture fills the slot's height, centred, black beside it.
shown=$((SLOT_H * 4 / 3))
left=$((FRAME_X + (SLOT_W - shown) / 2))
colours=$(colours_at "$((left + 4)),$((FRAME_Y + 4))" "$((left + shown - 5)),$((FRAME_Y + SLOT_H - 5))" \
  "$((left - 4)),$((FRAME_Y + 200))" | tr '\n' ' ')
check "slot ${SLOT_W}x${SLOT_H}: picture ${shown} wide, centred (${colours})" \
  test "$colours" == "red red dark "
shot_window win-dpi144 >/dev/null
finish
