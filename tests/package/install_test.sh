#!/usr/bin/env bash
# shellcheck disable=SC2317  # functions run through check and the exit trap
# The Debian package as a user meets it: built by scripts/package.sh, checked by
# lintian, installed with apt-get, the installed program started the way the
# desktop starts it (the Exec line of its desktop entry, %F replaced by a
# picture) and seen on a virtual X server, then purged, leaving nothing behind.
# Installs for real, so it needs root (or sudo without a password); the package
# is purged on the way out whatever happened.
#   install_test.sh [PACKAGE_BUILD_DIR]
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
source "$root/tests/e2e/lib.sh"
build=${1:-$root/build-package}

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  if ! sudo -n true 2>/dev/null; then
    echo "skipped: installing a package needs root"
    [[ -n "${CI:-}" ]] && exit 1
    exit 77
  fi
  sudo="sudo -n"
fi

installed() { [[ "$(dpkg-query -W -f='${Status}' mirvane 2>/dev/null)" == "install ok installed" ]]; }
known() { dpkg-query -W mirvane >/dev/null 2>&1; }
apt() {
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=300 "$@"
}
purge() {
  local out
  known || return 0
  out=$(apt purge mirvane 2>&1) || { echo "$out"; return 1; }
}

if known; then
  echo "FAIL - the mirvane package is on this machine already; remove it before this test"
  exit 1
fi

deb=$(bash "$root/scripts/package.sh" "$build" | tail -1)
[[ -f "$deb" ]] || { echo "FAIL - scripts/package.sh made no package"; exit 1; }
log "package $deb"
dpkg-deb -I "$deb" | sed -n 's/^ \(Depends\|Recommends\|Installed-Size\):/\1:/p'

if command -v lintian >/dev/null; then
  # Warnings are shown; an error fails.
  report=$(lintian --fail-on error "$deb" 2>&1)
  status=$?
  grep -v 'running with root privileges' <<<"$report"
  [[ $status -eq 0 ]] || { echo "FAIL - lintian reports errors"; exit 1; }
fi
# What the package holds, to look for after the purge.
mapfile -t held < <(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||')

# Whatever ends the test from here on, lib.sh's cleanup included, purges the package.
trap purge EXIT
eval "lib_$(declare -f cleanup)"
cleanup() {
  lib_cleanup
  purge
}
out=$(apt install "$deb" 2>&1) || { echo "$out"; echo "FAIL - apt-get install"; exit 1; }
installed || { echo "FAIL - the package is not installed after apt-get install"; exit 1; }

e2e_init "$(command -v mirvane)"
check "mirvane on the PATH is the installed one" test "$MIRVANE" == /usr/bin/mirvane

mapfile -t entries < <(dpkg -L mirvane | grep '^/usr/share/applications/.*\.desktop$')
[[ ${#entries[@]} -eq 1 ]] || abort "one desktop entry expected, found: ${entries[*]}"
entry=${entries[0]}
id=$(basename "$entry" .desktop)

# File managers find it for "Open With" through the MIME cache that the install rebuilt.
offered_for() { grep -q "^$1=.*$id\.desktop" /usr/share/applications/mimeinfo.cache; }
if command -v update-desktop-database >/dev/null; then
  for type in image/jpeg image/x-canon-cr2 image/svg+xml; do
    check "offered for $type" offered_for "$type"
  done
fi

# The Exec line as a launcher runs it; ours has no quoting, so fields are split at blanks.
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[[ "$exec_line" =~ [\"\'\\] ]] && abort "Exec=$exec_line has quoting, which this test does not expand"
cp "$root/data/samples/picos-de-europa.jpg" "$WORK/sea.jpg"
picture=$WORK/sea.jpg
check "Exec=$exec_line takes the files as %F" test "${exec_line% %F}" != "$exec_line"
read -ra fields <<<"$exec_line"
command=()
for field in "${fields[@]}"; do
  if [[ "$field" == %F ]]; then command+=("$picture"); else command+=("$field"); fi
done
log "running: ${command[*]}"
(cd "$WORK" && exec "${command[@]}") >>"$WORK/viewer.log" 2>&1 &
VIEWER_PID=$!
PIDS+=("$VIEWER_PID")
wait_for 15000 find_viewer_window || abort "no window of the installed mirvane ($(tail -3 "$WORK/viewer.log"))"
check "the caption names the picture" wait_caption "Mirvane [$picture]" 10000

# Docks and task bars match the window to its entry through the window class.
class=$(sed -n 's/^StartupWMClass=//p' "$entry")
class_is() { xprop -id "$VIEWER_WIN" WM_CLASS | grep -q "\"$1\"\$"; }
check "WM_CLASS is the entry's StartupWMClass ($class)" class_is "$class"

# The window shows the same icon as the desktop: its 32 px image, pixel for pixel.
icon_argb() {
  local file=$1 r g b a out=()
  while read -r r g b a; do
    out+=($(((a << 24) | (r << 16) | (g << 8) | b)))
  done < <("$CONVERT" "$file" -depth 8 rgba:- | od -An -v -tu1 -w4)
  echo "${out[*]}"
}
window_icon_32() {
  xprop -id "$VIEWER_WIN" -notype 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2 | tr ',' '\n' | grep . |
    awk '{ v[NR] = $1 }
         END { i = 1; while (i < NR) { w = v[i]; h = v[i + 1];
                 if (w == 32 && h == 32) { for (k = 0; k < w * h; k++) printf "%s%s", (k ? " " : ""), v[i + 2 + k]; print ""; exit }
                 i += 2 + w * h } }'
}
same_icon() {
  local shown
  shown=$(window_icon_32)
  [[ -n "$shown" && "$shown" == "$(icon_argb "$1")" ]]
}
desktop_icon=/usr/share/icons/hicolor/32x32/apps/$id.png
check "the window's 32 px icon is the desktop's $desktop_icon" same_icon "$desktop_icon"
stop_viewer

# What the program loads at run time, plugins and fonts, comes with the package's
# dependencies: show a picture of each kind that can be made here, open the menu
# (Japanese text), and find every file the process maps in the packages that
# installing mirvane pulls in.
mkdir "$WORK/kinds"
for kind in png gif bmp tif webp tga ico; do
  "$CONVERT" "$picture" -resize 64x48 "$WORK/kinds/p.$kind"
done
printf '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="48"><rect width="64" height="48" fill="#0a0"/></svg>\n' >"$WORK/kinds/p.svg"
"$CONVERT" "$WORK/kinds/p.png" "$WORK/kinds/p.pnm"
command -v heif-enc >/dev/null && heif-enc -o "$WORK/kinds/p.heic" "$WORK/kinds/p.png" >/dev/null 2>&1
command -v avifenc >/dev/null && avifenc "$WORK/kinds/p.png" "$WORK/kinds/p.avif" >/dev/null 2>&1
command -v cjxl >/dev/null && cjxl "$WORK/kinds/p.png" "$WORK/kinds/p.jxl" >/dev/null 2>&1
cp "$picture" "$WORK/kinds/zz-last.jpg"
ini False 100 False
(cd "$WORK" && exec "${command[0]}" "$WORK"/kinds/p.* "$WORK/kinds/zz-last.jpg") >>"$WORK/viewer.log" 2>&1 &
VIEWER_PID=$!
PIDS+=("$VIEWER_PID")
wait_for 15000 find_viewer_window || abort "no window of the installed mirvane"
check "the show of $(cd "$WORK/kinds" && echo *) reaches its end" \
  wait_caption "Mirvane [$WORK/kinds/zz-last.jpg]" 20000
check "the menu opens" open_menu
xdotool key Escape
sleep 0.3
mapfile -t mapped < <(awk '$6 ~ /^\// { print $6 }' "/proc/$VIEWER_PID/maps" | sort -u)
stop_viewer
# Every file must come from a package that apt-get install pulls in: the closure
# of the package's Depends and Recommends (apt installs both), or an Essential one.
read -ra roots <<<"mirvane $(dpkg-query -W -f='${Recommends}' mirvane | sed 's/([^)]*)//g; s/[,|]/ /g')"
pulled_in=$(
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${roots[@]}" | grep -v '^ ' | tr -d '<>'
  dpkg-query -W -f='${Package} ${Essential}\n' | awk '$2 == "yes" { print $1 }'
)
files=()
for file in "${mapped[@]}"; do
  [[ "$file" == /usr/bin/mirvane || "$file" == /var/cache/* || "$file" != /usr/* ]] && continue
  files+=("$file")
done
# "owner[, owner]: path" once per file; files of /lib are mapped under /usr/lib on a merged /usr.
owners=$({ dpkg -S "${files[@]}"; dpkg -S "${files[@]#/usr}"; } 2>/dev/null)
missing=()
for file in "${files[@]}"; do
  owned=no
  packages=$(awk -F': ' -v a="$file" -v b="${file#/usr}" '$2 == a || $2 == b { print $1; exit }' <<<"$owners")
  [[ -n "$packages" ]] || { log "not from a package: $file"; continue; }
  for owner in $packages; do
    owner=${owner%,}
    grep -qxF "${owner%%:*}" <<<"$pulled_in" && owned=yes
  done
  [[ $owned == yes ]] || missing+=("$file ($packages)")
done
log "${#files[@]} files mapped, from the $(wc -l <<<"$pulled_in") packages pulled in or essential"
check "every library, plugin and font it loaded comes with its Depends (missing: ${missing[*]:-none})" \
  test ${#missing[@]} -eq 0

check "apt-get purge" purge
gone() { ! known; }
check "the package is gone" gone
left=()
for path in "${held[@]}"; do
  [[ -z "$path" ]] && continue
  if [[ -d "$path" ]]; then
    # An empty folder may stay only when another package holds it.
    [[ -z "$(ls -A "$path")" ]] && ! dpkg -S "$path" >/dev/null 2>&1 && left+=("$path (empty)")
  elif [[ -e "$path" || -L "$path" ]]; then
    left+=("$path")
  fi
done
check "no file of the package is left (${left[*]:-none})" test ${#left[@]} -eq 0
# The caches that the desktop's triggers rebuilt no longer name it.
lacks() { ! grep -qaF "$2" "$1"; }
for cache in /usr/share/applications/mimeinfo.cache /usr/share/icons/hicolor/icon-theme.cache; do
  [[ -f "$cache" ]] || continue
  check "$cache no longer names $id" lacks "$cache" "$id"
done

finish
