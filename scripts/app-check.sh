#!/usr/bin/env bash
# Drives the Windows-built tavrix.exe under Wine on a private Xvfb display with a Wine prefix of
# its own (a display-bound wineserver must not serve headless runs): window, second start, relay
# sheet, About, sharing to a Linux-built viewer, both prompts, tray and quit, settings kept.
# Screenshots land in WINDOWS_BUILD_DIR/app-check/. Needs Xvfb, wine, xdotool, x11-apps (xwd).
# Usage: scripts/app-check.sh [WINDOWS_BUILD_DIR] [NATIVE_BUILD_DIR]   (defaults build/windows, build/native)
set -uo pipefail
cd "$(dirname "$0")/.."
windows_build=$(cd "${1:-build/windows}" && pwd)
native_build=$(cd "${2:-build/native}" && pwd)
app="$windows_build/src/app/tavrix.exe"
poster="$windows_build/tests/app/tvx_post_message.exe"
cli="$native_build/tools/cli/tavrix-cli"
relay="$native_build/tools/relay/tavrix-relay"
viewer="$native_build/tests/app/tvx_control_viewer"
for f in "$app" "$poster" "$cli" "$relay" "$viewer"; do
  if [ ! -f "$f" ]; then echo "app-check: $f is missing (build it first)"; exit 2; fi
done
. scripts/xvfb.sh
export WINEPREFIX="$windows_build/wineprefix-app" WINEDEBUG=-all
cleanup() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
  stop_xvfb
}
trap cleanup EXIT
start_xvfb
sh scripts/wine-prefix.sh
python3 tests/app/app_check.py "$app" "$poster" "$cli" "$relay" "$viewer" "$windows_build/app-check"
