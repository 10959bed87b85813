# Sourced by the checks in which a Windows-built tavrix-cli runs under Wine on a private Xvfb
# display and a Linux-built driver joins it over 127.0.0.1. Call
#   wine_display_check NAME DRIVER WINDOWS_BUILD_DIR NATIVE_BUILD_DIR
# with DRIVER relative to the native build. It sets cli, driver and work (a scratch folder), points
# WINEPREFIX at a prefix of its own (a display-bound wineserver must not serve headless runs) and
# cleans all of it up at exit; the caller starts Xvfb (start_xvfb) when it is ready.
. scripts/xvfb.sh
wine_display_check() {
  local name=$1 windows_build=${3:-build/windows} native_build=${4:-build/native}
  cli="$windows_build/tools/cli/tavrix-cli.exe"
  driver="$native_build/$2"
  for f in "$cli" "$driver"; do
    if [ ! -f "$f" ]; then echo "$name: $f is missing (build it first)"; exit 2; fi
  done
  work=$(mktemp -d)
  export WINEPREFIX="$(cd "$windows_build" && pwd)/wineprefix-display" WINEDEBUG=-all
  trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null; stop_xvfb; rm -rf "$work"' EXIT
}
