#!/usr/bin/env python3
"""Time from starting Skiff's window to its QR code on screen, as a person would see it.

Each round starts the release build on a virtual display (Xvfb), in a network namespace of its
own with one private address (so the window has a network to show), with a private session
bus and an empty home (the introduction skipped, as on every start after the first). FFmpeg's
x11grab records the screen 30 times a second from before the start, each frame stamped with the
wall clock; afterwards zbarimg reads the frames in order: the time is the first frame in which
the code reads as the address Skiff printed, within one frame (33 ms). The peer is the same
display's first frame that shows a window at all, so the figure splits into the toolkit's start
and Skiff's own work.

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


WIDTH, HEIGHT, RATE, SECONDS = 1280, 800, 30, 4


def record(work):
    """Grey frames into one raw file; showinfo prints each frame's wall-clock stamp in us."""
    return subprocess.Popen(
        ["ffmpeg", "-hide_banner", "-loglevel", "info", "-f", "x11grab", "-framerate", str(RATE),
         "-video_size", f"{WIDTH}x{HEIGHT}", "-t", str(SECONDS), "-i", DISPLAY, "-copyts",
         "-vf", "showinfo", "-fps_mode", "passthrough", "-pix_fmt", "gray", "-f", "rawvideo",
         "-y", str(work / "frames.raw")],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def reads_as_address(work, frame):
    shot = work / "frame.pgm"
    shot.write_bytes(f"P5 {WIDTH} {HEIGHT} 255\n".encode() + frame)
    text = subprocess.run(["zbarimg", "--quiet", "--raw", str(shot)], capture_output=True,
                          text=True).stdout.strip()
    return text.startswith("http://") and "?t=" in text


def first_frames(work, stamps, begun):
    """Seconds from the start to the first frame unlike the empty screen, and to the first
    in which the code reads."""
    size = WIDTH * HEIGHT
    painted = drawn = None
    with open(work / "frames.raw", "rb") as frames:
        empty = frames.read(size)
        for stamp in stamps[1:]:
            frame = frames.read(size)
            if len(frame) < size:
                break
            if painted is None and frame != empty:
                painted = stamp - begun
            if painted is not None and reads_as_address(work, frame):
                drawn = stamp - begun
                break
    return painted, drawn


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
    recorder = record(work)
    time.sleep(0.5)  # the recorder's own start, and a frame of the empty screen
    out = open(work / "skiff.out", "w")
    begun = time.time()
    skiff = subprocess.Popen(["ip", "netns", "exec", NETNS, "dbus-run-session", "--", str(SKIFF)],
                             env=env, stdout=out,
                             stderr=subprocess.STDOUT, start_new_session=True)
    mapped = None
    try:
        while mapped is None and time.time() - begun < SECONDS:
            if subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skiff$"],
                              env=env, capture_output=True, text=True).stdout.strip():
                mapped = time.time() - begun
            time.sleep(0.02)
        log = recorder.communicate(timeout=SECONDS + 10)[1]
    finally:
        # dbus-run-session, the bus and Skiff share a process group of their own.
        os.killpg(skiff.pid, signal.SIGTERM)
        try:
            skiff.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(skiff.pid, signal.SIGKILL)
            skiff.wait()
        out.close()
    stamps = [int(us) / 1e6 for us in re.findall(r"\] n: *\d+ pts: *(\d+)", log)]
    painted, drawn = first_frames(work, stamps, begun)
    (work / "frames.raw").unlink()
    # The next round starts on an empty screen.
    for _ in range(250):
        if not subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skiff$"],
                              env=env, capture_output=True, text=True).stdout.strip():
            break
        time.sleep(0.02)
    return mapped, painted, drawn


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    if not SKIFF.exists():
        sys.exit(f"{SKIFF} is not built (cmake --build --preset release --target skiff)")
    if os.geteuid() != 0:
        sys.exit("needs root for its network namespace")
    work = Path(tempfile.mkdtemp(prefix="skiff-window-start-", dir="/dev/shm"))
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
    def seconds(value):
        return "never" if value is None else f"{value:.2f} s"

    for i, (mapped, painted, drawn) in enumerate(results, 1):
        print(f"round {i}: window mapped {seconds(mapped)}, first painted {seconds(painted)}, "
              f"QR code readable {seconds(drawn)}")
    good = [r for r in results if None not in r]
    if not good:
        sys.exit("the QR code was never read")
    print(f"median: window mapped {statistics.median(r[0] for r in good):.2f} s, "
          f"first painted {statistics.median(r[1] for r in good):.2f} s, "
          f"QR code readable {statistics.median(r[2] for r in good):.2f} s "
          f"({len(good)} of {rounds} rounds)")

if __name__ == "__main__":
    main()
