#!/bin/sh
# Prepares a private Wine prefix for the Windows build's tests and leaves a persistent wineserver
# running in it, so each test program does not pay Wine's start-up again.
# Usage: WINEPREFIX=/path [DISPLAY=:N] sh scripts/wine-prefix.sh        (stop: wineserver -k)
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null; wineserver -w
# Started outside ctest's pipes: a wineserver that inherits them makes every test wait for it.
# It keeps the DISPLAY it starts with, so headless and Xvfb runs must not share one server.
wineserver -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
fi
if [ ! -f "$WINEPREFIX/tavrix-tweaks.done" ]; then
  cat > "$WINEPREFIX/tavrix-tweaks.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Segoe UI"="DejaVu Sans"
"Consolas"="DejaVu Sans Mono"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
  wine regedit /S "$WINEPREFIX/tavrix-tweaks.reg" </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/tavrix-tweaks.done"
fi
wine cmd /c exit </dev/null >/dev/null 2>&1
exit 0
