#!/usr/bin/env bash
# Prints how long mirvane.exe takes under Wine from its start to its window on the
# screen, on a virtual display: with Wine's session starting afresh each time (cold)
# and with a session kept running (warm). Needs the prefix that test-windows.sh makes.
#   bench/windows_start.sh build-windows/src/mirvane.exe build-windows/wineprefix [RUNS]
set -euo pipefail
exe=$(realpath -e "$1")
export WINEPREFIX=$(realpath -e "$2")
runs=${3:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
Xvfb :77 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=:77
sleep 1
now_ms() { date +%s%3N; }

# One start: milliseconds until a visible window named Mirvane belongs to it.
start_once() {
  local start pid
  start=$(now_ms)
  (cd "$work" && exec "$root/scripts/wine-run.sh" --prefix "$WINEPREFIX" "$exe") >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" --name '^Mirvane' >/dev/null 2>&1; do sleep 0.01; done
  echo $(($(now_ms) - start))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

wineserver -w
cold=$(for _ in $(seq "$runs"); do start_once; wineserver -w; done | median)
wineserver -p   # keep the session between starts
"$root/scripts/wine-run.sh" --prefix "$WINEPREFIX" cmd /c exit 0 >/dev/null 2>&1
warm=$(for _ in $(seq "$runs"); do start_once; done | median)
wineserver -k
echo "window up after start, median of $runs: cold session ${cold} ms, warm session ${warm} ms"
