#!/usr/bin/env bash
# Upload speed: one 2 GiB file sent to Skiff in 4 MiB chunks, each on a connection of its own
# as the phone page sends them, against nginx taking the same chunk requests and writing
# every body to a file of its own. The same client (bench/upload_client.py) drives both, and
# runs alternate (Skiff, nginx, Skiff, ...) so drift in the machine's speed falls on both
# alike. Skiff's time includes its finish, which flushes the file and the folder to the disk;
# nginx flushes nothing, so its durable speed charges it the `sync` that follows its run. The
# disk's own durable write speed comes from `dd ... conv=fdatasync` of the same file in the
# same folder. Targets: Skiff at least nginx's durable speed and 0.9 of the disk's.
#
# Settings (environment): SIZE (2G, as head -c takes it), ROUNDS (3),
# NO_BUILD=1 to use build/release/skiff as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/lib.sh
source bench/lib.sh

size=${SIZE:-2G}
rounds=${ROUNDS:-3}
echo_module=/usr/lib/nginx/modules/ngx_http_echo_module.so

build_release skiff
[[ -f "$echo_module" ]] || { echo "$echo_module is missing (libnginx-mod-http-echo)" >&2; exit 1; }

make_workspace

# The source file and one received copy at a time, with room to spare.
require_space 2 "$size"
bytes=$(numfmt --from=iec "$size")

echo "Making a $size file of random bytes..." >&2
head -c "$size" /dev/urandom >"$tmp/upload.bin"

# --- Skiff, with its receive folder in the temporary home ---
start_skiff
received="$tmp/home/Downloads/Skiff"

# --- nginx: every chunk body read in full and kept in a file of its own ---
# client_body_in_file_only keeps each body in a file under body/; echo_read_request_body
# makes nginx read the body before it answers (a bare "return" would discard it unread).
nginx_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$tmp/nginx/body"
{
    echo "load_module $echo_module;"
    # Workers of a root master would otherwise switch to "nobody", who cannot write to $tmp.
    [[ $(id -u) -eq 0 ]] && echo "user $(id -un) $(id -gn);"
    cat <<EOF
worker_processes $(nproc);
error_log $tmp/nginx/error.log warn;
pid $tmp/nginx/nginx.pid;
events { worker_connections 1024; }
http {
    access_log off;
    keepalive_timeout 0;
    default_type application/json;
    client_body_temp_path $tmp/nginx/body;
    proxy_temp_path $tmp/nginx/proxy;
    fastcgi_temp_path $tmp/nginx/fastcgi;
    uwsgi_temp_path $tmp/nginx/uwsgi;
    scgi_temp_path $tmp/nginx/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        location = /api/up/init { return 200 '{"uid":"\$arg_uid","received":0,"chunk":4194304}'; }
        location = /api/up/chunk {
            client_max_body_size 16m;
            client_body_in_file_only on;
            echo_read_request_body;
            echo '{"received":0}';
        }
        location = /api/up/finish { return 200 '{"ok":true}'; }
    }
}
EOF
} >"$tmp/nginx/nginx.conf"
nginx -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" -g 'daemon off;' 2>"$tmp/nginx/stderr" &
nginx_pid=$!
pids+=("$nginx_pid")
for _ in $(seq 100); do
    if curl -s --max-time 1 -o /dev/null "http://127.0.0.1:$nginx_port/"; then break; fi
    sleep 0.1
done

# --- uploads ---
declare -A port=([skiff]=$skiff_port [nginx]=$nginx_port)
declare -A server=([skiff]=$skiff_pid [nginx]=$nginx_pid)
declare -A total=([skiff]=0 [nginx]=0 [durable]=0 [disk]=0)
# What each server stored, checked after every run and then deleted.
stored() {  # name → "files bytes"
    local folder=$received
    [[ $1 == nginx ]] && folder=$tmp/nginx/body
    find "$folder" -type f -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { printf "%d %.0f\n", NR, s }'
}

# CPU time of a server and its child processes (nginx's workers), in clock ticks.
cpu_ticks() {  # pid
    { echo "$1"; pgrep -P "$1" || true; } | while read -r pid; do
        awk '{ print $14 + $15 }' "/proc/$pid/stat"
    done | awk '{ s += $1 } END { print s }'
}

sha=$(sha256sum "$tmp/upload.bin" | cut -d' ' -f1)
echo "$size ($bytes bytes) in 4 MiB chunks, one connection per chunk, $rounds rounds"
for round in $(seq "$rounds"); do
    for name in skiff nginx; do
        sync -f "$tmp"  # the previous run's writes reach the disk before this one starts
        before=$(cpu_ticks "${server[$name]}")
        result=$(python3 bench/upload_client.py "${port[$name]}" "$code" "$tmp/upload.bin")
        cpu_server=$(($(cpu_ticks "${server[$name]}") - before))
        read -r rate seconds finish waits cpu hashing finish_sha < <(python3 -c '
import json, sys
r = json.loads(sys.argv[1])
print(r["mb_per_s"], r["seconds"], r["finish_s"], r["chunk_waits_s"], r["client_cpu_s"], r["hashing_s"],
      (r["finish"] or {}).get("sha256", "-"))' "$result")
        read -r files kept < <(stored "$name")
        [[ $kept == "$bytes" ]] ||
            { echo "$name stored $kept of $bytes bytes in $files files" >&2; exit 1; }
        [[ $name == nginx || $finish_sha == "$sha" ]] ||
            { echo "skiff confirmed SHA-256 $finish_sha, expected $sha" >&2; exit 1; }
        flushed=$( { TIMEFORMAT=%R; time sync -f "$tmp"; } 2>&1)
        printf '%-5s run %d: %6.1f MB/s  %6.2f s (chunk answers %5.2f s, finish %5.2f s)' \
            "$name" "$round" "$rate" "$seconds" "$waits" "$finish"
        printf '  server CPU %5.2f s, client CPU %.2f s, sync afterwards %s s, %d files\n' \
            "$(awk -v t="$cpu_server" -v hz="$(getconf CLK_TCK)" 'BEGIN { print t / hz }')" \
            "$cpu" "$flushed" "$files"
        find "$received" "$tmp/nginx/body" -type f -delete
        total[$name]=$(awk -v a="${total[$name]}" -v b="$rate" 'BEGIN { printf "%.1f", a + b }')
        if [[ $name == nginx ]]; then
            durable=$(awk -v b="$bytes" -v t="$seconds" -v f="$flushed" 'BEGIN { printf "%.1f", b / 1e6 / (t + f) }')
            echo "nginx run $round durable (its time plus the sync): $durable MB/s"
            total[durable]=$(awk -v a="${total[durable]}" -v b="$durable" 'BEGIN { printf "%.1f", a + b }')
        fi
    done
    sync -f "$tmp"
    start=$(date +%s.%N)
    dd if="$tmp/upload.bin" of="$tmp/dd.bin" bs=4M conv=fdatasync status=none
    disk=$(awk -v b="$bytes" -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", b / 1e6 / (e - s) }')
    rm -f "$tmp/dd.bin"
    echo "disk  run $round: $disk MB/s (dd bs=4M conv=fdatasync)"
    total[disk]=$(awk -v a="${total[disk]}" -v b="$disk" 'BEGIN { printf "%.1f", a + b }')
done

kill -0 "$skiff_pid" 2>/dev/null || { echo "skiff died during the uploads" >&2; exit 1; }
echo "Client: CRC-32 and SHA-256 of the file took $hashing s before the clock started"
awk -v s="${total[skiff]}" -v n="${total[nginx]}" -v d="${total[durable]}" -v k="${total[disk]}" -v r="$rounds" 'BEGIN {
    printf "skiff mean: %.1f MB/s\nnginx mean: %.1f MB/s, durable %.1f MB/s\ndisk mean: %.1f MB/s\n", s / r, n / r, d / r, k / r
    printf "ratio skiff/nginx durable: %.2f (target >= 1.0: %s)\n", s / d, (s / d >= 1.0 ? "met" : "NOT met")
    printf "ratio skiff/disk: %.2f (target >= 0.9: %s)\n", s / k, (s / k >= 0.9 ? "met" : "NOT met")
    printf "ratio skiff/nginx not durable: %.2f\n", s / n
}'
