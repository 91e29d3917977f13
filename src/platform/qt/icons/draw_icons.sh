#!/bin/sh
# Redraws the program's icon, a framed landscape, at 32x32 and 16x16 pixels.
set -e
cd "$(dirname "$0")"
convert -size 32x32 xc:none \
  -fill '#6b4a2b' -stroke '#3b2614' -strokewidth 1 -draw 'roundrectangle 1,3 30,28 2,2' \
  -fill '#d9b45a' -stroke none -draw 'rectangle 3,5 28,26' \
  -fill '#7ec3f0' -draw 'rectangle 5,7 26,24' \
  -fill '#ffd84a' -draw 'circle 21,11 23,11' \
  -fill '#3f9a3a' -draw 'polygon 5,24 5,19 11,13 17,19 20,16 26,22 26,24' \
  -fill '#2c6e29' -draw 'polygon 11,24 17,19 20,16 26,22 26,24' \
  PNG32:mirvane-32.png
# Drawn on its own pixel grid rather than scaled down, so that it stays sharp.
convert -size 16x16 xc:none \
  -fill '#6b4a2b' -draw 'rectangle 0,1 15,14' \
  -fill '#d9b45a' -draw 'rectangle 1,2 14,13' \
  -fill '#7ec3f0' -draw 'rectangle 2,3 13,12' \
  -fill '#ffd84a' -draw 'rectangle 10,4 11,5' \
  -fill '#3f9a3a' -draw 'polygon 2,12 2,9 5,6 8,9 10,7 13,10 13,12' \
  PNG32:mirvane-16.png
