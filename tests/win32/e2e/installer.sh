#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own:
#   installer.sh BUILD_DIR
# BUILD_DIR is the Windows build holding Mirvane-<version>-x64.msi (made by
# scripts/package-windows.sh). Installs it per user, checks the files, the Start-menu
# shortcut, the "Open with" registration and the "Apps & features" entry, starts the
# program as the shortcut does and has it save its settings in the shortcut's folder,
# uninstalls it and compares with before; then upgrades it with a newer build and
# uninstalls that.
source "$(dirname "$0")/lib.sh"

ROOT=$(cd "$(dirname "$0")/../../.." && pwd)
BUILD=$(cd "${1:?build folder}" && pwd)
VERSION=$(sed -n 's/^project(Mirvane VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
MSI=$BUILD/Mirvane-$VERSION-x64.msi
[[ -f "$MSI" ]] || { echo "no installer at $MSI: run scripts/package-windows.sh" >&2; exit 1; }
command -v wixl >/dev/null || { echo "wixl is not installed" >&2; exit 1; }

# A fresh prefix, so that nothing an earlier run installed is taken for this one's;
# no menu entries or file types on the host's desktop for what the MSI installs.
PREFIX=$BUILD/wineprefix-installer
rm -rf "$PREFIX"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all
"$WINE_RUN" --prefix "$PREFIX" cmd /c exit 0 || { echo "no Wine prefix" >&2; exit 1; }
WINEPREFIX=$PREFIX wineserver -w
# The display and work folder come with the built program; the installed one is
# checked against it.
wine_e2e_init "$BUILD/src/mirvane.exe" "" "$PREFIX"
BUILT_EXE=$MIRVANE
export WINEPREFIX=$PREFIX
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
PROGID_COUNT=35  # the extensions the program reads
mapfile -t SAMPLES < <(cd "$ROOT/data/samples" && ls)

wine_q() { wine "$@" 2>/dev/null | tr -d '\r'; }
unix_of() { winepath -u "$1" 2>/dev/null; }
win_env() { wine_q cmd /c echo "%$1%"; }

LOCAL_WIN=$(win_env LOCALAPPDATA)
APPDATA_WIN=$(win_env APPDATA)
DRIVE_C=$(unix_of 'C:\')
INSTALL_WIN="$LOCAL_WIN\\Programs\\Mirvane"
INSTALL_DIR=$(unix_of "$INSTALL_WIN")
SETTINGS_WIN="$APPDATA_WIN\\Mirvane"
SETTINGS_DIR=$(unix_of "$SETTINGS_WIN")
LINK=$(unix_of "$APPDATA_WIN\\Microsoft\\Windows\\Start Menu\\Programs")/Mirvane.lnk
log "install folder $INSTALL_WIN, settings $SETTINGS_WIN"
[[ -n "$LOCAL_WIN" && -n "$APPDATA_WIN" && -d "$DRIVE_C" ]] || abort "no profile folders in $PREFIX"

msiexec_run() {
  local log_file="$WORK/msiexec-$((++MSIEXEC_RUNS)).log"
  wine msiexec "$@" /qn /l*v "$(winpath "$log_file")" >/dev/null 2>&1
  local rc=$?
  wineserver -w
  return $rc
}
MSIEXEC_RUNS=0

# The profile's files and the installer's cache, and the registry the MSI touches:
# what an uninstall must give back as it was.
snapshot() {
  local out=$WORK/$1 key
  (cd "$DRIVE_C" && find users windows/Installer 2>/dev/null | sort) >"$out.files"
  : >"$out.reg"
  for key in 'HKCU\Software\Classes' 'HKCU\Software\Mirvane' 'HKCU\Software\Microsoft\Installer' \
    "$UNINSTALL" 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData'; do
    echo "[$key]" >>"$out.reg"
    wine_q reg query "$key" /s | grep -v -e '^$' -e '^reg: ' >>"$out.reg"
  done
}

# Keys Windows Installer keeps for every product it installs, as a path's last parts.
INSTALLER_KEYS='(Installer|Windows\\CurrentVersion\\Installer\\UserData)'
INSTALLER_KEYS+='(\\S-1-5-[0-9-]+)?(\\(Features|Products|UpgradeCodes|Components))?'

# same_as BEFORE AFTER [IGNORED_PATTERN]: the two snapshots agree (files matching the
# pattern aside); prints what differs. Windows Installer's own folders and keys, which
# hold every product's records, may stay behind empty.
same_as() {
  local diff
  diff=$(diff "$WORK/$1.files" "$WORK/$2.files" | grep '^[<>]' | grep -Ev "${3:-^$}")
  diff+=$(diff "$WORK/$1.reg" "$WORK/$2.reg" | grep '^[<>]' |
    grep -Ev "^> HKEY_[A-Z_]+\\\\Software\\\\Microsoft\\\\$INSTALLER_KEYS\$")
  [[ -z "$diff" ]] && return 0
  log "differs: $(head -20 <<<"$diff")"
  return 1
}

# uninstall_entries: "KEY VERSION" for each product named Mirvane under Uninstall.
uninstall_entries() {
  wine_q reg query "$UNINSTALL" /s | awk '
    /^HKEY/ { key = $0; name = ""; next }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" && name == "Mirvane" { sub(/.*\\/, "", key); print key, $3 }'
}

# entry_value CODE NAME: one value of a product's uninstall entry.
entry_value() {
  wine_q reg query "$UNINSTALL\\$1" /v "$2" |
    awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# reg_default KEY: the key's default value.
reg_default() {
  wine_q reg query "$1" /ve | sed -n '/(value not set)$/d; s/^ *(Default) *REG_SZ *//p'
}

fails() { ! "$@" >/dev/null 2>&1; }

# ---- the shortcut ----------------------------------------------------------

# lnk_strings FILE: the shortcut's target, working folder and icon, one a line, read
# from its binary form (MS-SHLLINK): the link info's local path and the string data.
lnk_strings() {
  local -a b
  mapfile -t b < <(od -An -v -tx1 -w1 "$1" | tr -d ' ')
  ((${#b[@]} > 0x4c)) || return 1
  u16() { echo $((16#${b[$1 + 1]}${b[$1]})); }
  u32() { echo $((16#${b[$1 + 3]}${b[$1 + 2]}${b[$1 + 1]}${b[$1]})); }
  local flags pos=$((0x4c)) info i
  flags=$(u32 0x14)
  ((flags & 0x01)) && pos=$((pos + 2 + $(u16 $pos)))
  if ((flags & 0x02)); then
    info=$pos
    i=$((info + $(u32 $((info + 16)))))
    local target=""
    while [[ ${b[$i]} != 00 ]]; do target+="\\x${b[$i]}"; i=$((i + 1)); done
    printf "$target\n"
    pos=$((pos + $(u32 $pos)))
  else
    echo
  fi
  # Name, relative path, working folder, arguments, icon: each a count of UTF-16 units.
  local bit n text fields=()
  for bit in 0x04 0x08 0x10 0x20 0x40; do
    text=""
    if ((flags & bit)); then
      n=$(u16 $pos)
      pos=$((pos + 2))
      for ((i = 0; i < 2 * n; i++)); do text+="\\x${b[$((pos + i))]}"; done
      pos=$((pos + 2 * n))
      text=$(printf "$text" | iconv -f UTF-16LE -t UTF-8 | tr -d '\0')
    fi
    fields+=("$text")
  done
  printf '%s\n' "${fields[2]}" "${fields[4]}"
}

# start_as_shortcut ARG...: starts the shortcut's target in its working folder, as
# Explorer does; finds the window and its geometry as start_viewer does.
start_as_shortcut() {
  wine start /d "$LINK_DIR" "$LINK_TARGET" "$@" >>"$WORK/viewer.log" 2>&1
  VIEWER_WIN=""
  wait_for 15000 find_window_by_name ||
    abort "no window of mirvane (log: $(tail -5 "$WORK/viewer.log"))"
  VIEWER_PID=$(xdotool getwindowpid "$VIEWER_WIN")
  PIDS+=("$VIEWER_PID")
  viewer_layout
  log "mirvane pid $VIEWER_PID, window $VIEWER_WIN ${WW}x${WH}"
}

find_window_by_name() {
  VIEWER_WIN=$(xdotool search --onlyvisible --name '^Mirvane' 2>/dev/null | head -1)
  [[ -n "$VIEWER_WIN" ]]
}

# end_viewer: quits through the menu's last entry and waits for Wine to settle.
end_viewer() {
  choose_entry "$ENTRY_END" && wait_for 5000 viewer_gone
  local rc=$?
  wineserver -w
  return $rc
}

nothing_on_host_menus() {
  [[ -z "$(find "$HOME/.local/share/applications" "$HOME/.config/menus" \
    "$HOME/.local/share/mime/packages" -iname '*mirvane*' 2>/dev/null)" ]]
}

# ---- install ---------------------------------------------------------------

ICON=$BUILD/src/platform/win32/mirvane.ico
CLASSES='HKCU\Software\Classes'
snapshot before
host_before=$(nothing_on_host_menus && echo clean)
check "msiexec /i installs (per user, quiet)" msiexec_run /i "$(winpath "$MSI")"

msiextract -C "$WORK/package" "$MSI" >/dev/null 2>&1
PACKAGED=$WORK/package/Programs/Mirvane
check "the package holds the built program" cmp -s "$PACKAGED/mirvane.exe" "$BUILT_EXE"
for file in mirvane.exe LICENSE.txt README.txt; do
  check "$file is installed" cmp -s "$INSTALL_DIR/$file" "$PACKAGED/$file"
done

# The portable zip: the same program, with the samples.
ZIP=$BUILD/Mirvane-$VERSION-x64.zip
top=Mirvane-$VERSION-x64/
expected=$(printf "$top%s\n" "" LICENSE.txt README.txt mirvane.exe samples/ \
  "${SAMPLES[@]/#/samples/}" | sort)
check "the zip holds the program, licence, read-me and samples" \
  test "$(unzip -Z1 "$ZIP" 2>/dev/null | sort)" == "$expected"
check "the zip's program is the package's" \
  cmp -s <(unzip -p "$ZIP" "${top}mirvane.exe") "$PACKAGED/mirvane.exe"
check "the settings folder is made, empty" \
  test -d "$SETTINGS_DIR" -a -z "$(ls -A "$SETTINGS_DIR" 2>/dev/null)"
check "the Start-menu shortcut is there" test -f "$LINK"
mapfile -t link < <(lnk_strings "$LINK")
LINK_TARGET=${link[0]:-}
LINK_DIR=${link[1]:-}
LINK_ICON=${link[2]:-}
log "shortcut: target $LINK_TARGET, in $LINK_DIR, icon $LINK_ICON"
check "the shortcut starts the installed program" test "$LINK_TARGET" == "$INSTALL_WIN\\mirvane.exe"
check "the shortcut's working folder is the settings folder" \
  test "${LINK_DIR%\\}" == "$SETTINGS_WIN"
check "the shortcut shows the program's icon" cmp -s "$(unix_of "$LINK_ICON")" "$ICON"
if [[ "$host_before" == clean ]]; then
  check "no entry on the host's desktop menus" nothing_on_host_menus
fi

open_with() {
  wine_q reg query "$CLASSES\\.$1\\OpenWithProgids" /v Mirvane.Picture | grep -q Mirvane.Picture
}
for ext in jpg heic png; do
  check ".$ext offers Mirvane under Open with" open_with $ext
  check ".$ext keeps its default program (no default value written)" \
    test -z "$(reg_default "$CLASSES\\.$ext")"
done
progids=$(wine_q reg query "$CLASSES" /s /v Mirvane.Picture | grep -c 'Mirvane.Picture')
check "every format read is offered ($progids of $PROGID_COUNT)" test "$progids" -eq "$PROGID_COUNT"
command_line="\"$INSTALL_WIN\\mirvane.exe\" %1"
check "the ProgId opens with the installed program" \
  test "$(reg_default "$CLASSES\\Mirvane.Picture\\shell\\open\\command")" == "$command_line"
app=$CLASSES\\Applications\\mirvane.exe
check "the application is registered with its command" \
  test "$(reg_default "$app\\shell\\open\\command")" == "$command_line"
types=$(wine_q reg query "$app\\SupportedTypes" | grep -c '^ *\.')
check "the application lists its $types of $PROGID_COUNT types" test "$types" -eq "$PROGID_COUNT"

mapfile -t entries < <(uninstall_entries)
check "one Apps & features entry (${entries[*]})" test ${#entries[@]} -eq 1
product=${entries[0]%% *}
check "the entry shows version $VERSION" \
  test "$(entry_value "$product" DisplayVersion)" == "$VERSION"
check "the entry shows the publisher" \
  test "$(entry_value "$product" Publisher)" == "Mirvane developers"
check "the entry shows the size" test "$(entry_value "$product" Size)" -gt 1000
check "the entry shows the install folder" \
  test "$(entry_value "$product" InstallLocation)" == "$INSTALL_WIN\\"
packed=$(wine_q reg query 'HKCU\Software\Microsoft\Installer\Products' |
  sed -n 's/.*Products\\//p' | head -1)
icon=$(wine_q reg query "HKCU\\Software\\Microsoft\\Installer\\Products\\$packed" /v ProductIcon |
  sed -n 's/^ *ProductIcon *REG_SZ *//p')
check "the product's icon is the program's" cmp -s "$(unix_of "$icon")" "$ICON"

# ---- the program, as the shortcut starts it --------------------------------

solid red.png red 800 600
red=$(winpath "$WORK/red.png")
start_as_shortcut "$red"
check "the shortcut's program shows the picture" wait_caption "Mirvane [$red]" 5000
check "red on view" wait_centre red 2000
shot_window win-installed >/dev/null
check "loop entry taken" choose_entry "$ENTRY_LOOP"
check "the settings land in the shortcut's folder" \
  wait_for 3000 file_is "$SETTINGS_DIR/Mirvane.ini" 'Loop=True\r\nInterval=2000\r\nRotate=False\r\n'
check "and nowhere else" test ! -e "$INSTALL_DIR/Mirvane.ini" -a ! -e "$WORK/Mirvane.ini"
check "the program ends from its menu" end_viewer

# "Open with" runs the registered command with the file's name for %1.
solid green.png '#00ff00' 800 600
green=$(winpath "$WORK/green.png")
printf '%s\r\n' "${command_line/\%1/$green}" >"$WORK/open-with.cmd"
wine cmd /c "$(winpath "$WORK/open-with.cmd")" >>"$WORK/viewer.log" 2>&1 &
PIDS+=("$!")
if wait_for 15000 find_window_by_name; then
  VIEWER_PID=$(xdotool getwindowpid "$VIEWER_WIN")
  PIDS+=("$VIEWER_PID")
  check "the Open with command shows the picture" wait_caption "Mirvane [$green]" 5000
  check "green on view" wait_centre green 2000
  check "the program ends again" end_viewer
else
  not_ok "the Open with command starts the program"
fi

# ---- uninstall -------------------------------------------------------------

check "msiexec /x uninstalls" msiexec_run /x "$(winpath "$MSI")"
snapshot uninstalled
# Kept: the user's settings, and the folder of installed products' icons that Wine's
# msiexec makes (empty again).
kept='^> windows/Installer$|/Roaming/Microsoft/Installer$'
check "every file and key it made is gone" same_as before uninstalled \
  "$kept|/Roaming/Mirvane\$|/Roaming/Mirvane/Mirvane.ini\$"
check "the settings are kept" test "$(ls -A "$SETTINGS_DIR")" == Mirvane.ini
check "no Apps & features entry" test -z "$(uninstall_entries)"
check "no install folder" test ! -e "$INSTALL_DIR"
check "no shortcut" test ! -e "$LINK"
check ".jpg offers Mirvane no more" fails open_with jpg

# ---- upgrade ---------------------------------------------------------------

NEWER=1.0.1
NEWER_MSI=$WORK/Mirvane-$NEWER-x64.msi
check "a $NEWER installer builds" \
  bash "$ROOT/packaging/windows/make-msi.sh" "$BUILD" "$NEWER" "$NEWER_MSI"
check "$VERSION installs again" msiexec_run /i "$(winpath "$MSI")"
settings=$(cat "$SETTINGS_DIR/Mirvane.ini" 2>/dev/null)
old=$(uninstall_entries)
old=${old%% *}
check "$NEWER installs over it" msiexec_run /i "$(winpath "$NEWER_MSI")"
mapfile -t entries < <(uninstall_entries)
log "before: $old; after: ${entries[*]}"
check "one Apps & features entry, version $NEWER" \
  test ${#entries[@]} -eq 1 -a "${entries[0]#* }" == "$NEWER"
check "a new product code" test -n "$old" -a "${entries[0]%% *}" != "$old"
check "the old product's entry is removed" fails wine reg query "$UNINSTALL\\$old"
check "one install folder, with the program" \
  test "$(ls "$(dirname "$INSTALL_DIR")")" == Mirvane -a -f "$INSTALL_DIR/mirvane.exe"
check "one shortcut" test "$(find "$(dirname "$LINK")" -iname "*mirvane*" | wc -l)" -eq 1
check "the settings survive the upgrade" \
  test -n "$settings" -a "$(cat "$SETTINGS_DIR/Mirvane.ini" 2>/dev/null)" == "$settings"
check "an older installer does not downgrade it" fails msiexec_run /i "$(winpath "$MSI")"
check "still $NEWER" test "$(uninstall_entries | cut -d' ' -f2)" == "$NEWER"
# Without settings, the folder goes with the program.
rm -f "$SETTINGS_DIR/Mirvane.ini"
check "msiexec /x uninstalls $NEWER" msiexec_run /x "$(winpath "$NEWER_MSI")"
snapshot upgraded-uninstalled
check "every file and key is gone, the empty settings folder too" \
  same_as before upgraded-uninstalled "$kept"

# Made afresh each run; kept only to look into a failure.
if ((FAILURES == 0)); then
  wineserver -w
  rm -rf "$PREFIX"
fi
finish
