#!/usr/bin/env bash
# Builds the Windows programs and starts Tavrix under Wine (on Linux): with no arguments it runs
# `tavrix-cli --help`; any arguments are passed to tavrix-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target tavrix-cli
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all
sh scripts/wine-prefix.sh
if [ $# -eq 0 ]; then set -- --help; fi
exec wine build/windows/tools/cli/tavrix-cli.exe "$@"
