#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix given by --prefix DIR (default:
# build-windows/wineprefix), making the prefix on first use:
#   wine-run.sh [--prefix DIR] PROGRAM.exe [ARGUMENT...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$root/build-windows/wineprefix
if [[ ${1:-} == --prefix ]]; then
  prefix=$2
  shift 2
fi
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No offers to install Mono or Gecko; the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [[ ! -f $WINEPREFIX/.mirvane-ready ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  # Without a window manager, a managed window waits for one: closing a message box
  # would stall for two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Japanese texts in the system's UI font.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAGothic /f \
    >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.mirvane-ready"
fi
exec wine "$@"
