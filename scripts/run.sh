#!/usr/bin/env bash
# Sets up, builds and starts the viewer on the sample pictures. Without a display
# it runs on a virtual one for a few seconds and saves a screenshot instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cd "$root/data/samples"
viewer="$root/build/src/mirvane"
if [ -n "${DISPLAY:-}" ]; then
  exec "$viewer" *.jpg *.png *.gif *.heic
fi
shot="$root/build/screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" *.jpg *.png *.gif *.heic & pid=$!
  sleep 3.5
  win=$(xdotool search --onlyvisible --name "^Mirvane" | head -1)
  /usr/bin/import -window "${win:-root}" "$2"
  kill $pid' _ "$viewer" "$shot"
echo "No display here: ran the viewer on a virtual one; screenshot at $shot"
