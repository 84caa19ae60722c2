#!/bin/bash
# Name-to-address conversion speed, side by side in one run, inside the DNS lab
# (tests/lab/): `quendrix-cli convert --to-ip` against
#   1. a sequential gethostbyname loop in C (bench_seq_gethostbyname), 10,000 lab names
#      answered at once, start-up included for both;
#   2. adnshost (asynchronous, adns-tools), 1,000 lab names with a 20 ms round trip through
#      the lab's delaying forwarder.
# The lab names are a mix of names with one to three addresses and missing names
# (tests/lab/README.md). Each contender runs ROUNDS times, alternating; the best run counts.
#
#   bench/convert/convert-vs-peers.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR is a Release build with quendrix-cli, bench_seq_gethostbyname and lab_dns_delay
# (default build/bench in the source tree). Needs root (the lab makes a network namespace).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lab=$here/../../tests/lab

# Inside the lab: times each contender and prints "label names_per_second".
inner() {
    local kind=$1 build=$2 rounds=$3 names=$QUENDRIX_LAB_NAMES_FILE
    local count
    count=$(wc -l <"$names")
    # Seconds a command takes, stdout dropped.
    timed() {
        local start end
        start=$EPOCHREALTIME
        # adnshost exits non-zero when some names are missing: only a silent failure counts.
        "$@" >/dev/null 2>/tmp/convert-bench-$$.err || [ "$1" = adnshost ] || {
            cat /tmp/convert-bench-$$.err >&2
            echo "failed: $*" >&2
        }
        end=$EPOCHREALTIME
        echo "$start $end" | awk '{ printf "%.6f\n", $2 - $1 }'
    }
    best() { sort -g | head -n 1; }
    local ours=() peer=()
    for _ in $(seq "$rounds"); do
        if [ "$kind" = fast ]; then
            peer+=("$(timed "$build/bin/bench_seq_gethostbyname" "$names")")
        else
            peer+=("$(timed adnshost -a -f -t a <"$names")")
        fi
        ours+=("$(timed "$build/bin/quendrix-cli" convert --to-ip "$names")")
    done
    # What each found, once, for the record.
    "$build/bin/quendrix-cli" convert --to-ip "$names" 2>&1 >/dev/null | sed 's/^/  quendrix-cli: /' >&2
    if [ "$kind" = fast ]; then
        "$build/bin/bench_seq_gethostbyname" "$names" 2>&1 | sed 's/^/  gethostbyname loop: /' >&2
    else
        echo "  adnshost: $(adnshost -a -f -t a <"$names" 2>/dev/null | grep -c ' A ') A records" >&2
    fi
    local oursBest peerBest
    oursBest=$(printf '%s\n' "${ours[@]}" | best)
    peerBest=$(printf '%s\n' "${peer[@]}" | best)
    echo "  runs (s): quendrix-cli ${ours[*]}; peer ${peer[*]}" >&2
    awk -v n="$count" -v o="$oursBest" -v p="$peerBest" \
        'BEGIN { printf "%d %.1f %.1f %.2f\n", n, n / o, n / p, p / o }'
    rm -f /tmp/convert-bench-$$.err
}

if [ "${1:-}" = --inner ]; then
    inner "$2" "$3" "$4"
    exit 0
fi

build=${1:-$(cd "$here/../.." && pwd)/build/bench}
rounds=${2:-5}
for program in bin/quendrix-cli bin/bench_seq_gethostbyname bin/lab_dns_delay; do
    [ -x "$build/$program" ] || {
        echo "missing $build/$program: ninja -C $build quendrix-cli bench_seq_gethostbyname lab_dns_delay" >&2
        exit 2
    }
done
command -v adnshost >/dev/null || {
    echo "adnshost is missing (apt-get install adns-tools)" >&2
    exit 2
}

echo "1. 10,000 lab names, no delay: quendrix-cli convert --to-ip vs sequential gethostbyname (C)"
read -r n1 ours1 peer1 ratio1 < <("$lab/lab-run" dns --bench-names 10000 -- \
    "$here/convert-vs-peers.sh" --inner fast "$build" "$rounds")
printf '   %s names: quendrix-cli %s names/s, gethostbyname loop %s names/s\n' "$n1" "$ours1" "$peer1"

echo "2. 1,000 lab names, 20 ms round trip: quendrix-cli convert --to-ip vs adnshost -a -f -t a"
read -r n2 ours2 peer2 ratio2 < <(QUENDRIX_LAB_DNS_DELAY=$build/bin/lab_dns_delay "$lab/lab-run" dns \
    --delay-ms 20 --bench-names 1000 -- "$here/convert-vs-peers.sh" --inner slow "$build" "$rounds")
printf '   %s names: quendrix-cli %s names/s, adnshost %s names/s\n' "$n2" "$ours2" "$peer2"

echo
echo "ratio vs sequential gethostbyname loop: ${ratio1}x (target >= 1.0x)"
echo "ratio vs adnshost:                       ${ratio2}x (target >= 5x)"
