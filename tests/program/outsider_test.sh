#!/usr/bin/env bash
# Runs skiff in a network namespace of its own with two neighbours: a phone on a private
# subnet and an outsider on a shared-address (100.64.0.0/10) subnet. The phone gets the page;
# the outsider gets 403 with the explanation, and the refusal is logged. Every namespace is
# removed at the end. Needs root and iproute2; skipped (exit 77) without them.
set -uo pipefail
skiff=$1
tag="sk$$"
srv="$tag-srv" phone="$tag-phone" out="$tag-out"
work=$(mktemp -d)

cleanup() {
    [[ -n "${pid:-}" ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    for ns in "$srv" "$phone" "$out"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

[[ $(id -u) -eq 0 ]] && command -v ip >/dev/null && ip netns add "$srv" 2>/dev/null || {
    echo "skipped: needs root and network namespaces"
    exit 77
}
ip netns add "$phone" && ip netns add "$out" || exit 1
link() {  # link NAMESPACE SERVER_ADDRESS PEER_ADDRESS
    local ns=$1 a=$2 b=$3
    ip link add "v$ns" netns "$srv" type veth peer name eth0 netns "$ns" || exit 1
    ip -n "$srv" addr add "$a" dev "v$ns" && ip -n "$srv" link set "v$ns" up
    ip -n "$ns" addr add "$b" dev eth0 && ip -n "$ns" link set eth0 up && ip -n "$ns" link set lo up
}
ip -n "$srv" link set lo up
link "$phone" 192.168.77.1/24 192.168.77.2/24
link "$out" 100.64.9.1/24 100.64.9.2/24

HOME="$work" XDG_RUNTIME_DIR= DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" ip netns exec "$srv" "$skiff" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
for _ in $(seq 100); do grep -q 'http://' "$work/out.txt" && break; sleep 0.1; done
port=$(grep -oE -m1 ':[0-9]+/' "$work/out.txt" | tr -d ':/')
[[ -n "$port" ]] || { echo "skiff did not start"; cat "$work/err.txt"; exit 1; }

failed=0
check() {  # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failed=$((failed + 1)); fi
}
fetch() {  # fetch NAMESPACE ADDRESS → "status body"
    ip netns exec "$1" curl -s --max-time 5 -w ' %{http_code}' "http://$2:$port/"
}
phone_reply=$(fetch "$phone" 192.168.77.1)
out_reply=$(fetch "$out" 100.64.9.1)
sleep 0.3
check "phone gets the page" test "${phone_reply##* }" = 200
check "outsider gets 403" test "${out_reply##* }" = 403
check "outsider is told why" test "${out_reply% *}" = "Chỉ chấp nhận thiết bị trong cùng mạng nội bộ."
check "refusal is logged" grep -qx "Từ chối kết nối ngoài mạng nội bộ: 100.64.9.2" "$work/out.txt"
passed=$((4 - failed))
echo "$passed passed, $failed failed"
exit $((failed > 0))
