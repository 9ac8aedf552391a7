#!/usr/bin/env python3
"""Time from starting Skiff's window to its QR code on screen, as a person would see it.

Each round starts the release build on a virtual display (Xvfb), in a network namespace of its
own with one private address (so the window has a network to show), with a private session bus
(warm rounds: started with its desktop portal before the clock, as a desktop session has them;
cold rounds: started with Skiff) and an empty home (the introduction skipped, as on every start
after the first). FFmpeg's x11grab records the screen 30 times a second from before the start,
each frame stamped with the wall clock; afterwards zbarimg reads the frames in order: the time is
the first frame in which the code reads as the address Skiff printed, within one frame (33 ms).
The peer is the same display's first frame that shows a window at all, so the figure splits into
the toolkit's start and Skiff's own work.

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
WIDTH, HEIGHT, RATE, SECONDS = 1280, 800, 30, 4


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



def record(work):
    """Grey frames into one raw file; showinfo prints each frame's wall-clock stamp in us."""
    return subprocess.Popen(
        ["ffmpeg", "-hide_banner", "-loglevel", "info", "-f", "x11grab", "-framerate", str(RATE),
         "-video_size", f"{WIDTH}x{HEIGHT}", "-t", str(SECONDS), "-i", DISPLAY, "-copyts",
         "-vf", "showinfo", "-fps_mode", "passthrough", "-pix_fmt", "gray", "-f", "rawvideo",
         "-y", str(work / "frames.raw")],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def window_shown(env):
    return bool(subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skiff$"],
                               env=env, capture_output=True, text=True).stdout.strip())


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


def start_session(env):
    """A session bus in the namespace with the desktop portal already answering, as on a desktop
    where the session started long before Skiff; its address goes into `env`."""
    address, _ = subprocess.run(
        ["ip", "netns", "exec", NETNS, "dbus-daemon", "--session", "--fork", "--print-address=1",
         "--print-pid=1"], env=env, capture_output=True, text=True, check=True).stdout.split()
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    subprocess.run(["ip", "netns", "exec", NETNS, "gdbus", "call", "--session", "--dest",
                    "org.freedesktop.portal.Desktop", "--object-path",
                    "/org/freedesktop/portal/desktop", "--method",
                    "org.freedesktop.portal.Settings.Read", "org.freedesktop.appearance",
                    "color-scheme"], env=env, capture_output=True, timeout=30)


def end_session():
    """Ends every process left in the namespace: the bus, the portals, a stray Skiff."""
    pids = subprocess.run(["ip", "netns", "pids", NETNS], capture_output=True,
                          text=True).stdout.split()
    for pid in pids:
        try:
            os.kill(int(pid), signal.SIGKILL)
        except ProcessLookupError:
            pass


def one_round(work, cold):
    home = work / "home"
    shutil.rmtree(home, ignore_errors=True)
    (home / ".config" / "Skiff").mkdir(parents=True)
    # Seen the introduction already: the working view and its QR code come first.
    (home / ".config" / "Skiff" / "Skiff.conf").write_text("[General]\nskipIntro023=true\n")
    env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY",)}
    env.update(HOME=str(home), DISPLAY=DISPLAY, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8",
               XDG_RUNTIME_DIR=str(work / "run"))
    (work / "run").mkdir(exist_ok=True, mode=0o700)
    command = [str(SKIFF)]
    if cold:
        command = ["dbus-run-session", "--"] + command
    else:
        start_session(env)
    recorder = record(work)
    time.sleep(0.5)  # the recorder's own start, and a frame of the empty screen
    out = open(work / "skiff.out", "w")
    begun = time.time()
    skiff = subprocess.Popen(["ip", "netns", "exec", NETNS] + command, env=env, stdout=out,
                             stderr=subprocess.STDOUT, start_new_session=True)
    mapped = None
    try:
        while mapped is None and time.time() - begun < SECONDS:
            if window_shown(env):
                mapped = time.time() - begun
            time.sleep(0.02)
        log = recorder.communicate(timeout=SECONDS + 10)[1]
    finally:
        # Skiff (with dbus-run-session when cold) has a process group of its own.
        os.killpg(skiff.pid, signal.SIGTERM)
        try:
            skiff.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(skiff.pid, signal.SIGKILL)
            skiff.wait()
        out.close()
        end_session()
    stamps = [int(us) / 1e6 for us in re.findall(r"\] n: *\d+ pts: *(\d+)", log)]
    painted, drawn = first_frames(work, stamps, begun)
    (work / "frames.raw").unlink()
    # The next round starts on an empty screen.
    for _ in range(250):
        if not window_shown(env):
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
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten",
                             "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        results = {kind: [one_round(work, kind == "cold") for _ in range(rounds)]
                   for kind in ("warm", "cold")}
    finally:
        xvfb.terminate()
        xvfb.wait()
        subprocess.run(["ip", "netns", "del", NETNS])
        shutil.rmtree(work, ignore_errors=True)
    def seconds(value):
        return "never" if value is None else f"{value:.2f} s"

    for kind, rows in results.items():
        print("warm: the session bus and its desktop portal already running" if kind == "warm"
              else "cold: the session bus and the desktop portal start with Skiff")
        for i, (mapped, painted, drawn) in enumerate(rows, 1):
            print(f"  round {i}: window mapped {seconds(mapped)}, first painted "
                  f"{seconds(painted)}, QR code readable {seconds(drawn)}")
        good = [r for r in rows if None not in r]
        if not good:
            sys.exit("the QR code was never read")
        print(f"  median: window mapped {statistics.median(r[0] for r in good):.2f} s, "
              f"first painted {statistics.median(r[1] for r in good):.2f} s, "
              f"QR code readable {statistics.median(r[2] for r in good):.2f} s "
              f"({len(good)} of {rounds} rounds)")

if __name__ == "__main__":
    main()
