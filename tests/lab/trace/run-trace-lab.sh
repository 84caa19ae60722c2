#!/usr/bin/env bash
# The trace lab: a chain of routers between a client and a target, each a network namespace
# of our own (10.250.0.0/16 inside them, nothing in the host's namespace).
#
#   client ------- r1 ------------- r2 ------------- r3 ------------- target
#   10.250.1.2/28  10.250.1.1/28    10.250.1.21/28   10.250.72.2/24   10.250.73.2/24
#                  10.250.1.17/28   10.250.72.1/24   10.250.73.1/24   lo: 10.250.1.32
#                                                                         10.250.75.3
#                                                                         10.250.75.4
#                                                                         10.250.75.5
#
# Every router forwards and answers expiring requests from the address facing the client;
# ICMP is not rate-limited anywhere. The client is a DNS lab (tests/lab/dns-lab), so
# 10.250.1.1 is one.lab.test, 10.250.1.21 two.lab.test, 10.250.1.32 three.lab.test, and
# r3 (10.250.72.2) has no name. Destinations on the target:
#   10.250.1.32  answers at hop 4
#   10.250.75.3  answers at hop 4, but r2 stays silent (its time exceeded for it is dropped)
#   10.250.75.4  r3 answers host-unreachable at hop 4 (nft reject), ending a trace there
#   10.250.75.5  never answers (the target drops its echo requests): hops 4 on time out
#
# The command runs in the client namespace once per run asked for (--runs, default all):
#   raw       as root (raw ICMP socket)
#   datagram  as nobody, ping_group_range admitting nogroup (ICMP datagram socket)
#   none      as nobody, ping_group_range admitting no one (no ICMP socket at all)
# with QUENDRIX_LAB=trace, QUENDRIX_TRACE_LAB_EXPECT=<run> and the addresses above in
# QUENDRIX_TRACE_LAB_* (see lab_env below).
#
#   run-trace-lab.sh [--runs raw,datagram,none] [--] COMMAND [ARGS...]
# Exit 77 (skip) when it cannot build the lab: not root, tools missing, namespaces refused.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=raw,datagram,none
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=${2:?--runs needs a list}; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: run-trace-lab.sh [--runs LIST] [--] COMMAND..." >&2; exit 2; }

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "the trace lab needs root to create network namespaces (run ctest as root)"
for tool in ip nft setpriv sysctl dnsmasq; do
    command -v "$tool" >/dev/null || skip "'$tool' is not installed"
done

tag="qxtr$$"
client="${tag}c"
routers=("${tag}1" "${tag}2" "${tag}3")
target="${tag}t"
work=$(mktemp -d "/tmp/${tag}.XXXXXX")
child=

cleanup() {
    if [ -n "$child" ] && kill -0 "$child" 2>/dev/null; then
        kill -TERM "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    for ns in "${routers[@]}" "$target"; do
        ip netns del "$ns" 2>/dev/null
    done
    "$here/dns-lab" down "$client"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Labs left by a run that was killed outright (its trap never ran) go first.
"$here/dns-lab" reap
for ns in $(ip netns list | awk '/^qxtr[0-9]+[123t]( |$)/ {print $1}'); do
    owner=${ns#qxtr}
    kill -0 "${owner%?}" 2>/dev/null || ip netns del "$ns" 2>/dev/null
done

"$here/dns-lab" up "$client" --owner $$
rc=$?
[ $rc -eq 0 ] || exit $rc
ip netns add "${routers[0]}" 2>"$work/err" || skip "cannot create a network namespace: $(cat "$work/err")"

set -e
ip netns add "${routers[1]}"
ip netns add "${routers[2]}"
ip netns add "$target"
for ns in "$client" "${routers[@]}" "$target"; do
    ip -n "$ns" link set lo up
    # Neither the per-destination limit nor the namespace's budget of icmp_msgs_per_sec
    # (1000 a second, bursts of 50) applies to a type outside the mask: a benchmark's tight
    # loop would otherwise lose time exceeded messages and wait out its time-outs.
    ip netns exec "$ns" sysctl -qw net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_ratemask=0
done
for ns in "${routers[@]}"; do
    ip netns exec "$ns" sysctl -qw net.ipv4.ip_forward=1
    ip netns exec "$ns" sysctl -qw net.ipv4.icmp_errors_use_inbound_ifaddr=1
done

# link <namespace> <interface> <address/prefix> <peer namespace> <peer interface> <address/prefix>
link() {
    ip -n "$1" link add "$2" type veth peer name "$5" netns "$4"
    ip -n "$1" addr add "$3" dev "$2"
    ip -n "$4" addr add "$6" dev "$5"
    ip -n "$1" link set "$2" up
    ip -n "$4" link set "$5" up
}
link "$client" c1 10.250.1.2/28 "${routers[0]}" r1c 10.250.1.1/28
link "${routers[0]}" r1n 10.250.1.17/28 "${routers[1]}" r2p 10.250.1.21/28
link "${routers[1]}" r2n 10.250.72.1/24 "${routers[2]}" r3p 10.250.72.2/24
link "${routers[2]}" r3n 10.250.73.1/24 "$target" tp 10.250.73.2/24
for address in 10.250.1.32 10.250.75.3 10.250.75.4 10.250.75.5; do
    ip -n "$target" addr add "$address/32" dev lo
done

ip -n "$client" route add default via 10.250.1.1
ip -n "${routers[0]}" route add default via 10.250.1.21
ip -n "${routers[1]}" route add default via 10.250.72.2
ip -n "${routers[1]}" route add 10.250.1.0/28 via 10.250.1.17
ip -n "${routers[2]}" route add default via 10.250.73.2
ip -n "${routers[2]}" route add 10.250.1.0/28 via 10.250.72.1
ip -n "$target" route add default via 10.250.73.1

# r2's time exceeded for requests to 10.250.75.3 never leaves: the quoted datagram's
# destination sits 20 (outer IP) + 8 (ICMP) + 16 bytes into the message.
ip netns exec "${routers[1]}" nft -f - <<'RULES'
table ip tracelab {
    chain output {
        type filter hook output priority 0; policy accept;
        icmp type time-exceeded @nh,352,32 0x0afa4b03 drop
    }
}
RULES
ip netns exec "${routers[2]}" nft -f - <<'RULES'
table ip tracelab {
    chain forward {
        type filter hook forward priority 0; policy accept;
        ip daddr 10.250.75.4 reject with icmp type host-unreachable
    }
}
RULES
ip netns exec "$target" nft -f - <<'RULES'
table ip tracelab {
    chain input {
        type filter hook input priority 0; policy accept;
        ip daddr 10.250.75.5 icmp type echo-request drop
    }
}
RULES
set +e

lab_env=(
    QUENDRIX_LAB=trace
    "QUENDRIX_LAB_NAMESPACE=$client"
    QUENDRIX_TRACE_LAB_CLIENT=10.250.1.2
    "QUENDRIX_TRACE_LAB_HOPS=10.250.1.1 10.250.1.21 10.250.72.2"
    QUENDRIX_TRACE_LAB_TARGET=10.250.1.32
    QUENDRIX_TRACE_LAB_SILENT_HOP2=10.250.75.3
    QUENDRIX_TRACE_LAB_UNREACHABLE_HOP4=10.250.75.4
    QUENDRIX_TRACE_LAB_DROPPED=10.250.75.5
    QT_QPA_PLATFORM=offscreen
    HOME="$work"
)
chmod 0777 "$work"

# nobody must be able to reach the command (build trees are often private).
if [[ $runs == *datagram* || $runs == *none* ]] &&
    ! setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$(command -v "$1")"; then
    echo "FAIL: user nobody cannot run $1; make its folders o+x"
    exit 1
fi

failed=0
run() {
    local expect=$1 range=$2
    shift 2
    echo "=== $expect (net.ipv4.ping_group_range = $range)"
    ip netns exec "$client" sysctl -qw net.ipv4.ping_group_range="$range"
    # In the background so that a TERM from the test driver reaches the trap at once; with
    # Ctrl-C as a terminal gives it (a background command would start with it ignored).
    ip netns exec "$client" env --default-signal=INT "$@" &
    child=$!
    wait "$child"
    local rc=$?
    child=
    if [ $rc -ne 0 ]; then
        echo "=== FAILED: $expect (exit $rc)"
        failed=1
    fi
}
drop=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
for expect in ${runs//,/ }; do
    case $expect in
    raw) run raw "1 0" env "${lab_env[@]}" QUENDRIX_TRACE_LAB_EXPECT=raw "$@" ;;
    datagram) run datagram "65534 65534" "${drop[@]}" env "${lab_env[@]}" QUENDRIX_TRACE_LAB_EXPECT=datagram "$@" ;;
    none) run none "1 0" "${drop[@]}" env "${lab_env[@]}" QUENDRIX_TRACE_LAB_EXPECT=none "$@" ;;
    *) echo "unknown run '$expect'"; exit 2 ;;
    esac
done
exit $failed
