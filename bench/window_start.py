#!/usr/bin/env python3
"""Time from starting Skiff's window to its QR code on screen, as a person would see it.

Each round starts the release build on a virtual display (Xvfb), in a network namespace of its
own with one private address (so the window has a network to show), with a private session
bus and an empty home (the introduction skipped, as on every start after the first), grabs the
screen with FFmpeg's x11grab every few tens of milliseconds and reads it with zbarimg: the
time is the first grab in which the code reads as the address Skiff printed. The peer is
the same display's first frame of a window at all (the moment xdotool sees Skiff's window
mapped), so the figure splits into the toolkit's start and Skiff's own work.

    bench/window_start.py [ROUNDS]      (SKIFF=path/to/skiff for another build)
"""

import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIFF = Path(os.environ.get("SKIFF", ROOT / "build" / "release" / "skiff"))
DISPLAY = ":93"
NETNS = "skiff-window-start"


def make_network():
    """A namespace with a veth pair holding 192.168.77.1: a LAN for Skiff, no traffic out."""
    subprocess.run(["ip", "netns", "del", NETNS], stderr=subprocess.DEVNULL)
    for command in (["ip", "netns", "add", NETNS],
                    ["ip", "-n", NETNS, "link", "add", "lan0", "type", "veth", "peer", "name",
                     "lan1"],
                    ["ip", "-n", NETNS, "addr", "add", "192.168.77.1/24", "dev", "lan0"],
                    ["ip", "-n", NETNS, "link", "set", "lo", "up"],
                    ["ip", "-n", NETNS, "link", "set", "lan0", "up"],
                    ["ip", "-n", NETNS, "link", "set", "lan1", "up"]):
        subprocess.run(command, check=True)


def grab_and_read(work):
    shot = work / "shot.png"
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size",
                    "1280x800", "-i", DISPLAY, "-frames:v", "1", str(shot)], check=False)
    done = subprocess.run(["zbarimg", "--quiet", "--raw", str(shot)], capture_output=True,
                          text=True)
    return done.stdout.strip()


def one_round(work):
    home = work / "home"
    shutil.rmtree(home, ignore_errors=True)
    (home / ".config" / "Skiff").mkdir(parents=True)
    # Seen the introduction already: the working view and its QR code come first.
    (home / ".config" / "Skiff" / "Skiff.conf").write_text("[General]\nskipIntro023=true\n")
    env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY",)}
    env.update(HOME=str(home), DISPLAY=DISPLAY, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8",
               XDG_RUNTIME_DIR=str(work / "run"))
    (work / "run").mkdir(exist_ok=True, mode=0o700)
    out = open(work / "skiff.out", "w")
    begun = time.monotonic()
    skiff = subprocess.Popen(["ip", "netns", "exec", NETNS, "dbus-run-session", "--", str(SKIFF)],
                             env=env, stdout=out,
                             stderr=subprocess.STDOUT, start_new_session=True)
    mapped = drawn = None
    try:
        while time.monotonic() - begun < 20 and drawn is None:
            if mapped is None:
                seen = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skiff$"],
                                      env=env, capture_output=True, text=True).stdout.strip()
                if seen:
                    mapped = time.monotonic() - begun
            if mapped is not None:
                text = grab_and_read(work)
                if text.startswith("http://") and "?t=" in text:
                    drawn = time.monotonic() - begun
            time.sleep(0.02)
    finally:
        # dbus-run-session, the bus and Skiff share a process group of their own.
        os.killpg(skiff.pid, signal.SIGTERM)
        try:
            skiff.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(skiff.pid, signal.SIGKILL)
            skiff.wait()
        out.close()
        # The next round starts on an empty screen.
        for _ in range(250):
            if not subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skiff$"],
                                  env=env, capture_output=True, text=True).stdout.strip():
                break
            time.sleep(0.02)
    return mapped, drawn


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    if not SKIFF.exists():
        sys.exit(f"{SKIFF} is not built (cmake --build --preset release --target skiff)")
    if os.geteuid() != 0:
        sys.exit("needs root for its network namespace")
    work = Path(tempfile.mkdtemp(prefix="skiff-window-start-"))
    make_network()
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        results = [one_round(work) for _ in range(rounds)]
    finally:
        xvfb.terminate()
        xvfb.wait()
        subprocess.run(["ip", "netns", "del", NETNS])
        shutil.rmtree(work, ignore_errors=True)
    for i, (mapped, drawn) in enumerate(results, 1):
        print(f"round {i}: window mapped {mapped:.2f} s, QR code readable {drawn:.2f} s"
              if drawn else f"round {i}: window mapped {mapped}, QR code never read")
    good = [r for r in results if r[1] is not None]
    if not good:
        sys.exit("the QR code was never read")
    print(f"median: window mapped {statistics.median(r[0] for r in good):.2f} s, "
          f"QR code readable {statistics.median(r[1] for r in good):.2f} s "
          f"({len(good)} of {rounds} rounds)")


if __name__ == "__main__":
    main()
