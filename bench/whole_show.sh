#!/usr/bin/env bash
# The whole show of a photo set at Interval=1, loop off, timed from outside by its captions
# (the first picture's caption to the last one's), for one or more builds of the program,
# run in turn so that other load on the machine weighs on each alike.
#   bench/whole_show.sh PHOTO_DIR RUNS PROGRAM [PROGRAM...]     (needs xvfb-run)
set -euo pipefail
photos=$(cd "$1" && pwd)
runs=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
times=${CAPTION_TIMES:-$here/../build/bench/mirvane_caption_times}
programs=()
for program in "$@"; do programs+=("$(realpath "$program")"); done
mapfile -t names < <(find "$photos" -maxdepth 1 \( -name '*.jpg' -o -name '*.png' \) | sort)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
declare -A spans
for ((run = 0; run < runs; run++)); do
  for program in "${programs[@]}"; do
    printf 'Loop=False\r\nInterval=1\r\nRotate=False\r\n' >Mirvane.ini
    span=$(xvfb-run -a -s "-screen 0 1920x1200x24" "$times" "Mirvane [${names[-1]}]" \
      "$program" "${names[@]}" 2>/dev/null | awk '/first to last/ {print $(NF-1)}' || true)
    spans[$program]+="${span:-fail} "
  done
done
for program in "${programs[@]}"; do
  read -ra values <<<"${spans[$program]}"
  mapfile -t sorted < <(printf '%s\n' "${values[@]}" | grep -v fail | sort -n)
  n=${#sorted[@]}
  median=$([ "$n" -gt 0 ] && echo "${sorted[$(((n - 1) / 2))]}" || echo none)
  printf '%s\n  median of %d: %s ms (runs: %s)\n' "$program" "$n" "$median" "${spans[$program]}"
done
