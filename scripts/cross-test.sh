#!/usr/bin/env bash
# Sessions between the two builds over loopback: a Windows-built host under Wine serves a
# Linux-built viewer and the other way round, and a Linux-built relay carries a session from a
# Linux-built viewer to a Windows-built host by its ID. Needs both builds, a running wineserver
# (scripts/wine-prefix.sh) and WINEPREFIX set. Prints "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
native=build/native/tools/cli/tavrix-cli
relay=build/native/tools/relay/tavrix-relay
windows=build/windows/tools/cli/tavrix-cli.exe
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

run_native() { "$native" "$@"; }
run_windows() { WINEDEBUG=-all wine "$windows" "$@"; }

source tests/support/session_helpers.sh

passed=0
failed=0
check() {
  local name=$1; shift
  if "$@"; then
    echo "PASS $name"; passed=$((passed + 1))
  else
    echo "FAIL $name"; failed=$((failed + 1))
    for f in "$work"/*; do echo "--- $f"; tail -n 15 "$f"; done
  fi
}

# A host from one build, a viewer from the other; the viewer must get 10 tile frames.
direct_session() {
  local host=$1 viewer=$2 port out
  port=$(free_port)
  out="$work/host-$host-$port.out"
  "run_$host" host --port "$port" --loopback --source synthetic:640x360:typing --duration 60 >"$out" 2>"$work/host-$host-$port.err" &
  pids+=($!)
  wait_for_line "$out" '"event":"Started"' 60 || return 1
  "run_$viewer" view 127.0.0.1 --port "$port" --frames 10 --duration 30 >"$work/view-$viewer-$port.out" \
    2>"$work/view-$viewer-$port.err" || return 1
  grep -q '"event":"Connected"' "$work/view-$viewer-$port.out"
}

relay_session() {
  local rport hport id=123456789
  rport=$(free_port)
  hport=$(free_port)
  "$relay" --port "$rport" --bind 127.0.0.1 2>"$work/relay.err" &
  pids+=($!)
  wait_for_line "$work/relay.err" "Relay listening" 10 || return 1
  run_windows host --port "$hport" --loopback --relay "127.0.0.1:$rport" --id "$id" --source synthetic:640x360:typing \
    --duration 60 >"$work/relay-host.out" 2>"$work/relay-host.err" &
  pids+=($!)
  wait_for_line "$work/relay-host.out" 'Relay ready' 60 || return 1
  run_native view 127.0.0.1 --port "$rport" --relay-id "$id" --frames 10 --duration 30 \
    >"$work/relay-view.out" 2>"$work/relay-view.err" || return 1
  grep -q '"event":"Connected"' "$work/relay-view.out"
}

check "windows host -> linux viewer" direct_session windows native
check "linux host -> windows viewer" direct_session native windows
check "linux relay: linux viewer -> windows host by ID" relay_session
echo "cross-build: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
