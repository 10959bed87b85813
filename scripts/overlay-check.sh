#!/usr/bin/env bash
# Shows that a viewer's drawings appear on the host's screen: a Windows-built
# "tavrix-cli host --overlay --overlay-dump" runs under Wine on a private Xvfb display (with a Wine
# prefix of its own, as a display-bound wineserver must not serve headless runs), the Linux-built
# tvx_overlay_driver joins it over 127.0.0.1, draws, asks for dumps of the overlay's surface and
# checks their pixels (Xvfb has no compositor, so the surface is read, not the screen).
# Usage: scripts/overlay-check.sh [WINDOWS_BUILD_DIR] [NATIVE_BUILD_DIR] [KEEP_DIR]
#        (defaults build/windows and build/native; KEEP_DIR keeps the dumps). Exit code 0 on success.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-display-check.sh
wine_display_check overlay-check tests/media/tvx_overlay_driver "${1:-}" "${2:-}"
keep=${3:-}

start_xvfb
if ! sh scripts/wine-prefix.sh; then echo "overlay-check: could not prepare $WINEPREFIX"; exit 2; fi

# The driver's end closes the host's stdin, which stops the host (it dumps once more at exit).
# Wine maps the dump's Windows path onto this folder through its Z: drive.
dump="$work/overlay.bmp"
timeout 180 "$driver" "$work/host.out" "$dump" 2>"$work/driver.err" |
  timeout 180 wine "$cli" host --port 0 --source synthetic:1280x720 --input log --overlay \
    --overlay-dump "Z:${dump//\//\\}" >"$work/host.out" 2>"$work/host.err"
statuses=("${PIPESTATUS[@]}")
sed 's/^/overlay-check: /' "$work/driver.err"
if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work"/host.* "$keep"/ && cp "$dump" "$dump".drawings.bmp "$keep"/ 2>/dev/null; fi
if [ "${statuses[0]}" = 0 ] && [ "${statuses[1]}" = 0 ] && grep -q '"event":"Stopped"' "$work/host.out"; then
  echo "overlay-check: PASS"
  exit 0
fi
echo "overlay-check: FAIL (exit codes: driver ${statuses[0]}, host ${statuses[1]})"
for f in "$work"/host.out "$work"/host.err; do echo "--- $f"; tail -n 20 "$f"; done
exit 1
