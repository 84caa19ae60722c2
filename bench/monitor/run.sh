#!/usr/bin/env bash
# Every Connection Monitor figure in one go, as root:
#   1. the tick, side by side with `ss -tan state established`, interleaved at random, in a
#      network namespace of 5,000 loopback connections (10,000 established sockets): a steady
#      tick (all known, 99,000-row history), the first tick that records them all, ss; the
#      ratio steady tick / ss (target: at most 1.0x)
#   2. the table read alone: netlink against the /proc files read and parsed, and against only
#      the text of /proc/net/tcp, in the same kind of namespace
#   3. the page around a 99,000-row history (offscreen): the longest event-loop gap while the
#      rows are appended and selected
# Medians over the repetitions; wall time.
#
#   sudo bench/monitor/run.sh [BUILD_DIR] [REPETITIONS]
#
# BUILD_DIR: a Release build with benchmarks (default build/bench in the source tree; made and
# built here when missing). REPETITIONS: default 10. QUENDRIX_BENCH_CONNECTIONS changes the
# 5,000. Nothing leaves the benchmarks' own namespaces.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench}
reps=${2:-10}
targets=(monitor_tick_bench monitor_table_read_bench monitor_grid_fluidity_bench)

[ "$(id -u)" -eq 0 ] || { echo "run.sh needs root (network namespaces)" >&2; exit 1; }
command -v ss >/dev/null || { echo "run.sh needs ss (iproute2)" >&2; exit 1; }
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDRIX_BENCH=ON \
        -DQUENDRIX_TESTS=OFF >/dev/null
fi
nice cmake --build "$build" --target "${targets[@]}" >"$build/monitor-bench-build.log" 2>&1 ||
    { cat "$build/monitor-bench-build.log"; exit 1; }

out=$(mktemp -d /tmp/monitor-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT

run() {
    local name=$1
    shift
    "$build/bin/$name" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
        --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@" \
        >"$out/$name.txt" 2>"$out/$name.err" || { cat "$out/$name.err" >&2; exit 1; }
}
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
run monitor_tick_bench
run monitor_table_read_bench
QT_QPA_PLATFORM=offscreen run monitor_grid_fluidity_bench

python3 - "$out" <<'PY'
import json, statistics, sys, os
out = sys.argv[1]

def runs(name):
    with open(os.path.join(out, name + ".json")) as f:
        data = json.load(f)
    by = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        by.setdefault(b["run_name"].split("/")[0], []).append(b)
    return data["context"], by

def ms(b):
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * unit

def median(values):
    return statistics.median(values)

context, tick = runs("monitor_tick_bench")
print(f"connections: {context.get('connections')} (established sockets: twice that)")
steady = median([ms(b) for b in tick["BM_SteadyTick"]])
first = median([ms(b) for b in tick["BM_FirstTick"]])
ss = median([ms(b) for b in tick["BM_SsEstablished"]])
texts = median([ms(b) for b in tick["BM_TableTexts"]])
history = tick["BM_SteadyTick"][0].get("history", 0)
print(f"steady tick ({history:.0f}-row history)   {steady:8.2f} ms")
print(f"  of which read and row texts     {texts:8.2f} ms")
print(f"first tick (records {tick['BM_FirstTick'][0].get('recorded', 0):.0f})       {first:8.2f} ms")
print(f"ss -tan state established        {ss:8.2f} ms")
print(f"ratio steady tick / ss           {steady / ss:8.2f}x  (target <= 1.0x)")

_, read = runs("monitor_table_read_bench")
for name, label in [("BM_ReadNetlink", "table read (netlink)"),
                    ("BM_ReadProcFiles", "/proc files read and parsed"),
                    ("BM_ReadProcNetTcpText", "/proc/net/tcp text only"),
                    ("BM_SsEstablished", "ss (again)")]:
    print(f"{label:32} {median([ms(b) for b in read[name]]):8.2f} ms")
netlink = median([ms(b) for b in read["BM_ReadNetlink"]])
text = median([ms(b) for b in read["BM_ReadProcNetTcpText"]])
print(f"ratio netlink read / /proc/net/tcp text {netlink / text:.2f}x")

_, grid = runs("monitor_grid_fluidity_bench")
for name, label in [("BM_MonitorGridFill", "99,000 rows in one tick"),
                    ("BM_MonitorGridSteady", "20 ticks at the end of 99,000")]:
    bs = grid[name]
    print(f"{label:32} longest gap {median([b['max_gap_ms'] for b in bs]):6.2f} ms"
          f" (UI-thread CPU {median([b['max_cpu_gap_ms'] for b in bs]):5.2f} ms),"
          f" whole {median([ms(b) for b in bs]):7.1f} ms")
PY
