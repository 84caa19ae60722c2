#!/usr/bin/env bash
# Cost of one ICMP echo through IcmpEcho and through the batch ping's run engine beside two
# peers, in one run: 1000 sequential echoes to 127.0.0.1 by
#   ours   bench_icmp_echo_loop (IcmpEcho alone, Release build)
#   run    quendrix-cli ping over a list of 127.0.0.1 entries (the whole run: reduction and
#          resolution before every attempt, rows handed to the main thread in batches, written
#          into the grid model and streamed as CSV); 1000 echoes = 200 entries x ping count 5
#   min    min_pinger.c (the least a sequential pinger can do; compiled here with cc -O2)
#   ping   ping -c 1000 -i 0 -q 127.0.0.1 (iputils; -i 0 needs root)
# Each tool runs as a whole process, timed with date +%s%N; its start-up, timed the same way
# with a single echo, is taken off, so the figure per echo is (T(1000) - T(1)) / 999, from the
# medians over the repetitions and from the best runs. Prints microseconds per echo and the
# ratios to the fastest.
#
#   bench/ping/echo-vs-peers.sh [--datagram] [release-build-dir] [repetitions]
# defaults: build/bench, 15; ECHO_COUNT=N in the environment changes the 1000 (a
# larger count steadies the figures on a busy machine). Traffic goes to 127.0.0.1 only.
# The socket each tool gets follows net.ipv4.ping_group_range: as root on a host that leaves
# root's group out, they all use raw sockets. --datagram (root only) runs the comparison in
# a throw-away network namespace whose ping_group_range admits root, so they all use ICMP
# datagram sockets there.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

if [ "${1:-}" = --datagram ]; then
    shift
    [ "$(id -u)" -eq 0 ] || { echo "--datagram needs root (network namespace)" >&2; exit 1; }
    namespace="qxicmpbench$$"
    ip netns add "$namespace"
    trap 'ip netns del "$namespace" 2>/dev/null' EXIT
    ip -n "$namespace" link set lo up
    ip netns exec "$namespace" sysctl -qw net.ipv4.ping_group_range="0 0"
    ip netns exec "$namespace" "$here/$(basename "$0")" "$@"
    exit $?
fi

build=${1:-$(cd "$here/../.." && pwd)/build/bench}
reps=${2:-15}
count=${ECHO_COUNT:-1000}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if ! ninja -C "$build" bench_icmp_echo_loop quendrix-cli >"$build/echo-vs-peers-build.log" 2>&1; then
    # A tree that is half edited elsewhere may not configure; an earlier build still serves.
    for program in bench_icmp_echo_loop quendrix-cli; do
        [ -x "$build/bin/$program" ] || { cat "$build/echo-vs-peers-build.log"; exit 1; }
    done
    echo "note: rebuild failed (see $build/echo-vs-peers-build.log); using the existing programs"
fi
cc -O2 -Wall -Wextra -o "$build/bin/min_pinger" "$here/min_pinger.c"

# The run engine pings lists: n echoes are n/5 entries pinged 5 times each (n entries once
# when n is no multiple of 5).
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT
run_engine() {
    local n=$1 entries ping_count=5
    if ((n % ping_count != 0)); then
        ping_count=1
    fi
    entries=$((n / ping_count))
    [ -f "$lists/$entries" ] || yes 127.0.0.1 | head -n "$entries" >"$lists/$entries"
    "$build/bin/quendrix-cli" ping "$lists/$entries" --count "$ping_count" --timeout 1000
}

names=(ours run min)
commands=("$build/bin/bench_icmp_echo_loop" run_engine "$build/bin/min_pinger")
if [ "$(id -u)" -eq 0 ] && command -v ping >/dev/null; then
    names+=(ping)
    commands+=("ping -i 0 -q 127.0.0.1 -c")
else
    echo "note: ping left out (needs root for -i 0, and iputils-ping installed)"
fi

# Wall time in nanoseconds of one run of "$command $n"; fails if the run fails.
run_ns() {
    local command=$1 n=$2 start end
    start=$(date +%s%N)
    # shellcheck disable=SC2086  # the command is words on purpose
    $command "$n" >/dev/null 2>&1 || return 1
    end=$(date +%s%N)
    echo $((end - start))
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

declare -A full single
for ((r = 1; r <= reps; ++r)); do
    # Interleaved, so that load from elsewhere on the machine falls on every tool alike.
    for i in "${!names[@]}"; do
        name=${names[$i]}
        full[$name]+="$(run_ns "${commands[$i]}" "$count" || { echo "FAIL: $name" >&2; exit 1; }) "
        single[$name]+="$(run_ns "${commands[$i]}" 1 || { echo "FAIL: $name" >&2; exit 1; }) "
    done
done

least() {
    sort -n | head -n 1
}

# Per echo from the medians and, steadier on a machine shared with other work, from the best
# runs (the least any interference can have added).
declare -A per_echo_ns best_ns
fastest=
best_fastest=
for name in "${names[@]}"; do
    f=$(tr ' ' '\n' <<<"${full[$name]}" | grep . | median)
    s=$(tr ' ' '\n' <<<"${single[$name]}" | grep . | median)
    bf=$(tr ' ' '\n' <<<"${full[$name]}" | grep . | least)
    bs=$(tr ' ' '\n' <<<"${single[$name]}" | grep . | least)
    per_echo_ns[$name]=$(((f - s) / (count - 1)))
    best_ns[$name]=$(((bf - bs) / (count - 1)))
    full[$name]=$f
    single[$name]=$s
    if [ -z "$fastest" ] || [ "${per_echo_ns[$name]}" -lt "${per_echo_ns[$fastest]}" ]; then
        fastest=$name
    fi
    if [ -z "$best_fastest" ] || [ "${best_ns[$name]}" -lt "${best_ns[$best_fastest]}" ]; then
        best_fastest=$name
    fi
done

echo "$count sequential echoes to 127.0.0.1, $reps runs each ($(nproc) cores, $(uname -r))"
echo "ours: $("${commands[0]}" 1)"
echo "run:  $(run_engine "$count" 2>&1 >/dev/null | tail -n 1)"
printf '%-6s %16s %14s %15s %11s %15s %11s\n' tool "median run ms" "start-up ms" "us per echo" \
    "vs fastest" "best us/echo" "vs fastest"
for name in "${names[@]}"; do
    awk -v n="$name" -v f="${full[$name]}" -v s="${single[$name]}" -v p="${per_echo_ns[$name]}" \
        -v b="${per_echo_ns[$fastest]}" -v q="${best_ns[$name]}" -v c="${best_ns[$best_fastest]}" \
        'BEGIN { printf "%-6s %16.2f %14.2f %15.2f %10.2fx %15.2f %10.2fx\n", n, f / 1e6, s / 1e6, p / 1e3, (b > 0 ? p / b : 0), q / 1e3, (c > 0 ? q / c : 0) }'
done
for name in ours run; do
    awk -v n="$name" -v o="${per_echo_ns[$name]}" -v b="${per_echo_ns[$fastest]}" \
        -v q="${best_ns[$name]}" -v c="${best_ns[$best_fastest]}" \
        'BEGIN { r = (b > 0 ? o / b : 0); t = (c > 0 ? q / c : 0); printf "%s / fastest per echo, start-up taken off: median %.2fx, best %.2fx (target 1.30x): %s\n", n, r, t, (r <= 1.3 ? "met" : "NOT met") }'
done
