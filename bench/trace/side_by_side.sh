#!/usr/bin/env bash
# The whole 4-hop trace of the trace lab (tests/lab/trace/run-trace-lab.sh) as a user runs it,
# start-up included, side by side in one run:
#   quendrix    quendrix-cli trace TARGET        (Release build; no host names, like -n)
#   traceroute  traceroute -I -q 1 -n TARGET     (ICMP probes, one per hop)
#   tracepath   tracepath -n TARGET              (UDP probes)
# TARGET is the lab's address at hop 4. Each tool's start-up alone (--version, -V) is timed
# the same way, so the trace's own share shows, and so is an empty Qt Core program
# (trace_qt_core_floor): the least any program loading Qt Core's libraries costs, which is why
# quendrix-cli runs the trace without Qt. With
# hyperfine installed it times every command (-N, no shell), one command's runs after the
# other's; otherwise, or with --loop, the tools run interleaved, RUNS times each, timed with
# bash's $EPOCHREALTIME (no extra process), so that load from elsewhere on a shared machine
# falls on every tool alike. Prints the medians and the ratios to traceroute (target:
# quendrix <= 2x traceroute -I -q 1 -n).
#
#   sudo bench/trace/side_by_side.sh [--loop] [release-build-dir] [runs]
# defaults: build/release, 300. Needs root (the lab's namespaces, raw ICMP for traceroute -I).
# Installs traceroute and iputils-tracepath with apt when they are missing (for this benchmark
# only). Traffic stays inside the lab's namespaces.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Microseconds of one run of "$@" (output dropped); fails when the run fails.
run_us() {
    local start end
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || return 1
    end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}

# Inside the lab's client namespace: check that every tool traces the 4 hops, then time them.
inside() {
    local cli=$1 floor=$2 runs=$3 timer=$4 target=${QUENDRIX_TRACE_LAB_TARGET:?not inside the trace lab}
    local names=(quendrix traceroute tracepath quendrix-start traceroute-start tracepath-start
        qt-core-floor)
    local commands=(
        "$cli trace $target"
        "traceroute -I -q 1 -n $target"
        "tracepath -n $target"
        "$cli --version"
        "traceroute --version"
        "tracepath -V"
        "$floor"
    )

    # A tool that does not reach the target at hop 4 would be timed doing something else.
    local lines
    lines=$($cli trace "$target" 2>/dev/null)
    if [ "$(wc -l <<<"$lines")" -ne 4 ] || [[ $(tail -n 1 <<<"$lines") != "4    $target    "* ]]; then
        echo "FAIL: quendrix-cli trace did not reach $target at hop 4:"
        echo "$lines"
        exit 1
    fi
    lines=$(traceroute -I -q 1 -n "$target")
    [[ $(tail -n 1 <<<"$lines") =~ ^\ 4\ +$target ]] ||
        { echo "FAIL: traceroute did not reach $target at hop 4:"; echo "$lines"; exit 1; }
    lines=$(tracepath -n "$target")
    grep -q "hops 4 back 4" <<<"$lines" ||
        { echo "FAIL: tracepath did not reach $target at hop 4:"; echo "$lines"; exit 1; }

    declare -A median_us
    local i
    if [ "$timer" = hyperfine ]; then
        local csv
        csv=$(mktemp)
        hyperfine -N --warmup 10 --runs "$runs" --export-csv "$csv" "${commands[@]}" >/dev/null
        # command,mean,stddev,median,user,system,min,max (seconds), in the order given.
        for i in "${!names[@]}"; do
            median_us[${names[$i]}]=$(awk -F, -v row=$((i + 2)) 'NR == row { printf "%.0f", $4 * 1e6 }' "$csv")
        done
        rm -f "$csv"
        echo "timed with hyperfine -N, $runs runs each after 10 warm-up runs"
    else
        declare -A times
        local r
        for ((r = 0; r < 10 + runs; ++r)); do
            # Interleaved, so that load from elsewhere on the machine falls on every tool alike;
            # the first ten rounds warm the caches and are not counted.
            for i in "${!names[@]}"; do
                local us
                # shellcheck disable=SC2086  # the command is words on purpose
                us=$(run_us ${commands[$i]}) || { echo "FAIL: ${commands[$i]}"; exit 1; }
                ((r < 10)) || times[${names[$i]}]+="$us "
            done
        done
        for i in "${!names[@]}"; do
            median_us[${names[$i]}]=$(tr ' ' '\n' <<<"${times[${names[$i]}]}" | grep . | median)
        done
        echo "timed with \$EPOCHREALTIME, $runs interleaved runs each after 10 warm-up rounds"
    fi

    echo "the 4-hop lab trace to $target ($(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg))"
    printf '%-18s %-40s %12s %14s\n' tool command "median ms" "vs traceroute"
    for i in "${!names[@]}"; do
        local base=traceroute
        [[ ${names[$i]} == *-start || ${names[$i]} == *-floor ]] && base=traceroute-start
        local shown=${commands[$i]/$cli/quendrix-cli}
        awk -v n="${names[$i]}" -v c="${shown/$floor/trace_qt_core_floor}" -v m="${median_us[${names[$i]}]}" \
            -v b="${median_us[$base]}" \
            'BEGIN { printf "%-18s %-40s %12.2f %13.2fx\n", n, c, m / 1e3, m / b }'
    done
    awk -v q="${median_us[quendrix]}" -v t="${median_us[traceroute]}" -v qs="${median_us[quendrix-start]}" \
        -v ts="${median_us[traceroute-start]}" -v f="${median_us[qt-core-floor]}" 'BEGIN {
            r = q / t
            printf "quendrix / traceroute -I -q 1 -n, whole run: %.2fx (target 2.00x): %s\n", r, (r <= 2 ? "met" : "NOT met")
            printf "the trace without start-up: quendrix %.2f ms, traceroute %.2f ms (%.2fx)\n", (q - qs) / 1e3, (t - ts) / 1e3, (t > ts ? (q - qs) / (t - ts) : 0)
            printf "start-up: quendrix-cli %.2f ms (loads no Qt), traceroute %.2f ms; an empty Qt Core program %.2f ms\n", qs / 1e3, ts / 1e3, f / 1e3
            printf "quendrix / traceroute if quendrix-cli trace loaded Qt Core: about %.2fx\n", (q - qs + f) / t
        }'
}

if [ "${1:-}" = --inside ]; then
    shift
    inside "$@"
    exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "side_by_side.sh needs root (network namespaces, raw ICMP)" >&2; exit 1; }
timer=loop
command -v hyperfine >/dev/null && timer=hyperfine
if [ "${1:-}" = --loop ]; then
    timer=loop
    shift
fi
build=${1:-$source_dir/build/release}
runs=${2:-300}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if ! ninja -C "$build" quendrix-cli trace_qt_core_floor >"$build/trace-side-by-side-build.log" 2>&1; then
    # A tree that is half edited elsewhere may not build; an earlier build still serves.
    for program in quendrix-cli trace_qt_core_floor; do
        [ -x "$build/bin/$program" ] || { cat "$build/trace-side-by-side-build.log"; exit 1; }
    done
    echo "note: rebuild failed (see $build/trace-side-by-side-build.log); using the existing programs"
fi
if ! command -v traceroute >/dev/null || ! command -v tracepath >/dev/null; then
    echo "installing the peers (traceroute, iputils-tracepath) for this benchmark"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q traceroute iputils-tracepath >/dev/null
fi

exec "$source_dir/tests/lab/trace/run-trace-lab.sh" --runs raw -- \
    "$here/side_by_side.sh" --inside "$build/bin/quendrix-cli" "$build/bin/trace_qt_core_floor" "$runs" "$timer"
