#!/usr/bin/env bash
# The reliability suite in one command:
#     tests/system/run.sh [--short|--long] [--phones N] [--only LIST] [--keep] [SKIFF]
# Builds a network of namespaces — the computer, phones on 192.168.77.0/24 joined by a bridge,
# one outsider on 100.64.77.0/24 — shapes every phone link like a busy Wi-Fi (tc netem, or
# tc tbf plus nftables loss where the kernel has no netem), runs skiff in the computer
# namespace and sets the phones and hostile hosts loose on it, then cuts links, stops and
# kills skiff and fills its disk (suite.py). Everything made here is removed at the end, even
# on failure or interrupt. No traffic leaves these namespaces. Needs root, iproute2 (ip netns,
# tc) and python3 (nftables for loss without netem); without them it exits 77 (skipped).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
profile=short phones=4 keep=0 skiff="" only=""
while (($#)); do
    case $1 in
        --short) profile=short ;;
        --long) profile=long phones=8 ;;
        --phones) phones=$2; shift ;;
        --keep) keep=1 ;;
        --only) only=$2; shift ;;
        -h|--help) sed -n 2,10p "$0"; exit 0 ;;
        *) skiff=$1 ;;
    esac
    shift
done
[[ -n "$skiff" ]] || skiff="$here/../../build/release/skiff"
[[ -x "$skiff" ]] || { echo "no skiff binary at $skiff (build it first)"; exit 1; }
((phones >= 2 && phones <= 40)) || { echo "--phones must be 2..40"; exit 1; }

tag="sks$$"
srv="$tag-pc"
work=$(mktemp -d "/tmp/$tag.XXXXXX")
made=()   # namespaces created here, and only those are removed

cleanup() {
    local pid ns
    [[ -n "${suite:-}" ]] && kill -TERM "$suite" 2>/dev/null
    if [[ -s "$work/skiff.pid" ]]; then
        pid=$(<"$work/skiff.pid")
        kill -INT "$pid" 2>/dev/null && sleep 0.5
        kill -KILL "$pid" 2>/dev/null
    fi
    for ns in "${made[@]}"; do
        # Whatever still runs in a namespace was started by this script: end it by id.
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
        ip netns del "$ns" 2>/dev/null   # takes its veths, bridge and qdiscs with it
    done
    if ((keep)); then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [[ $(id -u) -ne 0 ]] || ! command -v ip >/dev/null || ! command -v tc >/dev/null \
    || ! command -v python3 >/dev/null || ! ip netns add "$srv" 2>/dev/null; then
    echo "skipped: needs root, iproute2 with network namespaces, tc and python3"
    exit 77
fi
made+=("$srv")
ip -n "$srv" link set lo up
ip -n "$srv" link add br0 type bridge && ip -n "$srv" link set br0 up \
    && ip -n "$srv" addr add 192.168.77.1/24 dev br0 || exit 1
# Busy Wi-Fi: some delay with jitter, a little loss, a shared-medium rate. Kernels without
# netem still get the rate limit (tbf), and the figures say which shaping was in force.
if ip netns exec "$srv" tc qdisc add dev lo root netem delay 1ms 2>/dev/null; then
    ip netns exec "$srv" tc qdisc del dev lo root
    shaping="netem delay 15ms 8ms distribution normal loss 0.3% rate 60mbit"
else
    shaping="tbf rate 60mbit burst 64kb latency 200ms"
    echo "note: this kernel has no netem; links are shaped by rate (tbf), loss comes from nftables"
fi
# Random loss without netem: an nftables rule in each phone's namespace drops that share of
# its TCP packets both ways. Bursts of heavier loss are added on top by the fault scenario.
loss=""
if [[ $shaping == tbf* ]] && command -v nft >/dev/null \
    && ip netns exec "$srv" nft add table inet skiffprobe 2>/dev/null; then
    ip netns exec "$srv" nft delete table inet skiffprobe
    loss="0.3%"
fi

# host NAME ADDRESS/PREFIX [bridge|direct SERVER_ADDRESS/PREFIX]
host() {
    local name=$1 address=$2 how=$3 ns="$tag-$1" port="p-$1"
    ip netns add "$ns" || exit 1
    made+=("$ns")
    ip link add "$port" netns "$srv" type veth peer name eth0 netns "$ns" || exit 1
    ip -n "$ns" link set lo up && ip -n "$ns" addr add "$address" dev eth0 \
        && ip -n "$ns" link set eth0 up || exit 1
    if [[ $how == bridge ]]; then
        ip -n "$srv" link set "$port" master br0 || exit 1
    else
        ip -n "$srv" addr add "$4" dev "$port" || exit 1
    fi
    ip -n "$srv" link set "$port" up || exit 1
    # Both directions of the link are shaped.
    ip netns exec "$ns" tc qdisc add dev eth0 root $shaping || exit 1
    ip netns exec "$srv" tc qdisc add dev "$port" root $shaping || exit 1
}

# lossy NAMESPACE: 3 packets in 1000 dropped each way, like a busy Wi-Fi.
lossy() {
    [[ -n $loss ]] || return 0
    ip netns exec "$1" nft -f - <<NFT || exit 1
table inet skiffwifi {
    chain in { type filter hook input priority 0; policy accept;
               meta l4proto tcp numgen random mod 1000 < 3 drop; }
    chain out { type filter hook output priority 0; policy accept;
                meta l4proto tcp numgen random mod 1000 < 3 drop; }
}
NFT
}

uploaders=() downloaders=()
for ((i = 1; i <= phones; i++)); do
    host "ph$i" "192.168.77.$((10 + i))/24" bridge
    lossy "$tag-ph$i"
    if ((i <= phones - phones / 3)); then uploaders+=("$tag-ph$i"); else downloaders+=("$tag-ph$i"); fi
done
host guess 192.168.77.200/24 bridge
host slow 192.168.77.201/24 bridge
host junk 192.168.77.202/24 bridge
host names 192.168.77.203/24 bridge
host out 100.64.77.2/24 direct 100.64.77.1/24

list() { local IFS=,; printf '"%s"' "$1"; shift; for x in "$@"; do printf ',"%s"' "$x"; done; }
cat >"$work/net.json" <<EOF
{"tag": "$tag", "computer": "$srv", "server_ip": "192.168.77.1",
 "uploaders": [$(list "${uploaders[@]}")], "downloaders": [$(list "${downloaders[@]}")],
 "guesser": "$tag-guess", "guesser_ip": "192.168.77.200", "slow": "$tag-slow",
 "junk": "$tag-junk", "names": "$tag-names",
 "outsider": "$tag-out", "outsider_ip": "100.64.77.2",
 "outsider_gateway": "100.64.77.1", "shaping": "$shaping",
 "nft": $(command -v nft >/dev/null && echo true || echo false),
 "loss": $( [[ -n $loss ]] && echo "\"nft $loss\"" || echo null )}
EOF
echo "network $tag: computer, ${#uploaders[@]} uploading and ${#downloaders[@]} downloading phones, 4 hostile hosts; work folder $work"
# In the background so that a signal reaches the trap at once, not after the run.
python3 "$here/suite.py" "$work/net.json" "$work" "$(realpath "$skiff")" "$profile" "$only" &
suite=$!
wait "$suite"
status=$?
suite=""
if ((status != 0)); then
    echo "--- last lines of skiff's output ---"
    tail -n 30 "$work/skiff-out.txt" 2>/dev/null
    for f in "$work"/agent-*.log; do [[ -s $f ]] && { echo "--- $f"; tail -n 5 "$f"; }; done
fi
exit $status
