#!/usr/bin/env bash
# Requests per second of GET /api/files on Skiff against nginx serving the same bytes as a
# static file. Both listen on 127.0.0.1 and every request comes on a new connection, which is
# how phones talk to Skiff. Runs alternate (Skiff, nginx, Skiff, nginx, ...) so drift in the
# machine's speed falls on both alike.
#
# Settings (environment): DURATION (10s), WARMUP (2s), ROUNDS (3), THREADS (2), CONNECTIONS (32,
# one host's share: more from one host are refused by design), NO_BUILD=1 to use build/release/skiff as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/lib.sh
source bench/lib.sh

duration=${DURATION:-10s}
warmup=${WARMUP:-2s}
rounds=${ROUNDS:-3}
connections=${CONNECTIONS:-32}
threads=${THREADS:-2}

build_release skiff

make_workspace

# --- Skiff, with its receive folder in the temporary home, sharing 20 files ---
mkdir -p "$tmp/shared"
for i in $(seq -w 1 20); do head -c $((10#$i * 1000)) /dev/zero >"$tmp/shared/Ảnh kỳ nghỉ $i.jpg"; done
start_skiff "$tmp/shared"/*
path="/api/files?t=$code"

# wrk sends no User-Agent, so neither does this fetch: the body then matches what wrk gets.
mkdir -p "$tmp/nginx/html/api"
status=$(curl -sS --max-time 5 -H 'User-Agent:' -o "$tmp/nginx/html/api/files" -w '%{http_code}' \
    "http://127.0.0.1:$skiff_port$path")
[[ "$status" == 200 ]] || { echo "skiff answered $status to $path" >&2; exit 1; }

# --- nginx, entirely inside the temporary folder ---
nginx_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$tmp/nginx/temp"
{
    # Workers of a root master would otherwise switch to "nobody", who cannot read $tmp.
    [[ $(id -u) -eq 0 ]] && echo "user $(id -un) $(id -gn);"
    cat <<EOF
worker_processes $(nproc);
error_log $tmp/nginx/error.log warn;
pid $tmp/nginx/nginx.pid;
events { worker_connections 1024; }
http {
    access_log off;
    keepalive_timeout 0;
    types {}
    default_type application/json;
    client_body_temp_path $tmp/nginx/temp/body;
    proxy_temp_path $tmp/nginx/temp/proxy;
    fastcgi_temp_path $tmp/nginx/temp/fastcgi;
    uwsgi_temp_path $tmp/nginx/temp/uwsgi;
    scgi_temp_path $tmp/nginx/temp/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $tmp/nginx/html;
    }
}
EOF
} >"$tmp/nginx/nginx.conf"
nginx -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" -g 'daemon off;' 2>"$tmp/nginx/stderr" &
pids+=("$!")

for _ in $(seq 100); do
    if curl -s --max-time 1 -o /dev/null "http://127.0.0.1:$nginx_port/"; then break; fi
    sleep 0.1
done
curl -sS --max-time 5 -o "$tmp/nginx.body" "http://127.0.0.1:$nginx_port$path"
cmp -s "$tmp/nginx.body" "$tmp/nginx/html/api/files" ||
    { echo "nginx does not serve the same body" >&2; cat "$tmp/nginx/stderr" >&2; exit 1; }

# --- load ---
declare -A port=([skiff]=$skiff_port [nginx]=$nginx_port)
declare -A total=([skiff]=0 [nginx]=0)
load() {  # name duration output-file
    wrk -t"$threads" -c"$connections" -d"$2" --latency -H 'Connection: close' \
        "http://127.0.0.1:${port[$1]}$path" >"$3"
}
summary() {  # output-file → "rate p50 p99 errors"
    awk '
        /^Requests\/sec:/ { rate = $2 }
        $1 == "50%" { p50 = $2 }
        $1 == "99%" { p99 = $2 }
        /Socket errors:/ { sub(/^ *Socket errors: */, ""); gsub(/ /, ""); errors = errors "socket:" $0 " " }
        /Non-2xx or 3xx responses:/ { errors = errors "non-2xx:" $NF " " }
        END { print rate, p50, p99, (errors == "" ? "none" : errors) }' "$1"
}

echo "Bytes per answer: $(wc -c <"$tmp/nginx/html/api/files") body; $connections connections," \
    "$threads threads, one request per connection, $duration per run"
for name in skiff nginx; do load "$name" "$warmup" "$tmp/warmup.$name"; done
for round in $(seq "$rounds"); do
    for name in skiff nginx; do
        load "$name" "$duration" "$tmp/$name.$round"
        read -r rate p50 p99 errors < <(summary "$tmp/$name.$round")
        printf '%-5s run %d: %10.1f req/s  latency p50 %-8s p99 %-8s errors: %s\n' \
            "$name" "$round" "$rate" "$p50" "$p99" "$errors"
        total[$name]=$(awk -v a="${total[$name]}" -v b="$rate" 'BEGIN { printf "%.1f", a + b }')
    done
done

kill -0 "$skiff_pid" 2>/dev/null || { echo "skiff died during the load" >&2; exit 1; }
awk -v s="${total[skiff]}" -v n="${total[nginx]}" -v r="$rounds" 'BEGIN {
    printf "skiff mean: %.1f req/s\nnginx mean: %.1f req/s\nratio skiff/nginx: %.2f (target >= 0.8: %s)\n",
        s / r, n / r, s / n, (s / n >= 0.8 ? "met" : "NOT met")
}'
