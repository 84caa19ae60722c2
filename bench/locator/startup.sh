#!/bin/bash
# Start-up to a visible window of the desktop program, RUNS times on one private X server
# (Xvfb): the median and the best, in milliseconds. The IP Locator's page is built at start-up
# like every page; its web view is not (it is made when the page is first shown).
#   bench/locator/startup.sh PROBE [RUNS]     PROBE: the built startup_probe
set -euo pipefail
probe=${1:?usage: startup.sh PROBE [RUNS]}
runs=${2:-20}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
export QUENDRIX_PROBE="$probe" QUENDRIX_FOLDER="$folder" QUENDRIX_RUNS="$runs"
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$QUENDRIX_PROBE" "$QUENDRIX_FOLDER" >/dev/null 2>&1 || true   # warm the page cache
    for ((i = 0; i < QUENDRIX_RUNS; i++)); do
        QUENDRIX_T0_NS=$(date +%s%N) "$QUENDRIX_PROBE" "$QUENDRIX_FOLDER" 2>/dev/null
    done' | sort -n | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "no run finished"; exit 1 }
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "start-up to a visible window over %d runs: median %.1f ms, best %.1f ms\n", NR, m, v[1] }'
