#!/bin/bash
# Peak memory of quendrix-cli whois reading a server that streams 100 MB (it keeps the first
# 16 MiB and says the reply was cut), against the same program's start alone (--version).
# The server is a few lines of Python on 127.0.0.1, any free port.
#
#   bench/whois/cli-memory.sh [BUILD_DIR]
#
# BUILD_DIR: a Release build holding bin/quendrix-cli (default build/release in the source tree).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
build=$(cd "${1:-$root/build/release}" && pwd)
cli=$build/bin/quendrix-cli
[ -x "$cli" ] || {
    echo "missing $cli: cmake --build $build --target quendrix-cli" >&2
    exit 1
}

work=$(mktemp -d /tmp/whois-memory.XXXXXX)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# One connection: read the query line, send 100 MB, close. Prints its port first.
python3 -u - >"$work/port" <<'PY' &
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
print(s.getsockname()[1], flush=True)
s.settimeout(120)
c, _ = s.accept()
c.recv(4096)
chunk = (b"x" * 79 + b"\n") * 800
try:
    for _ in range(100 * 1000 * 1000 // len(chunk)):
        c.sendall(chunk)
except OSError:
    pass  # the client stops reading at its limit
c.close()
PY
server_pid=$!
for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(head -n1 "$work/port")

peak_kib() {
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"
}

/usr/bin/time -v "$cli" --version >/dev/null 2>"$work/start"
/usr/bin/time -v "$cli" whois example.com --server 127.0.0.1 --port "$port" \
    >"$work/out" 2>"$work/run"
status=$?
start=$(peak_kib "$work/start")
run=$(peak_kib "$work/run")
printf 'stdout bytes: %d, exit status %d (1: cut)\n' "$(stat -c %s "$work/out")" "$status"
grep -m1 'cut' "$work/run"
printf 'peak at start: %.1f MiB; reading 100 MB: %.1f MiB; above start: %.1f MiB (limit 64)\n' \
    "$(echo "$start / 1024" | bc -l)" "$(echo "$run / 1024" | bc -l)" \
    "$(echo "($run - $start) / 1024" | bc -l)"
