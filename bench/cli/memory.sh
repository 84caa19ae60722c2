#!/bin/bash
# Peak memory (maximum resident set size, from /usr/bin/time -v) of quendrix-cli runs whose
# rows stream to standard output, against the same run writing an export file (which must keep
# its rows), and against the list alone. A streamed run should hold its list and little more,
# however many rows it writes.
#
#   convert --to-ip of 1,000,000 and 5,000,000 dotted 127.x.y.z addresses (answered without
#           any look-up: nothing leaves the machine)
#   ping    100 entries of 127.0.0.1, 2 echoes each, 5,000 cycles (1,000,000 rows, loopback)
#
#   bench/cli/memory.sh [BUILD_DIR] [BEFORE_BUILD_DIR]
#
# BUILD_DIR: a Release build holding bin/quendrix-cli (default build/release in the source
# tree). BEFORE_BUILD_DIR: another build to measure side by side (an older commit, say).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
build=$(cd "${1:-$root/build/release}" && pwd)
before=${2:-}
[ -x "$build/bin/quendrix-cli" ] || {
    echo "missing $build/bin/quendrix-cli: cmake --build $build --target quendrix-cli" >&2
    exit 1
}

work=$(mktemp -d /tmp/cli-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT

# count dotted addresses 127.a.b.c, one a line.
addresses() {
    awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++)
        printf "127.%d.%d.%d\n", int(i / 65536) % 256, int(i / 256) % 256, i % 256 }'
}
addresses 1000000 >"$work/1m.txt"
addresses 5000000 >"$work/5m.txt"
for _ in $(seq 100); do echo 127.0.0.1; done >"$work/ping.txt"

# "peak_MiB seconds" of a run; standard output to /dev/null, the exit status checked.
measure() {
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time" || {
        echo "failed: $*" >&2
        tail -n 30 "$work/time" >&2
    }
    awk -F': ' '/Maximum resident set size/ { kb = $2 }
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0
            for (i = 1; i <= n; i++) s = s * 60 + t[i] }
        END { printf "%7.1f MiB  %6.1f s", kb / 1024, s }' "$work/time"
}

# The same, standard output into a pipe whose reader has gone: the command reads its list and
# ends at its first row, so the figure is the list alone (status 1 expected).
measure_list() {
    /usr/bin/time -v "$@" 2>"$work/time" | true
    awk -F': ' '/Maximum resident set size/ { printf "%7.1f MiB", $2 / 1024 }' "$work/time"
}

run_all() {
    local cli=$1
    printf '  the 1M-line list alone (read, held):    %s\n' "$(measure_list "$cli" ping "$work/1m.txt")"
    printf '  convert --to-ip  1M lines, stdout:      %s\n' "$(measure "$cli" convert --to-ip "$work/1m.txt")"
    printf '  convert --to-ip  5M lines, stdout:      %s\n' "$(measure "$cli" convert --to-ip "$work/5m.txt")"
    printf '  convert --to-ip  1M lines, --out file:  %s\n' \
        "$(measure "$cli" convert --to-ip "$work/1m.txt" --out "$work/1m.csv")"
    printf '  ping 100 x 2 x 5,000 cycles, stdout:    %s\n' \
        "$(measure "$cli" ping "$work/ping.txt" --count 2 --cycles 5000 --per 0 --timeout 1000)"
}

echo "list files: 1M lines $(du -m "$work/1m.txt" | cut -f1) MiB, 5M lines $(du -m "$work/5m.txt" | cut -f1) MiB"
echo "$build/bin/quendrix-cli"
run_all "$build/bin/quendrix-cli"
if [ -n "$before" ]; then
    echo "$before/bin/quendrix-cli"
    run_all "$before/bin/quendrix-cli"
fi
