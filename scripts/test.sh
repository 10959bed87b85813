#!/usr/bin/env bash
# Builds everything and runs every test: the native build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded engine tests under ThreadSanitizer, a short fuzzing
# pass, the Windows build under Wine on a private Xvfb display, and sessions between the builds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
source scripts/xvfb.sh

echo "== native (ASan + UBSan)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

echo "== native-tsan (engine tests)"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan --target tvx_engine_tests
ctest --preset native-tsan -L engine --no-tests=ignore

echo "== fuzzing (bounded)"
scripts/fuzz.sh 15

echo "== windows (under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
export WINEPREFIX="$root/build/windows/wineprefix"
start_xvfb
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
sh scripts/wine-prefix.sh

echo "== sessions between the builds"
scripts/cross-test.sh

echo "== remote control moves the X pointer"
scripts/control-check.sh build/windows build/native

echo "== a viewer's drawings on the host's overlay"
scripts/overlay-check.sh build/windows build/native

echo "== tavrix.exe: window, tray, sharing and settings under Wine"
scripts/app-check.sh build/windows build/native

ctest --preset windows
