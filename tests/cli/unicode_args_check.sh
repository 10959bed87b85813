#!/usr/bin/env bash
# A viewer name and a settings path outside ASCII survive the command line unchanged: the host
# reports the exact name the viewer was given, and a settings file in a folder with such a name is
# read and written. Usage: unicode_args_check.sh WORK HOST_CLI VIEW_CLI [EMULATOR...]
# A program ending in .exe runs under EMULATOR (Wine); the other runs as it is.
set -uo pipefail
work=$1 host_cli=$2 view_cli=$3
shift 3
emulator=("$@")
rm -rf "$work" && mkdir -p "$work"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null' EXIT

run() {
  local cli=$1; shift
  if [[ $cli == *.exe ]]; then "${emulator[@]}" "$cli" "$@"; else "$cli" "$@"; fi
}

failed=0
fail() { echo "FAIL: $*"; failed=1; }

source "$(dirname "$0")/../support/session_helpers.sh"

folder='Réglages ñ 日本'
mkdir -p "$work/$folder"

# --- the viewer's name reaches the host as typed; its picture saves into the folder -------------
name='Zoë Åsa-Łukasz 日本語 ñ'
port=$(free_port)
run "$host_cli" host --port "$port" --loopback --source synthetic:256x128:typing --duration 60 \
  >"$work/host.out" 2>"$work/host.err" </dev/null &
pids+=($!)
if wait_for_line "$work/host.out" '"event":"Started"' 60; then
  (cd "$work" && run "$view_cli" view 127.0.0.1 --port "$port" --name "$name" --frames 1 --duration 30 \
    --save "$folder/picture.bmp") >"$work/view.out" 2>"$work/view.err" </dev/null ||
    fail "the viewer ended with an error: $(tail -3 "$work/view.err")"
  [[ $(head -c 2 "$work/$folder/picture.bmp" 2>/dev/null) == BM ]] || fail "no picture saved into '$folder'"
  wait_for_line "$work/host.out" '"event":"ViewerJoined"' 10
  joined=$(grep -a '"event":"ViewerJoined"' "$work/host.out" | head -1 | tr -d '\r')
  [[ $joined == "{\"event\":\"ViewerJoined\",\"text\":\"$name\"}" ]] || fail "the host saw '$joined', expected the name '$name'"
else
  fail "the host did not start: $(tail -3 "$work/host.err")"
fi

# --- a settings file in a folder named outside ASCII ---------------------------------------------
printf '{"share.fps": 42}' >"$work/$folder/settings.json"
(cd "$work" && run "$view_cli" settings show "$folder/settings.json") >"$work/show.out" 2>"$work/show.err"
grep -q '"share.fps": 42,' "$work/show.out" || fail "settings show did not read the file: $(tr -d '\r' <"$work/show.err")"
(cd "$work" && run "$view_cli" settings save "$folder/new.json") >"$work/save.out" 2>"$work/save.err"
[ -s "$work/$folder/new.json" ] || fail "settings save did not write into '$folder'"

if [ "$failed" -ne 0 ]; then
  for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; tail -n 5 "$f"; done
  exit 1
fi
echo "non-ASCII arguments: name and paths intact"
