#!/usr/bin/env bash
# The caption names the file exactly, whatever its name holds: Qt's "[*]" mark
# placeholder, "&", a tab (only a drop can bring one: the command line splits at
# tabs), and bytes that are not UTF-8, each shown as U+FFFD.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

latin1=$'caf\xe9\xff.png'
tab=$'tab\there.png'
solid 'a[*].png' red 64 48
solid '&b.png' '#00ff00' 64 48
solid "$latin1" blue 64 48
solid "$tab" yellow 64 48

ini False 700 False
start_viewer 'a[*].png' '&b.png' "$latin1"
check "\"[*]\" kept in the caption" wait_caption "Mirvane [a[*].png]" 5000
check "\"&\" kept in the caption" wait_caption "Mirvane [&b.png]" 3000
check "bytes that are not UTF-8 shown as U+FFFD, one each" \
  wait_caption $'Mirvane [caf\xef\xbf\xbd\xef\xbf\xbd.png]' 3000
check "that file shown all the same" wait_centre blue 1000

start_drag_source "$tab"
check "drag and drop of a name with a tab" drag_to_viewer
check "tab kept in the caption" wait_caption "Mirvane [$WORK/$tab]" 3000
check "that file shown" wait_centre yellow 1000
finish
