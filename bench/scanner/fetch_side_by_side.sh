#!/usr/bin/env bash
# Fetches per second of one download slot (one page at a time, through the network thread as
# the scheduler drives it) beside curl fetching the same pages, in one run:
#   quendrix  scanner_fetch_rate URL COUNT
#   curl      curl -s --http1.0 -A AGENT "URL?n=[1-COUNT]"   (one process, one page at a time)
# against a loopback server this script starts on 127.0.0.1 (scanner_bench_http_server: one
# 8 KiB text/html page, HTTP/1.0, a connection per request). The two run interleaved, ROUNDS
# times each, so load from elsewhere on a shared machine falls on both alike. Prints the
# median rates and their ratio (target: quendrix >= 0.8x curl). Both are timed from outside,
# start-up included.
#
#   bench/scanner/fetch_side_by_side.sh [build-dir] [count] [rounds]
# defaults: build/bench, 1000, 5.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=${1:-$source_dir/build/bench}
count=${2:-1000}
rounds=${3:-5}
bin=$build/bin
for program in scanner_bench_http_server scanner_fetch_rate; do
    [ -x "$bin/$program" ] || { echo "missing $bin/$program (build it first)" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 2; }

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The server runs until its standard input closes; it is ended by its own pid otherwise.
coproc SERVER { exec "$bin/scanner_bench_http_server"; }
server_pid=$SERVER_PID
trap 'exec {SERVER[1]}>&- 2>/dev/null || true; kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true' EXIT
read -r port <&"${SERVER[0]}"
url="http://127.0.0.1:$port/page.htm"
agent="Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)"

ours=() theirs=()
for ((round = 1; round <= rounds; round++)); do
    start=$EPOCHREALTIME
    "$bin/scanner_fetch_rate" "$url" "$count" >/dev/null
    end=$EPOCHREALTIME
    ours+=("$(awk -v n="$count" -v us="$((${end/./} - ${start/./}))" 'BEGIN { printf "%.1f", n / (us / 1e6) }')")
    start=$EPOCHREALTIME
    curl -s -f --http1.0 -A "$agent" "$url?n=[1-$count]" >/dev/null
    end=$EPOCHREALTIME
    theirs+=("$(awk -v n="$count" -v us="$((${end/./} - ${start/./}))" 'BEGIN { printf "%.1f", n / (us / 1e6) }')")
    echo "round $round: quendrix ${ours[-1]}/s  curl ${theirs[-1]}/s"
done
q=$(printf '%s\n' "${ours[@]}" | median)
c=$(printf '%s\n' "${theirs[@]}" | median)
echo "median fetches per second over $rounds rounds of $count pages: quendrix $q, curl $c"
awk -v q="$q" -v c="$c" 'BEGIN { printf "ratio quendrix / curl: %.2fx (target >= 0.8x)\n", q / c }'
