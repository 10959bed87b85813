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
if [ $# -eq 0 ]; then
  if [ -n "${DISPLAY:-}" ]; then
    set -- host --source screen
  else
    set -- host --source synthetic:1920x1080:typing
  fi
  echo "Sharing on port 7788; watch with: build/native/tools/cli/tavrix-cli view 127.0.0.1 (Ctrl+C stops)"
fi
exec wine build/windows/tools/cli/tavrix-cli.exe "$@"
