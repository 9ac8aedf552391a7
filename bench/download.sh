#!/usr/bin/env bash
# Download speed, two cases, each against nginx serving the same bytes as static files with
# sendfile on:
#   file - one 2 GiB file through GET /api/dl/f0 (target: Skiff at least 0.8 of nginx);
#   zip  - 20 files of 2 GiB in all through GET /api/zip, which Skiff builds as it sends,
#          against nginx sending a ready stored ZIP of the same files (target: at least 0.7).
# Skiff is bench_transfer_server (bench/transfer_server), which shares the files named on its
# command line. curl fetches into /dev/null; runs alternate (Skiff, nginx, Skiff, ...) so drift
# in the machine's speed falls on both alike. Every file stays in the page cache throughout.
#
# Settings (environment): SIZE (2G, as head -c takes it), ROUNDS (3),
# NO_BUILD=1 to use build/release/bench/transfer_server/bench_transfer_server as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/lib.sh
source bench/lib.sh

size=${SIZE:-2G}
rounds=${ROUNDS:-3}
parts=20
server_bin=build/release/bench/transfer_server/bench_transfer_server

build_release bench_transfer_server
[[ -x "$server_bin" ]] || { echo "$server_bin is missing; run without NO_BUILD" >&2; exit 1; }

make_workspace

# The big file, its 20 pieces and nginx's ZIP of them, with room to spare.
require_space 3 "$size"
bytes=$(numfmt --from=iec "$size")

echo "Making a $size file of random bytes, $parts pieces of it and a stored ZIP of those..." >&2
mkdir -p "$tmp/pieces" "$tmp/www/api/dl" "$tmp/receive"
head -c "$size" /dev/urandom >"$tmp/big.bin"
split -n "$parts" -d -a 2 --additional-suffix=.bin "$tmp/big.bin" "$tmp/pieces/piece"
python3 - "$tmp/www/api/zip" "$tmp"/pieces/*.bin <<'EOF'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as archive:
    for path in sys.argv[2:]:
        archive.write(path, os.path.basename(path))
EOF
ln "$tmp/big.bin" "$tmp/www/api/dl/f0"  # the same inode, so the same cached pages

# --- Skiff's server, sharing the big file and the pieces ---
"$server_bin" "$tmp/receive" "$tmp/big.bin" >"$tmp/file.out" 2>"$tmp/file.err" &
file_pid=$!
pids+=("$file_pid")
"$server_bin" "$tmp/receive" "$tmp"/pieces/*.bin >"$tmp/zip.out" 2>"$tmp/zip.err" &
zip_pid=$!
pids+=("$zip_pid")
listening_port() {  # output-file pid
    local port=""
    for _ in $(seq 100); do
        port=$(awk '/^port / { print $2; exit }' "$1")
        [[ -n "$port" ]] && break
        kill -0 "$2" 2>/dev/null || { echo "bench_transfer_server exited" >&2; return 1; }
        sleep 0.1
    done
    [[ -n "$port" ]] || { echo "bench_transfer_server printed no port within 10 s" >&2; return 1; }
    echo "$port"
}
file_port=$(listening_port "$tmp/file.out" "$file_pid")
zip_port=$(listening_port "$tmp/zip.out" "$zip_pid")

# --- nginx, entirely inside the temporary folder ---
nginx_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
    # Workers of a root master would otherwise switch to "nobody", who cannot read $tmp.
    [[ $(id -u) -eq 0 ]] && echo "user $(id -un) $(id -gn);"
    cat <<EOF
worker_processes $(nproc);
error_log $tmp/error.log warn;
pid $tmp/nginx.pid;
events { worker_connections 1024; }
http {
    access_log off;
    keepalive_timeout 0;
    sendfile on;
    types {}
    default_type application/octet-stream;
    client_body_temp_path $tmp/nginx-temp/body;
    proxy_temp_path $tmp/nginx-temp/proxy;
    fastcgi_temp_path $tmp/nginx-temp/fastcgi;
    uwsgi_temp_path $tmp/nginx-temp/uwsgi;
    scgi_temp_path $tmp/nginx-temp/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $tmp/www;
    }
}
EOF
} >"$tmp/nginx.conf"
mkdir -p "$tmp/nginx-temp"
nginx -p "$tmp" -c "$tmp/nginx.conf" -g 'daemon off;' 2>"$tmp/nginx.err" &
nginx_pid=$!
pids+=("$nginx_pid")
for _ in $(seq 100); do
    if curl -s --max-time 1 -o /dev/null "http://127.0.0.1:$nginx_port/"; then break; fi
    sleep 0.1
done

# --- downloads ---
cat "$tmp/big.bin" "$tmp"/pieces/*.bin "$tmp/www/api/zip" >/dev/null  # all in the page cache
# CPU time of a server and its child processes (nginx's workers), in clock ticks.
cpu_ticks() {  # pid
    { echo "$1"; pgrep -P "$1" || true; } | while read -r pid; do
        awk '{ print $14 + $15 }' "/proc/$pid/stat"
    done | awk '{ s += $1 } END { print s }'
}
fetch() {  # pid url → "MB/s bytes server-CPU-s"; fails unless the whole body came
    local before result
    before=$(cpu_ticks "$1")
    result=$(curl -s -o /dev/null --max-time 300 -w '%{http_code} %{size_download} %{speed_download}' "$2") ||
        { echo "curl failed ($?) on $2" >&2; return 1; }
    read -r status got speed <<<"$result"
    [[ $status == 200 ]] || { echo "$2 answered $status" >&2; return 1; }
    awk -v s="$speed" -v b="$got" -v t="$(($(cpu_ticks "$1") - before))" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.1f %.0f %.2f\n", s / 1e6, b, t / hz }'
}

code=123456
declare -A url=(
    [file.skiff]="http://127.0.0.1:$file_port/api/dl/f0?t=$code"
    [file.nginx]="http://127.0.0.1:$nginx_port/api/dl/f0?t=$code"
    [zip.skiff]="http://127.0.0.1:$zip_port/api/zip?t=$code"
    [zip.nginx]="http://127.0.0.1:$nginx_port/api/zip?t=$code"
)
declare -A pid=([file.skiff]=$file_pid [zip.skiff]=$zip_pid [file.nginx]=$nginx_pid [zip.nginx]=$nginx_pid)
declare -A total=() cpu_total=()
echo "$size ($bytes bytes): one file, and $parts pieces of it as one ZIP; $rounds rounds"
for case in file zip; do
    for round in $(seq "$rounds"); do
        for name in skiff nginx; do
            result=$(fetch "${pid[$case.$name]}" "${url[$case.$name]}")
            read -r rate got cpu <<<"$result"
            printf '%-4s %-5s run %d: %7.1f MB/s  (%s bytes, server CPU %s s)\n' \
                "$case" "$name" "$round" "$rate" "$got" "$cpu"
            total[$case.$name]=$(awk -v a="${total[$case.$name]:-0}" -v b="$rate" 'BEGIN { printf "%.1f", a + b }')
            cpu_total[$case.$name]=$(awk -v a="${cpu_total[$case.$name]:-0}" -v b="$cpu" 'BEGIN { printf "%.2f", a + b }')
        done
    done
done

for p in "$file_pid" "$zip_pid"; do
    kill -0 "$p" 2>/dev/null || { echo "bench_transfer_server died during the downloads" >&2; exit 1; }
done
for case in file zip; do
    target=1.0
    [[ $case == zip ]] && target=0.95
    awk -v c="$case" -v s="${total[$case.skiff]}" -v n="${total[$case.nginx]}" -v r="$rounds" -v t="$target" \
        -v cs="${cpu_total[$case.skiff]}" -v cn="${cpu_total[$case.nginx]}" -v b="$bytes" 'BEGIN {
        gib = b * r / 1073741824
        printf "%-4s skiff mean %.1f MB/s, nginx mean %.1f MB/s, ratio %.2f (target >= %s: %s)\n",
            c, s / r, n / r, s / n, t, (s / n >= t ? "met" : "NOT met")
        printf "%-4s server CPU per GiB: skiff %.3f s, nginx %.3f s, ratio %.2f%s\n", c, cs / gib, cn / gib,
            (cn > 0 ? cs / cn : 0), (c == "file" ? ((cn > 0 && cs / cn <= 1.2) ? " (target <= 1.2: met)" : " (target <= 1.2: NOT met)") : "")
    }'
done
