#!/usr/bin/env python3
"""What hostile peers on the network cost a running Skiff (release build, terminal front end).

One Skiff under `prlimit --nofile=4096`, sharing a 691-byte progressive JPEG whose header
claims 30,000 x 30,000 pixels and a 7 KB PDF of nested forms. Two loopback hosts are admitted
(127.0.0.1 and 127.0.0.2, approved on the terminal as a person would); then, in turn:

  slow bodies  48 chunk requests (24 per admitted host) announcing 4 MiB each and sending one
               byte: memory they hold, how many are told to come back later, when they are dropped;
  idle flood   4,300 connections from 127.0.0.3 that send nothing: how many are closed at once,
               descriptors in use, and the time an admitted phone's request then takes;
  bombs        the phone asks for the JPEG's thumbnail and the PDF's is being made: Skiff's peak
               memory and the decoder child's, against `vipsthumbnail` drawing the same JPEG in
               one process (the peer: what decoding in the server's own process costs);
  stop         Ctrl-C while the PDF decoder runs: time to exit, and whether a decoder is left.

    bench/hostile_peers.py            (SKIFF=path/to/skiff to take another binary)
"""

import json
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIFF = Path(os.environ.get("SKIFF", ROOT / "build" / "release" / "skiff"))
PROMPT = "Kiểm tra số này giống số trên điện thoại: "
PHONE_AGENT = "Mozilla/5.0 (Linux; Android 14; Pixel 8)"
NOFILE = 4096


def bomb_jpeg(path):
    subprocess.run(["vips", "black", f"{path}[interlace]", "16", "16", "--bands", "3"], check=True)
    data = bytearray(path.read_bytes())
    at = data.find(b"\xff\xc2")  # progressive frame header: marker, length, precision, h, w
    data[at + 5:at + 9] = (30000).to_bytes(2, "big") * 2
    path.write_bytes(bytes(data))


def nested_forms_pdf(path, depth=24):
    """Each form draws the next four times: the last one is drawn 4^depth times."""
    def stream(dictionary, content):
        return f"<< {dictionary} /Length {len(content)} >>\nstream\n{content}endstream"
    objects = ["<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
               "/Resources << /XObject << /F 5 0 R >> >> >>", stream("", "/F Do\n")]
    draws = "".join(f"q 0.5 0 0 0.5 {at} cm /F Do Q\n" for at in ("0 0", "100 0", "0 100", "100 100"))
    for _ in range(depth):
        objects.append(stream("/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Resources "
                              f"<< /XObject << /F {len(objects) + 2} 0 R >> >>", draws))
    objects.append(stream("/Type /XObject /Subtype /Form /BBox [0 0 200 200]",
                          "1 0 0 rg 0 0 200 200 re f\n"))
    pdf, offsets = "%PDF-1.4\n", []
    for number, body in enumerate(objects, 1):
        offsets.append(len(pdf))
        pdf += f"{number} 0 obj\n{body}\nendobj\n"
    xref = len(pdf)
    pdf += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n"
    pdf += "".join(f"{offset:010d} 00000 n \n" for offset in offsets)
    pdf += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n"
    path.write_text(pdf)


def status_kib(pid, field):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    return 0


def children(pid, name):
    found = []
    for entry in Path("/proc").iterdir():
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        fields = stat.rsplit(")", 1)[1].split()
        if fields[1] == str(pid) and f"({name})" in stat:
            found.append(int(entry.name))
    return found


def request(port, path, source="127.0.0.1", timeout=10):
    """One HTTP/1.1 request on its own connection; (status, body, seconds)."""
    begun = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                  source_address=(source, 0)) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: x\r\nUser-Agent: {PHONE_AGENT}\r\n"
                  "Connection: close\r\n\r\n".encode())
        answer = b""
        while chunk := s.recv(65536):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    status = int(head.split()[1]) if head else 0
    return status, body, time.monotonic() - begun


class Skiff:
    def __init__(self, shares):
        self.home = Path(tempfile.mkdtemp(prefix="skiff-hostile-"))
        self.out_path = self.home / "skiff.out"
        env = {k: v for k, v in os.environ.items() if k not in ("XDG_CONFIG_HOME", "DISPLAY",
                                                                  "WAYLAND_DISPLAY")}
        env.update(HOME=str(self.home), LANG="C.UTF-8")
        with open(self.out_path, "wb") as out:
            # prlimit execs skiff: the id is skiff's own.
            self.process = subprocess.Popen(
                ["prlimit", f"--nofile={NOFILE}:{NOFILE}", "--", str(SKIFF), "--terminal"] +
                [str(s) for s in shares], env=env, stdin=subprocess.PIPE, stdout=out,
                stderr=subprocess.DEVNULL)
        self.answered = 0
        self.stopping = threading.Event()
        threading.Thread(target=self.approve_loop, daemon=True).start()
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            m = re.search(r"http://[^/:]+:(\d+)/\?t=(\d{6})", self.text())
            if m:
                self.port, self.code = int(m.group(1)), m.group(2)
                return
            time.sleep(0.1)
        printed = self.text()[-2000:]
        self.close()
        raise RuntimeError("skiff printed no address:\n" + printed)

    def text(self):
        return self.out_path.read_bytes().decode("utf-8", "replace")

    def approve_loop(self):
        while not self.stopping.wait(0.1):
            while self.answered < self.text().count(PROMPT) and self.process.poll() is None:
                self.process.stdin.write(b"c\n")
                self.process.stdin.flush()
                self.answered += 1

    def admit(self, source):
        for _ in range(100):
            status, body, _ = request(self.port, f"/api/files?t={self.code}", source)
            if status == 200:
                return json.loads(body)
            time.sleep(0.1)
        raise RuntimeError(f"{source} was never admitted")

    def close(self):
        self.stopping.set()
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)


def slow_bodies(skiff):
    pid = skiff.process.pid
    before = status_kib(pid, "VmRSS")
    sockets, refused = [], 0
    for i in range(48):
        source = "127.0.0.1" if i % 2 == 0 else "127.0.0.2"
        s = socket.create_connection(("127.0.0.1", skiff.port), source_address=(source, 0))
        s.sendall(f"POST /api/up/chunk?t={skiff.code}&uid=slow{i:02d}&offset=0 HTTP/1.1\r\n"
                  f"User-Agent: {PHONE_AGENT}\r\nContent-Length: {4 << 20}\r\n"
                  "X-CRC32: 00000000\r\n\r\nx".encode())
        sockets.append(s)
    time.sleep(2)
    held = status_kib(pid, "VmRSS") - before
    begun, open_ones = time.monotonic(), list(sockets)
    for s in sockets:
        s.setblocking(False)
    while open_ones and time.monotonic() - begun < 90:
        still = []
        for s in open_ones:
            try:
                data = s.recv(65536)
                if data.startswith(b"HTTP/1.1 503"):
                    refused += 1
                if data:
                    still.append(s)  # read the rest of the answer, then the close
                else:
                    s.close()
            except BlockingIOError:
                still.append(s)
            except OSError:
                s.close()
        open_ones = still
        time.sleep(0.2)
    dropped_after = time.monotonic() - begun + 2
    for s in open_ones:
        s.close()
    return {"connections": 48, "announced_mib": 48 * 4, "rss_growth_mib": round(held / 1024, 1),
            "told_busy_503": refused, "all_closed_after_s": round(dropped_after, 1),
            "left_open": len(open_ones)}


def idle_flood(skiff):
    pid = skiff.process.pid
    sockets, refused_connect = [], 0
    for _ in range(4300):
        try:
            sockets.append(socket.create_connection(("127.0.0.1", skiff.port), timeout=5,
                                                    source_address=("127.0.0.3", 0)))
        except OSError:
            refused_connect += 1
    time.sleep(2)
    closed = 0
    for s in sockets:
        s.setblocking(False)
        try:
            closed += s.recv(1) == b""
        except BlockingIOError:
            pass
        except OSError:
            closed += 1
    descriptors = len(os.listdir(f"/proc/{pid}/fd"))
    status, _, seconds = request(skiff.port, f"/api/files?t={skiff.code}")
    for s in sockets:
        s.close()
    return {"connections": 4300, "closed_at_once": closed, "connect_failed": refused_connect,
            "skiff_descriptors": descriptors, "descriptor_limit": NOFILE,
            "phone_status": status, "phone_answer_ms": round(seconds * 1000, 1)}


def bombs(skiff, files, bomb):
    pid = skiff.process.pid
    ids = {f["name"]: f["id"] for f in files["files"]}
    status, _, seconds = request(skiff.port, f"/api/thumb/{ids['bomb.jpg']}?t={skiff.code}",
                                 timeout=60)
    # The PDF's thumbnail is asked for too, and left to run: its decoder is what Ctrl-C meets.
    threading.Thread(target=lambda: request(skiff.port,
                                            f"/api/thumb/{ids['forms.pdf']}?t={skiff.code}",
                                            timeout=60), daemon=True).start()
    decoder_peak, decoders, deadline = 0, [], time.monotonic() + 10
    while time.monotonic() < deadline and not decoders:
        decoders = children(pid, "skiff-decode")
        time.sleep(0.05)
    for _ in range(20):
        for child in decoders:
            try:
                decoder_peak = max(decoder_peak, status_kib(child, "VmHWM"))
            except OSError:
                pass
        time.sleep(0.05)
    peer = subprocess.run(["/usr/bin/time", "-f", "%M %e", "vipsthumbnail", str(bomb), "-s",
                           "256", "-o", str(bomb.parent / "peer-thumb.jpg")],
                          capture_output=True, text=True)
    peer_kib, peer_s = peer.stderr.strip().splitlines()[-1].split()
    return {"bomb_thumb_status": status, "bomb_answer_s": round(seconds, 2),
            "skiff_peak_rss_mib": round(status_kib(pid, "VmHWM") / 1024, 1),
            "pdf_decoder_running": bool(decoders),
            "decoder_peak_rss_mib": round(decoder_peak / 1024, 1),
            "peer_vipsthumbnail_peak_rss_mib": round(int(peer_kib) / 1024, 1),
            "peer_vipsthumbnail_s": float(peer_s)}, decoders


def stop(skiff, decoders):
    begun = time.monotonic()
    skiff.process.send_signal(signal.SIGINT)
    code = skiff.process.wait(30)
    seconds = time.monotonic() - begun
    time.sleep(0.2)
    left = [d for d in decoders if Path(f"/proc/{d}").exists()
            and Path(f"/proc/{d}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"]
    return {"exit": code, "stop_s": round(seconds, 2), "decoders_left": len(left)}


def main():
    if not SKIFF.exists():
        sys.exit(f"{SKIFF} is not built (cmake --build --preset release --target skiff)")
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(8192, hard), hard))
    work = Path(tempfile.mkdtemp(prefix="skiff-hostile-files-"))
    try:
        bomb, pdf = work / "bomb.jpg", work / "forms.pdf"
        bomb_jpeg(bomb)
        nested_forms_pdf(pdf)
        skiff = Skiff([bomb, pdf])
        try:
            files = skiff.admit("127.0.0.1")
            skiff.admit("127.0.0.2")
            report = {"binary": str(SKIFF), "bomb_bytes": bomb.stat().st_size,
                      "pdf_bytes": pdf.stat().st_size}
            report["slow_bodies"] = slow_bodies(skiff)
            report["idle_flood"] = idle_flood(skiff)
            report["bombs"], decoders = bombs(skiff, files, bomb)
            report["stop"] = stop(skiff, decoders)
        finally:
            skiff.close()
        print(json.dumps(report, indent=1, ensure_ascii=False))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
