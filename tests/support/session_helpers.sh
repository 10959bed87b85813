# Shell helpers for the checks that run tavrix-cli processes against each other over loopback.
# Source it; it defines free_port and wait_for_line.

# Prints a TCP port on 127.0.0.1 that nothing listens on right now.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# Waits until a line matching $2 appears in file $1 (at most $3 seconds).
wait_for_line() {
  for _ in $(seq 1 $(($3 * 10))); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
