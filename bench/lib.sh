# Shared by the benchmark scripts: building, a temporary folder whose processes and files go
# away however the script ends, and starting Skiff with this computer approved as a device.
# Source it from a script that has already changed to the repository root.

# build_release TARGET: builds it with the release preset unless NO_BUILD is set.
build_release() {
    if [[ -z "${NO_BUILD:-}" ]]; then
        scripts/install-deps.sh
        cmake --preset release >/dev/null
        cmake --build --preset release --target "$1" >/dev/null
    fi
}

# make_workspace: sets tmp (a fresh folder) and pids (processes to stop at exit).
make_workspace() {
    tmp=$(mktemp -d)
    pids=()
    trap cleanup_workspace EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

cleanup_workspace() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}

# start_skiff [FILE...]: runs build/release/skiff, sharing the files named, with its home in $tmp/home and sets skiff_pid,
# skiff_port and code. Its standard input stays open on descriptor 3 to answer the approval
# prompt, which it does for this computer.
start_skiff() {
    mkdir -p "$tmp/home"
    mkfifo "$tmp/skiff.in"
    exec 3<>"$tmp/skiff.in"
    env -u XDG_CONFIG_HOME HOME="$tmp/home" build/release/skiff "$@" <"$tmp/skiff.in" \
        >"$tmp/skiff.out" 2>"$tmp/skiff.err" &
    skiff_pid=$!
    pids+=("$skiff_pid")
    local url="" _
    for _ in $(seq 100); do
        url=$(grep -m1 -oE 'http://[^ ]+:[0-9]+/\?t=[0-9]+' "$tmp/skiff.out" || true)
        [[ -n "$url" ]] && break
        kill -0 "$skiff_pid" 2>/dev/null || { cat "$tmp/skiff.err" >&2; echo "skiff exited" >&2; exit 1; }
        sleep 0.1
    done
    [[ -n "$url" ]] || { echo "skiff printed no address within 10 s" >&2; exit 1; }
    skiff_port=$(sed -E 's|.*:([0-9]+)/\?t=.*|\1|' <<<"$url")
    code=${url##*t=}
    # The first request asks to connect; "c" on the prompt allows it.
    curl -s -o /dev/null "http://127.0.0.1:$skiff_port/api/files?t=$code" || true
    echo c >&3
    for _ in $(seq 50); do
        [[ $(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$skiff_port/api/files?t=$code") == 200 ]] &&
            return 0
        sleep 0.1
    done
    echo "skiff did not let this computer in" >&2
    exit 1
}

# require_space COPIES SIZE: stops unless $tmp holds COPIES x SIZE (as numfmt reads it) and
# 1 GiB more.
require_space() {
    local bytes free
    bytes=$(numfmt --from=iec "$2")
    free=$(df --output=avail -B1 "$tmp" | tail -1)
    ((free > $1 * bytes + (1 << 30))) ||
        { echo "$tmp has $(numfmt --to=iec "$free") free; needs $1 x $2 and 1 GiB more" >&2; exit 1; }
}
