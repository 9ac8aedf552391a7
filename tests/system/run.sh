#!/usr/bin/env bash
#     tests/system/run.sh [--short|--long] [SKIFF]
# Namespaces on links shaped like a busy Wi-Fi: the computer, phones on 192.168.77.0/24 behind a
# bridge, an outsider on 100.64.77.0/24; suite.py runs skiff there. All removed at the end.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
profile=short skiff="$here/../../build/release/skiff"
for arg; do [[ $arg == --short || $arg == --long ]] && profile=${arg#--} || skiff=$arg; done
phones=$([[ $profile == long ]] && echo 8 || echo 4)
[[ -x $skiff ]] || { echo "no skiff binary at $skiff"; exit 1; }
tag="sks$$" srv="sks$$-pc" work=$(mktemp -d "/tmp/sks$$.XXXXXX") made=()

cleanup() {
    [[ -n ${suite:-} ]] && kill -TERM "$suite" 2>/dev/null
    [[ -s $work/skiff.pid ]] && kill -KILL "$(<"$work/skiff.pid")" 2>/dev/null
    for ns in "${made[@]}"; do  # what still runs in a namespace was started here
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
        ip netns del "$ns" 2>/dev/null  # takes its veths, bridge and qdiscs with it
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [[ $(id -u) -ne 0 ]] || ! command -v tc >/dev/null || ! command -v python3 >/dev/null \
    || ! ip netns add "$srv" 2>/dev/null; then echo "skipped: needs root, iproute2, tc and python3"; exit 77; fi
made+=("$srv")
nsx() { ip netns exec "$@" || exit 1; }
nsx "$srv" sh -c "ip link set lo up && ip link add br0 type bridge && ip link set br0 up \
    && ip addr add 192.168.77.1/24 dev br0"
# Kernels without netem get the rate limit (tbf) and their loss from nftables rules.
shaping="netem delay 15ms 8ms distribution normal loss 0.3% rate 60mbit" nft=0
if ! ip netns exec "$srv" tc qdisc add dev lo root netem delay 1ms 2>/dev/null; then
    shaping="tbf rate 60mbit burst 64kb latency 200ms"
    ip netns exec "$srv" nft add table inet probe 2>/dev/null && nft=1 && ip netns exec "$srv" nft delete table inet probe
fi
ip netns exec "$srv" tc qdisc del dev lo root 2>/dev/null

# host NAME ADDRESS/PREFIX [SERVER_ADDRESS/PREFIX]: on the bridge, or on a link of its own.
host() {
    local ns="$tag-$1" port="p-$1"
    ip netns add "$ns" || exit 1
    made+=("$ns")
    ip link add "$port" netns "$srv" type veth peer name eth0 netns "$ns" || exit 1
    nsx "$ns" sh -c "ip link set lo up && ip addr add $2 dev eth0 && ip link set eth0 up \
        && tc qdisc add dev eth0 root $shaping"
    if [[ -n ${3:-} ]]; then nsx "$srv" ip addr add "$3" dev "$port"; else nsx "$srv" ip link set "$port" master br0; fi
    nsx "$srv" sh -c "ip link set $port up && tc qdisc add dev $port root $shaping"
}

drop="policy accept; meta l4proto tcp numgen random mod 1000 < 3 drop;"
for ((i = 1; i <= phones; i++)); do
    host "ph$i" "192.168.77.$((10 + i))/24"
    ((nft)) && nsx "$tag-ph$i" nft -f - <<<"table inet skiffwifi { chain in { type filter hook input priority 0; $drop }
        chain out { type filter hook output priority 0; $drop }; }"
done
for h in guess:200 slow:201 junk:202 names:203; do host "${h%:*}" "192.168.77.${h#*:}/24"; done
host out 100.64.77.2/24 100.64.77.1/24
# In the background so that a signal reaches the trap at once, not after the run.
python3 "$here/suite.py" "$tag" "$phones" "$work" "$(realpath "$skiff")" "$profile" &
suite=$!
wait "$suite"
status=$? suite=""
((status)) && tail -n 30 "$work"/*-out.txt "$work"/agent-*.log
exit $status
