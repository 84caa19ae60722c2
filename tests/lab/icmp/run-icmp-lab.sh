#!/usr/bin/env bash
# The ICMP lab: three network namespaces of our own, nothing in the host's namespace.
#
#   client 10.250.61.1/28  ---veth---  target 10.250.61.2 (answers echoes arriving with TTL 64)
#                                             10.250.61.3 (nft drops its echo requests)
#                                             10.250.61.4 (nft answers them host-unreachable)
#   client 10.250.61.17/28 ---veth---  slow   10.250.61.18 (echo_responder: decoys, late reply)
#                                             10.250.61.19 (source of a decoy)
#
# The lab test program runs in the client namespace three times: as root (raw socket), as
# nobody with ping_group_range admitting nogroup (datagram socket), and as nobody without it
# (no socket: the service must explain itself and never crash).
#
#   run-icmp-lab.sh <icmp_echo_lab_test> <echo_responder>
# The run without a socket takes the tests QUENDRIX_ICMP_LAB_NONE_FILTER names (a GoogleTest
# filter; default IcmpLabTest.*), so other lab programs can run their own cases there.
# Exit 77 (skip) when it cannot build the lab: not root, tools missing, namespaces refused.
set -uo pipefail

test_program=${1:?usage: run-icmp-lab.sh <lab test program> <echo responder>}
responder=${2:?usage: run-icmp-lab.sh <lab test program> <echo responder>}

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "the ICMP lab needs root to create network namespaces (run ctest as root)"
for tool in ip nft setpriv sysctl; do
    command -v "$tool" >/dev/null || skip "'$tool' is not installed"
done

tag="qxicmp$$"
client="${tag}c"
target="${tag}t"
slow="${tag}s"
work=$(mktemp -d "/tmp/${tag}.XXXXXX")
responder_pid=

cleanup() {
    if [ -n "$responder_pid" ]; then
        kill "$responder_pid" 2>/dev/null
        wait "$responder_pid" 2>/dev/null
    fi
    for ns in "$client" "$target" "$slow"; do
        ip netns del "$ns" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Labs left by a run that was killed outright (its trap never ran) go first.
for ns in $(ip netns list | awk '/^qxicmp[0-9]+[cts]( |$)/ {print $1}'); do
    owner=${ns#qxicmp}
    kill -0 "${owner%?}" 2>/dev/null || ip netns del "$ns" 2>/dev/null
done

ip netns add "$client" 2>"$work/err" || skip "cannot create a network namespace: $(cat "$work/err")"
ip netns add "$target" && ip netns add "$slow" || exit 1

set -e
for ns in "$client" "$target" "$slow"; do
    ip -n "$ns" link set lo up
done
ip -n "$client" link add ct type veth peer name tc netns "$target"
ip -n "$client" link add cs type veth peer name sc netns "$slow"
ip -n "$client" addr add 10.250.61.1/28 dev ct
ip -n "$client" addr add 10.250.61.17/28 dev cs
ip -n "$target" addr add 10.250.61.2/28 dev tc
ip -n "$target" addr add 10.250.61.3/28 dev tc
ip -n "$target" addr add 10.250.61.4/28 dev tc
ip -n "$slow" addr add 10.250.61.18/28 dev sc
ip -n "$slow" addr add 10.250.61.19/28 dev sc
ip -n "$client" link set ct up
ip -n "$client" link set cs up
ip -n "$target" link set tc up
ip -n "$slow" link set sc up

ip netns exec "$target" nft -f - <<'EOF'
table inet icmplab {
    chain input {
        type filter hook input priority 0; policy accept;
        ip daddr 10.250.61.3 icmp type echo-request drop
        ip daddr 10.250.61.4 icmp type echo-request reject with icmp type host-unreachable
        ip daddr 10.250.61.2 icmp type echo-request ip ttl != 64 drop
    }
}
EOF
# ICMP errors are rate-limited per host otherwise: every unreachable answer must come.
ip netns exec "$target" sysctl -qw net.ipv4.icmp_ratelimit=0
# The slow namespace's kernel stays silent; the responder answers instead.
ip netns exec "$slow" sysctl -qw net.ipv4.icmp_echo_ignore_all=1

delay_ms=300
ip netns exec "$slow" "$responder" --listen 10.250.61.18 --decoy-source 10.250.61.19 \
    --delay-ms "$delay_ms" --max-seconds 240 --ready-file "$work/ready" &
responder_pid=$!
for _ in $(seq 50); do
    [ -e "$work/ready" ] && break
    sleep 0.1
done
[ -e "$work/ready" ] || { echo "FAIL: the echo responder did not start"; exit 1; }
set +e

# nobody must be able to reach the test program (build trees are often private).
if ! setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$test_program"; then
    echo "FAIL: user nobody cannot run $test_program; make its folders o+x"
    exit 1
fi

lab_env=(
    QUENDRIX_ICMP_LAB_REPLY=10.250.61.2
    QUENDRIX_ICMP_LAB_DROP=10.250.61.3
    QUENDRIX_ICMP_LAB_UNREACHABLE=10.250.61.4
    QUENDRIX_ICMP_LAB_SLOW=10.250.61.18
    "QUENDRIX_ICMP_LAB_DELAY_MS=$delay_ms"
    QT_QPA_PLATFORM=offscreen
    HOME="$work"
)

failed=0
run() {
    local title=$1 range=$2
    shift 2
    echo "=== $title (net.ipv4.ping_group_range = $range)"
    ip netns exec "$client" sysctl -qw net.ipv4.ping_group_range="$range"
    if ! ip netns exec "$client" "$@"; then
        echo "=== FAILED: $title"
        failed=1
    fi
}

chmod 0777 "$work"
run "root: raw socket" "1 0" \
    env "${lab_env[@]}" QUENDRIX_ICMP_LAB_EXPECT=raw "$test_program"
run "nobody: datagram socket" "65534 65534" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env "${lab_env[@]}" QUENDRIX_ICMP_LAB_EXPECT=datagram "$test_program"
run "nobody: no socket" "1 0" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env "${lab_env[@]}" QUENDRIX_ICMP_LAB_EXPECT=none "$test_program" \
    --gtest_filter="${QUENDRIX_ICMP_LAB_NONE_FILTER:-IcmpLabTest.*}"

exit $failed
