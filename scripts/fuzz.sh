#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs each for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
# Findings are written to build/fuzz/artifacts/ and make the script fail; the growing corpus is
# kept in build/fuzz/corpus/<target>/ between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build=build/fuzz
targets=(tvx_fuzz_receive_frame tvx_fuzz_messages tvx_fuzz_relay_first_frame)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DTVX_SANITIZE=address,undefined -DTVX_BUILD_TESTS=OFF -DTVX_FUZZ=ON >/dev/null
ninja -C "$build" -j2 "${targets[@]}"

# Small seeds: a few well-formed frames and messages, so the fuzzer starts from real layouts.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/tvx_fuzz_receive_frame" "$seeds/tvx_fuzz_messages" "$seeds/tvx_fuzz_relay_first_frame"
python3 - "$seeds" <<'PY'
import struct, sys, os
root = sys.argv[1]
def put(target, name, data):
    with open(os.path.join(root, target, name), "wb") as f:
        f.write(data)
def frame(t, payload, flags=0, magic=b"TVRX"):
    return magic + struct.pack("<HHI", t, flags, len(payload)) + payload
put("tvx_fuzz_receive_frame", "two-frames", frame(1, b"\0" * 80) + frame(0x16, b""))
put("tvx_fuzz_receive_frame", "bad-magic", frame(2, b"x" * 12, magic=b"TVRY"))
put("tvx_fuzz_receive_frame", "cut-payload", frame(0x82, b"y" * 64)[:40])
put("tvx_fuzz_receive_frame", "over-cap", b"TVRX" + struct.pack("<HHI", 0x82, 1, 0x1000001))
hello = struct.pack("<IB3xQ", 7, 1, 0x1122334455667788) + b"ABC123".ljust(16, b"\0") + b"Viewer".ljust(32, b"\0") + b"123456789".ljust(16, b"\0")
desc = struct.pack("<IiiIIIIHHHHIIBBBB", 7, 0, 0, 1920, 1080, 1920, 1080, 128, 128, 15, 9, 0, 1, 70, 30, 0, 7)
tiles = struct.pack("<IHxx", 5, 2) + struct.pack("<HHI", 1, 2, 4) + b"\xff\xd8\xff\xd9" + struct.pack("<HHI", 14, 8, 2) + b"\xff\xd9"
monitors = struct.pack("<II", 1, 0) + struct.pack("<IiiIIB3x", 0, 0, 0, 1920, 1080, 1) + b"DISPLAY1".ljust(32, b"\0")
drawing = struct.pack("<IBBHIfII", 3, 7, 1, 2, 0xFF00FF00, 4.0, 0, 2) + struct.pack("<ffff", 0.1, 0.2, 0.3, 0.4) + "Hi".encode("utf-16-le")
seeds = {
    0: hello, 1: struct.pack("<I", 3), 2: desc, 3: struct.pack("<HH", 15, 9) + tiles, 4: monitors,
    5: struct.pack("<I", 5), 6: struct.pack("<II", 1, 5) + b"hello", 7: struct.pack("<QI", 1234, 20),
    8: struct.pack("<QII", 1234, 900, 60), 9: struct.pack("<ffB3xI", 0.5, 0.5, 1, 0), 10: drawing,
    11: struct.pack("<I", 1), 12: struct.pack("<ffIB3x", 0.5, 0.5, 0, 1), 13: struct.pack("<BBH", 80, 30, 1100),
    14: struct.pack("<I", 1), 15: struct.pack("<BBxx", 1, 1), 16: struct.pack("<ffBBh", 0.5, 0.5, 1, 0, 0),
    17: struct.pack("<HHBBH", 0x41, 0x1E, 1, 0, 0), 18: struct.pack("<I", 2) + "ok".encode("utf-16-le"),
    19: struct.pack("<I", 1), 20: struct.pack("<IHH", 48000, 2, 16), 21: b"\x02" + struct.pack("<II", 1, 2) + b"\0" * 8,
    22: struct.pack("<ffI", 0.5, 0.5, 1), 23: struct.pack("<IB3x", 1500, 1) + b"Ann".ljust(32, b"\0"),
    24: struct.pack("<I", 1) + b"123456789".ljust(16, b"\0") + b"HOST".ljust(32, b"\0"),
    25: struct.pack("<Q", 42), 26: struct.pack("<IIII", 0, 2, 10, 0),
}
for selector, payload in seeds.items():
    put("tvx_fuzz_messages", "seed-%02d" % selector, bytes([selector]) + payload)
for name, t, payload in [("hello", 0x01, hello), ("registration", 0x30, seeds[24]), ("claim", 0x33, seeds[25]),
                         ("status", 0x35, b"")]:
    put("tvx_fuzz_relay_first_frame", name, struct.pack("<H", t) + payload)
PY

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds}s"
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$artifacts" "$corpus" "$seeds/$target" 2>"$build/$target.log"; then
    echo "FAILED: $target (see $build/$target.log and $artifacts)"
    status=1
  fi
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done)" "$build/$target.log" || true
done
exit $status
