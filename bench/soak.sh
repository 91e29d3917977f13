#!/usr/bin/env bash
# Soak: the whole program shows a looping list of 1,000 pictures at Interval=1 on a
# virtual X server until it has made 10,000 shows, and its resident memory after the
# first 1,000 shows is compared with that at the end. Fails when it grew by 5 MB or more.
#   bench/soak.sh VIEWER [SHOWS] [PICTURES]
# A show is counted from outside, by the caption changes that xprop sees.
set -euo pipefail
viewer=$(realpath "$1")
shows=${2:-10000}
pictures=${3:-1000}
baseline=$((pictures < shows ? pictures : shows / 10))
limit_kb=$((5 * 1024))
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A few kinds and sizes, each copied to many names: every copy is a file of its own.
kinds=()
i=0
for kind in png:640x480:red jpg:800x600:blue png:300x400:green jpg:1200x900:yellow \
  gif:320x240:magenta jpg:480x640:cyan png:1024x768:orange bmp:200x150:purple; do
  IFS=: read -r ext size colour <<<"$kind"
  "$convert" -size "$size" "plasma:$colour-white" "base-$i.$ext"
  kinds+=("base-$i.$ext")
  i=$((i + 1))
done
names=()
for ((n = 1; n <= pictures; n++)); do
  base=${kinds[$((n % ${#kinds[@]}))]}
  name=$(printf 'p%04d.%s' "$n" "${base##*.}")
  cp "$base" "$name"
  names+=("$name")
done
rm -f base-*
printf 'Loop=True\r\nInterval=1\r\nRotate=False\r\n' >Mirvane.ini
mkdir -m 700 runtime
export XDG_RUNTIME_DIR=$work/runtime

xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash -c '
  set -uo pipefail
  shows=$1 baseline=$2 limit_kb=$3
  shift 3
  rss() { awk "/^VmRSS/ {print \$2}" "/proc/$1/status"; }
  "$0" "$@" & pid=$!
  win=$(xdotool search --sync --pid $pid --name "^Mirvane" | head -1)
  # One line per change of the caption, the first being the caption as it stands.
  xprop -spy -id "$win" _NET_WM_NAME >spy.log 2>/dev/null & spy=$!
  start=$(date +%s%N)
  count() { echo $(($(wc -l <spy.log) - 1)); }
  rss_base="" at_base=0 done=0
  for _ in $(seq 1 36000); do
    kill -0 $pid 2>/dev/null || { echo "the viewer ended early"; exit 1; }
    done=$(count)
    if [ -z "$rss_base" ] && [ "$done" -ge "$baseline" ]; then
      rss_base=$(rss $pid) at_base=$done
    fi
    [ "$done" -ge "$shows" ] && break
    sleep 0.05
  done
  rss_end=$(rss $pid)
  peak=$(awk "/^VmHWM/ {print \$2}" /proc/$pid/status)
  seconds=$(( ($(date +%s%N) - start) / 1000000 ))
  kill $spy $pid
  wait $pid 2>/dev/null
  growth=$((rss_end - rss_base))
  echo "shows: $done of $# pictures in a loop, Interval=1, in $((seconds / 1000)).$(printf %03d $((seconds % 1000))) s ($((done * 1000 / (seconds + 1))) a second)"
  echo "resident memory after $at_base shows: $rss_base kB"
  echo "resident memory after $done shows: $rss_end kB"
  echo "growth: $growth kB (limit $limit_kb kB); peak resident: $peak kB"
  [ "$done" -ge "$shows" ] && [ "$growth" -lt "$limit_kb" ]
' "$viewer" "$shows" "$baseline" "$limit_kb" "${names[@]}"
