#!/usr/bin/env python3
"""Resident memory Skiff spends on each open connection that is waiting for its request.

Two cases, each on a freshly started Skiff (release build):
  silent  - connections that send nothing at all;
  partial - connections that sent the start of a request head and then stall.
For each case: sample VmRSS after a few warm-up requests, open the connections from
127.0.0.1, wait, sample VmRSS again and divide the growth by the number of connections.
Skiff drops a stalled connection after 60 s, so everything is measured well within that.
"""

import argparse
import os
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIFF = ROOT / "build" / "release" / "skiff"
TARGET_KIB = 64


def build():
    subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "release", "--target", "skiff"], cwd=ROOT,
                   check=True, stdout=subprocess.DEVNULL)


def raise_descriptor_limit(needed):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = needed if hard == resource.RLIM_INFINITY else min(needed, hard)
    if soft != resource.RLIM_INFINITY and soft < wanted:
        resource.setrlimit(resource.RLIMIT_NOFILE, (wanted, hard))
    soft = resource.getrlimit(resource.RLIMIT_NOFILE)[0]
    if soft != resource.RLIM_INFINITY and soft < needed:
        sys.exit(f"descriptor limit {soft} is below the {needed} this run needs")


def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def open_descriptors(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


class Skiff:
    """A Skiff process with its home in a temporary folder; stopped on leaving the block."""

    def __enter__(self):
        self.home = tempfile.mkdtemp(prefix="skiff-bench-")
        env = {k: v for k, v in os.environ.items() if k != "XDG_CONFIG_HOME"}
        env["HOME"] = self.home
        self.out_path = Path(self.home) / "skiff.out"
        with open(self.out_path, "w") as out:
            self.process = subprocess.Popen([SKIFF], env=env, stdout=out,
                                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            for line in self.out_path.read_text().splitlines():
                if line.startswith("http://") and "/?t=" in line:
                    address, self.code = line.rsplit("/?t=", 1)
                    self.port = int(address.rsplit(":", 1)[1])
                    return self
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        self.__exit__(None, None, None)
        raise RuntimeError("skiff printed no address")

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def get(self, path):
        url = f"http://127.0.0.1:{self.port}{path}"
        with urllib.request.urlopen(url, timeout=5) as answer:
            return answer.read()


def measure(case, count, settle):
    with Skiff() as skiff:
        pid = skiff.process.pid
        for _ in range(20):  # warm-up: first requests set up allocator arenas and lazy tables
            skiff.get(f"/api/files?t={skiff.code}")
        time.sleep(1)
        base, base_fds = rss_kib(pid), open_descriptors(pid)

        sockets = []
        try:
            for _ in range(count):
                s = socket.create_connection(("127.0.0.1", skiff.port), timeout=5)
                if case == "partial":
                    s.sendall(b"GET /api/files?t=")
                sockets.append(s)
            time.sleep(settle)
            after, after_fds = rss_kib(pid), open_descriptors(pid)
            if skiff.process.poll() is not None:
                raise RuntimeError("skiff exited under the connections")
        finally:
            for s in sockets:
                s.close()

    per = (after - base) / count
    print(f"{case:8} {count} connections: VmRSS {base} -> {after} KiB, "
          f"+{after - base} KiB = {per:.1f} KiB per connection "
          f"({after_fds - base_fds} descriptors opened in skiff; target < {TARGET_KIB}: "
          f"{'met' if per < TARGET_KIB else 'NOT met'})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--connections", type=int, default=500)
    parser.add_argument("--settle", type=float, default=2.0, help="seconds before the sample")
    parser.add_argument("--no-build", action="store_true")
    args = parser.parse_args()
    if args.settle > 30:
        parser.error("settle must stay well below Skiff's 60 s idle deadline")

    if not args.no_build:
        build()
    # Skiff inherits the limit, and raises its own soft limit to the hard one as well.
    raise_descriptor_limit(args.connections + 64)
    for case in ("silent", "partial"):
        measure(case, args.connections, args.settle)


if __name__ == "__main__":
    main()
