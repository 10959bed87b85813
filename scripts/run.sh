#!/usr/bin/env bash
# Builds the Windows programs and starts Tavrix (tavrix.exe) under Wine, on this display or, when
# there is none, on a private Xvfb display (the script says how to look at it). It runs until its
# window is quit from the tray or the script gets Ctrl+C. Any arguments go to tavrix-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
cmake --preset windows >/dev/null
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all

if [ $# -gt 0 ]; then
  cmake --build --preset windows --target tavrix-cli
  sh scripts/wine-prefix.sh
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wine build/windows/tools/cli/tavrix-cli.exe "$@"
  exit
fi

cmake --build --preset windows --target tavrix tavrix-cli
if [ -z "${DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  start_xvfb
  echo "No display here: Tavrix runs on the private X display $DISPLAY. To look at it:"
  echo "  xwd -display $DISPLAY -root -silent | convert xwd:- tavrix.png    (a screenshot)"
  echo "  x11vnc -display $DISPLAY -localhost   (if x11vnc is installed; then a VNC viewer on localhost:5900)"
fi
# The prefix's wineserver keeps the display it starts with and outlives every program on purpose
# (tests start faster); here nothing else uses it, so it goes when Tavrix ends, Ctrl+C included.
trap 'wineserver -k 2>/dev/null || true; if type stop_xvfb >/dev/null 2>&1; then stop_xvfb; fi' EXIT
sh scripts/wine-prefix.sh
echo "Tavrix is starting. Press \"Start sharing\" to share this screen on port 7788; watch it from"
echo "another terminal with:"
echo "  WINEPREFIX=$WINEPREFIX wine build/windows/tools/cli/tavrix-cli.exe view 127.0.0.1 --save picture.bmp"
wine build/windows/src/app/tavrix.exe
