#!/usr/bin/env python3
"""Resident memory the server spends on each download in flight, with 100 at once.

bench_transfer_server shares one 64 MiB file; 100 clients on 127.0.0.1 each ask for it with
GET /api/dl/f0 and read it slowly (about 1 MiB/s each), so all of them stay in flight for the
whole window. VmRSS is sampled before the downloads (after a few warm-up downloads) and every
50 ms during the window; the result is (peak - before) / downloads. nginx serving the same
file with sendfile on goes through the same steps as a reference (its master and workers
summed). Target for the server: under 1 MiB per download.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SERVER = ROOT / "build" / "release" / "bench" / "transfer_server" / "bench_transfer_server"
CODE = "123456"
TARGET_KIB = 1024
TICK = 0.05


def build():
    subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "release", "--target", "bench_transfer_server"],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


def rss_kib(pids):
    total = 0
    for pid in pids:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                total += int(line.split()[1])
    return total


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, output=None):
    """Waits until `port` accepts connections, or reads it from `output` ("port N")."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"{process.args[0]} exited")
        if output is not None:
            for line in output.read_text().splitlines():
                if line.startswith("port "):
                    return int(line.split()[1])
        else:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return port
            except OSError:
                pass
        time.sleep(0.1)
    raise RuntimeError(f"{process.args[0]} did not start listening within 10 s")


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def start_skiff(folder, shared):
    output = folder / "server.out"
    with open(output, "w") as out:
        process = subprocess.Popen([SERVER, folder / "receive", shared], stdout=out,
                                   stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        port = wait_for_port(None, process, output)
    except RuntimeError:
        stop(process)
        raise
    return process, port, lambda: [process.pid]


def start_nginx(folder, shared):
    port = free_port()
    root = folder / "www"
    (root / "api" / "dl").mkdir(parents=True)
    os.link(shared, root / "api" / "dl" / "f0")
    (folder / "nginx-temp").mkdir()
    # Workers of a root master would otherwise switch to "nobody", who cannot read the folder.
    user = "user root root;\n" if os.getuid() == 0 else ""
    (folder / "nginx.conf").write_text(f"""{user}worker_processes {os.cpu_count()};
error_log {folder}/nginx.err warn;
pid {folder}/nginx.pid;
events {{ worker_connections 1024; }}
http {{
    access_log off;
    keepalive_timeout 0;
    sendfile on;
    types {{}}
    default_type application/octet-stream;
    client_body_temp_path {folder}/nginx-temp/body;
    proxy_temp_path {folder}/nginx-temp/proxy;
    fastcgi_temp_path {folder}/nginx-temp/fastcgi;
    uwsgi_temp_path {folder}/nginx-temp/uwsgi;
    scgi_temp_path {folder}/nginx-temp/scgi;
    server {{ listen 127.0.0.1:{port}; root {root}; }}
}}
""")
    process = subprocess.Popen(["nginx", "-p", folder, "-c", folder / "nginx.conf",
                                "-g", "daemon off;"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        wait_for_port(port, process)
    except RuntimeError:
        stop(process)
        raise

    def pids():
        children = Path(f"/proc/{process.pid}/task/{process.pid}/children").read_text().split()
        return [process.pid, *map(int, children)]
    return process, port, pids


def fetch_whole(port):
    """One complete download, as a warm-up; returns the bytes received."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(f"GET /api/dl/f0?t={CODE} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                  "Connection: close\r\n\r\n".encode())
        got, buffer = 0, bytearray(1 << 20)
        while n := s.recv_into(buffer):
            got += n
    return got


def measure(name, start, args, folder, shared):
    work = folder / name
    work.mkdir()
    process, port, pids = start(work, shared)
    sockets = []
    try:
        for _ in range(3):  # warm-up: allocator arenas, lazy tables, the page cache
            if fetch_whole(port) < args.size:
                raise RuntimeError(f"{name}: a warm-up download came short")
        time.sleep(1)
        base = rss_kib(pids())

        request = (f"GET /api/dl/f0?t={CODE} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                   "Connection: close\r\n\r\n").encode()
        for _ in range(args.downloads):
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(request)
            s.setblocking(False)
            sockets.append(s)
        received = [0] * len(sockets)
        ended = [False] * len(sockets)
        heads = [b""] * len(sockets)
        buffer = bytearray(64 * 1024)
        quota = max(1, int(args.rate * TICK))
        peak = base
        deadline = time.monotonic() + args.window
        while time.monotonic() < deadline:
            for i, s in enumerate(sockets):
                taken = 0
                while taken < quota and not ended[i]:
                    try:
                        n = s.recv_into(buffer, min(len(buffer), quota - taken))
                    except BlockingIOError:
                        break
                    if n == 0:
                        ended[i] = True
                    elif len(heads[i]) < 16:
                        heads[i] += bytes(buffer[:min(n, 16)])
                    taken += n
                received[i] += taken
            peak = max(peak, rss_kib(pids()))
            time.sleep(TICK)
        if process.poll() is not None:
            raise RuntimeError(f"{name} exited under the downloads")
    finally:
        for s in sockets:
            s.close()
        stop(process)

    answered = sum(head.startswith(b"HTTP/1.1 200") for head in heads)
    in_flight = sum(not e for e in ended)
    per = (peak - base) / args.downloads
    least, most = min(received) / 2**20, max(received) / 2**20
    verdict = ""
    if name == "skiff":
        verdict = f"; target < {TARGET_KIB} KiB: {'met' if per < TARGET_KIB else 'NOT met'}"
    print(f"{name:5} {args.downloads} downloads ({answered} answered 200, {in_flight} still "
          f"in flight at the end, {least:.1f}-{most:.1f} MiB read each): VmRSS {base} -> peak "
          f"{peak} KiB, +{peak - base} KiB = {per:.1f} KiB per download{verdict}")
    if answered < args.downloads or in_flight < args.downloads:
        raise RuntimeError(f"{name}: not every download was in flight for the whole window")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--downloads", type=int, default=100)
    parser.add_argument("--size", type=int, default=64 << 20, help="bytes of the shared file")
    parser.add_argument("--rate", type=float, default=1 << 20,
                        help="bytes per second each client reads")
    parser.add_argument("--window", type=float, default=10, help="seconds the downloads run")
    parser.add_argument("--no-build", action="store_true")
    args = parser.parse_args()
    if args.window > 50:
        parser.error("the window must stay well below the server's 60 s send deadline")
    if args.rate * args.window >= args.size:
        parser.error("the downloads would end within the window: lower --rate or --window")

    # Stopped from outside, still stop the servers and delete the files (the finally blocks).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    if not args.no_build:
        build()
    folder = Path(tempfile.mkdtemp(prefix="skiff-bench-"))
    try:
        shared = folder / "shared.bin"
        with open(shared, "wb") as f:
            for _ in range(args.size >> 20):
                f.write(os.urandom(1 << 20))
            f.write(os.urandom(args.size & ((1 << 20) - 1)))
        print(f"{args.downloads} downloads of a {args.size / 2**20:.0f} MiB file at once, each "
              f"read at {args.rate / 2**20:.2f} MiB/s for {args.window:.0f} s")
        measure("skiff", start_skiff, args, folder, shared)
        measure("nginx", start_nginx, args, folder, shared)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except (OSError, RuntimeError) as error:
        sys.exit(f"concurrent_downloads: {error}")
