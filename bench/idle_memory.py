#!/usr/bin/env python3
"""Resident memory of the idle terminal front end, after start and after 100 listings.

Starts `skiff --terminal` (release build) with its home in a temporary folder, reads VmRSS
once its address is printed and the process has settled, admits one device (a `c` typed at
the prompt, as the person at the computer would), asks for /api/files 100 times and reads
VmRSS again. The peer is nginx idle (master and one worker) serving a static folder, started
in the same run. Also reports whether any toolkit GUI library is mapped into the process.
Target: at most 26 MiB for Skiff after start.

    bench/idle_memory.py [--rounds 5]
"""
import argparse
import os
import re
import statistics
import subprocess
import tempfile
import time
import urllib.error
import urllib.request
from pathlib import Path

from concurrent_downloads import free_port, rss_kib
from idle_connections import SKIFF

AGENT = "Mozilla/5.0 (Linux; Android 14; Pixel 8) Mobile"


def fetch(url):
    request = urllib.request.Request(url, headers={"User-Agent": AGENT})
    try:
        with urllib.request.urlopen(request, timeout=5) as answer:
            return answer.status
    except urllib.error.HTTPError as error:
        return error.code


def skiff_round():
    home = tempfile.mkdtemp(prefix="skiff-bench-")
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME")}
    env["HOME"] = home
    out_path = Path(home) / "skiff.out"
    with open(out_path, "w") as out:
        process = subprocess.Popen([SKIFF, "--terminal"], env=env, stdout=out,
                                   stderr=subprocess.DEVNULL, stdin=subprocess.PIPE)
    try:
        found = None
        for _ in range(100):
            # The LAN address, or the computer's own when there is no network.
            found = re.search(r"http://[^:/\s]+:(\d+)/\?t=(\d+)", out_path.read_text())
            if found:
                break
            time.sleep(0.1)
        port, code = int(found.group(1)), found.group(2)
        time.sleep(1.5)
        started = rss_kib([process.pid])
        maps = Path(f"/proc/{process.pid}/maps").read_text()
        gui = sorted({line.split("/")[-1] for line in maps.splitlines()
                      if "libQt6Gui" in line or "libQt6Quick" in line or "libQt6Qml" in line})
        listing = f"http://127.0.0.1:{port}/api/files?t={code}"
        assert fetch(listing) == 428, "the first listing was not held for approval"
        time.sleep(0.3)
        process.stdin.write(b"c\n")
        process.stdin.flush()
        for _ in range(50):
            if fetch(listing) == 200:
                break
            time.sleep(0.1)
        statuses = [fetch(listing) for _ in range(100)]
        assert statuses.count(200) == 100, f"listings answered {set(statuses)}"
        time.sleep(0.5)
        return started, rss_kib([process.pid]), gui
    finally:
        process.terminate()
        process.wait(timeout=10)


def nginx_round():
    folder = tempfile.mkdtemp(prefix="nginx-bench-")
    (Path(folder) / "files.json").write_text("{}")
    conf = Path(folder) / "nginx.conf"
    conf.write_text(f"""worker_processes 1; daemon off; pid {folder}/nginx.pid;
error_log {folder}/error.log; events {{}}
http {{ access_log off; server {{ listen 127.0.0.1:{free_port()}; root {folder}; }} }}""")
    process = subprocess.Popen(["nginx", "-c", str(conf), "-p", folder],
                               stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.5)
        children = Path(f"/proc/{process.pid}/task/{process.pid}/children").read_text().split()
        return rss_kib([process.pid] + [int(child) for child in children])
    finally:
        process.terminate()
        process.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    starts, afters, peers = [], [], []
    for round_number in range(1, args.rounds + 1):
        started, after, gui = skiff_round()
        peer = nginx_round()
        starts.append(started)
        afters.append(after)
        peers.append(peer)
        print(f"round {round_number}: skiff {started / 1024:.1f} MiB after start, "
              f"{after / 1024:.1f} MiB after 100 listings; nginx {peer / 1024:.1f} MiB; "
              f"GUI libraries mapped: {', '.join(gui) or 'none'}", flush=True)
    start, after, peer = (statistics.median(v) / 1024 for v in (starts, afters, peers))
    print(f"median: skiff {start:.1f} MiB after start (target 26), {after:.1f} MiB after 100 "
          f"listings; nginx {peer:.1f} MiB; skiff / nginx {start / peer:.2f}")


if __name__ == "__main__":
    main()
