#!/bin/bash
# The country batch against a slow DNS, side by side in one run inside the DNS lab
# (tests/lab/), NAMES lab names answered after DELAY ms each (half of them with several
# addresses, one in ten missing):
#   ours      quendrix-cli country NAMES_FILE (its look-up pool: 32 at once)
#   xargs     xargs -P 32 -n 1 getent ahostsv4 (the same 32 at once, one process per name)
#   adnshost  adnshost -a -f -t a (asynchronous, every query at once), when installed
# then country_batch_bench: the same batch in-process with 1, 8 and 32 look-ups at once.
# Each contender runs ROUNDS times, alternating; the best run counts. Prints names per second
# and the ratios.
#
#   bench/country/batch-vs-peers.sh [BUILD_DIR] [NAMES] [DELAY_MS] [ROUNDS]
#
# BUILD_DIR: a Release build with quendrix-cli, country_batch_bench and lab_dns_delay
# (default build/bench in the source tree). Needs root (the lab makes a network namespace).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lab=$here/../../tests/lab

inner() {
    local build=$1 rounds=$2 names=$QUENDRIX_LAB_NAMES_FILE count
    count=$(wc -l <"$names")
    timed() {
        local start
        start=$EPOCHREALTIME
        "$@" >/dev/null 2>&1
        awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.4f\n", e - s }'
    }
    xargsPeer() { xargs -P 32 -n 1 getent ahostsv4 <"$1"; }
    adnsPeer() { adnshost -a -f -t a <"$1"; }
    local ours=() xargsRuns=() adnsRuns=()
    for _ in $(seq "$rounds"); do
        ours+=("$(timed "$build/bin/quendrix-cli" country "$names")")
        xargsRuns+=("$(timed xargsPeer "$names")")
        if command -v adnshost >/dev/null; then
            adnsRuns+=("$(timed adnsPeer "$names")")
        fi
    done
    best() { printf '%s\n' "$@" | sort -g | head -n 1; }
    local o x a
    o=$(best "${ours[@]}")
    x=$(best "${xargsRuns[@]}")
    echo "  runs (s): quendrix-cli ${ours[*]}; xargs ${xargsRuns[*]}; adnshost ${adnsRuns[*]:-none}"
    echo "  quendrix-cli: $("$build/bin/quendrix-cli" country "$names" 2>&1 >/dev/null)"
    awk -v n="$count" -v t="$o" 'BEGIN { printf "  ours      %7.1f names/s\n", n / t }'
    awk -v n="$count" -v t="$x" -v o="$o" \
        'BEGIN { printf "  xargs     %7.1f names/s   ours/xargs %.2fx\n", n / t, t / o }'
    if [ ${#adnsRuns[@]} -gt 0 ]; then
        a=$(best "${adnsRuns[@]}")
        awk -v n="$count" -v t="$a" -v o="$o" \
            'BEGIN { printf "  adnshost  %7.1f names/s   ours/adnshost %.2fx\n", n / t, t / o }'
    fi
    echo
    "$build/bin/country_batch_bench" --benchmark_counters_tabular=true 2>/dev/null |
        grep -E 'resolvers|Benchmark|^-' | grep -v -E '_(stddev|cv)' || true
}

if [ "${1:-}" = --inner ]; then
    inner "$2" "$3"
    exit 0
fi

build=${1:-$(cd "$here/../.." && pwd)/build/bench}
names=${2:-400}
delay=${3:-20}
rounds=${4:-3}
for program in quendrix-cli country_batch_bench lab_dns_delay; do
    [ -x "$build/bin/$program" ] || {
        echo "missing $build/bin/$program: ninja -C $build quendrix-cli country_batch_bench lab_dns_delay" >&2
        exit 2
    }
done
echo "country batch: $names lab names, ${delay} ms per answer, best of $rounds"
QUENDRIX_LAB_DNS_DELAY=$build/bin/lab_dns_delay "$lab/lab-run" dns --delay-ms "$delay" \
    --bench-names "$names" -- "$here/batch-vs-peers.sh" --inner "$build" "$rounds"
