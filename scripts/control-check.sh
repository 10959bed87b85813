#!/usr/bin/env bash
# Shows that a viewer's control mouse moves the real pointer through the Windows build's injector:
# a Windows-built "tavrix-cli host --input inject --allow-control" runs under Wine on a private Xvfb
# display (with a Wine prefix of its own, as a display-bound wineserver must not serve headless
# runs), the Linux-built tvx_control_driver joins it over 127.0.0.1 and moves its mouse to x = 0.25,
# y = 0.75 of a 640 x 400 synthetic screen, and the X pointer is read back. Needs Xvfb, wine, g++
# and libX11.so.6 (which Wine and Xvfb bring).
# Usage: scripts/control-check.sh [WINDOWS_BUILD_DIR] [NATIVE_BUILD_DIR]
#        (defaults build/windows and build/native). Exit code 0 when the pointer landed there.
set -uo pipefail
cd "$(dirname "$0")/.."
windows_build=${1:-build/windows}
native_build=${2:-build/native}
cli="$windows_build/tools/cli/tavrix-cli.exe"
driver="$native_build/tests/host/tvx_control_driver"
for f in "$cli" "$driver"; do
  if [ ! -f "$f" ]; then echo "control-check: $f is missing (build it first)"; exit 2; fi
done

work=$(mktemp -d)
. scripts/xvfb.sh
export WINEPREFIX="$(cd "$windows_build" && pwd)/wineprefix-display" WINEDEBUG=-all
cleanup() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

# Reads or moves the X pointer. libX11 is loaded at run time, so no X development files are needed.
cat >"$work/xpointer.cpp" <<'CPP'
#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using Window = unsigned long;

int main(int argc, char** argv) {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW);
  if (!x11) { std::fprintf(stderr, "xpointer: cannot load libX11.so.6\n"); return 2; }
  auto open = reinterpret_cast<void* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
  auto root = reinterpret_cast<Window (*)(void*)>(dlsym(x11, "XDefaultRootWindow"));
  auto query = reinterpret_cast<int (*)(void*, Window, Window*, Window*, int*, int*, int*, int*, unsigned*)>(
      dlsym(x11, "XQueryPointer"));
  auto warp = reinterpret_cast<int (*)(void*, Window, Window, int, int, unsigned, unsigned, int, int)>(
      dlsym(x11, "XWarpPointer"));
  auto sync = reinterpret_cast<int (*)(void*, int)>(dlsym(x11, "XSync"));
  auto close = reinterpret_cast<int (*)(void*)>(dlsym(x11, "XCloseDisplay"));
  void* display = open ? open(nullptr) : nullptr;
  if (!display || !root || !query || !warp || !sync || !close) { std::fprintf(stderr, "xpointer: no display\n"); return 2; }
  const Window desktop = root(display);
  if (argc == 4 && std::strcmp(argv[1], "warp") == 0) {
    warp(display, 0, desktop, 0, 0, 0, 0, std::atoi(argv[2]), std::atoi(argv[3]));
    sync(display, 0);
  }
  Window r = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!query(display, desktop, &r, &child, &x, &y, &wx, &wy, &mask)) { std::fprintf(stderr, "xpointer: query failed\n"); return 2; }
  std::printf("%d %d\n", x, y);
  close(display);
  return 0;
}
CPP
if ! g++ -O1 -o "$work/xpointer" "$work/xpointer.cpp" -ldl; then echo "control-check: could not build the pointer probe"; exit 2; fi

start_xvfb
if ! sh scripts/wine-prefix.sh; then echo "control-check: could not prepare $WINEPREFIX"; exit 2; fi

read -r before_x before_y < <("$work/xpointer" warp 1000 700) || { echo "control-check: cannot read the X pointer"; exit 2; }

# The driver's end closes the host's stdin, which stops the host.
timeout 180 "$driver" "$work/host.out" 2>"$work/driver.err" |
  timeout 180 wine "$cli" host --port 0 --loopback --source synthetic:640x400 --input inject --allow-control \
    >"$work/host.out" 2>"$work/host.err"
statuses=("${PIPESTATUS[@]}")
read -r after_x after_y < <("$work/xpointer")

# x = 0.25 of pixels 0..639 is 159.75 and y = 0.75 of 0..399 is 299.25; the system rounds the
# absolute position it is given, so a pixel either way is fine.
expected_x=160
expected_y=299
ok=1
[ "${statuses[0]}" = 0 ] && [ "${statuses[1]}" = 0 ] || ok=0
[ "${after_x:-x}" -ge $((expected_x - 2)) ] 2>/dev/null && [ "$after_x" -le $((expected_x + 2)) ] || ok=0
[ "${after_y:-y}" -ge $((expected_y - 2)) ] 2>/dev/null && [ "$after_y" -le $((expected_y + 2)) ] || ok=0
grep -q '"event":"Stopped"' "$work/host.out" || ok=0

echo "control-check: X pointer before $before_x,$before_y, after $after_x,$after_y (expected about $expected_x,$expected_y)"
grep -h 'Input region\|Input map\|Local mouse' "$work/host.err" | sed 's/^/control-check: host: /'
if [ "$ok" = 1 ]; then
  echo "control-check: PASS"
  exit 0
fi
echo "control-check: FAIL (exit codes: driver ${statuses[0]}, host ${statuses[1]})"
for f in "$work"/host.out "$work"/host.err "$work"/driver.err; do echo "--- $f"; tail -n 20 "$f"; done
exit 1
