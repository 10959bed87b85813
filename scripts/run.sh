#!/usr/bin/env bash
# Builds the Windows programs and starts Tavrix under Wine. With no arguments it shares this
# screen headless (`tavrix-cli host --source screen`, or a synthetic desktop when there is no
# display) on port 7788 until Ctrl+C; any arguments are passed to tavrix-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target tavrix-cli
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all
sh scripts/wine-prefix.sh
# The prefix's wineserver outlives every program on purpose (tests start faster); here nothing
# else uses it, so it goes when Tavrix ends, Ctrl+C included.
trap 'wineserver -k 2>/dev/null || true' EXIT
if [ $# -eq 0 ]; then
  if [ -n "${DISPLAY:-}" ]; then
    set -- host --source screen
  else
    set -- host --source synthetic:1920x1080:typing
  fi
  echo "Sharing on port 7788 (Ctrl+C stops). Watch it from another terminal with:"
  echo "  WINEPREFIX=$WINEPREFIX wine build/windows/tools/cli/tavrix-cli.exe view 127.0.0.1 --save picture.bmp"
fi
wine build/windows/tools/cli/tavrix-cli.exe "$@"
