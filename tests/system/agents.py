#!/usr/bin/env python3
"""`agents.py ROLE JOB.json REPORT.json`: one host of the test network, checking its own side."""
import hashlib
import json
import os
import random
import socket
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from phone import Phone, Refused, as_json, zip_members  # noqa: E402
from suite import check_folder  # noqa: E402


def payload(seed, size):
    block = 64 << 20  # randbytes takes at most 256 MiB at a time
    return b"".join(random.Random(f"{seed}|{i}" if i else seed).randbytes(min(block, size - i))
                    for i in range(0, size, block))


def sha(data):
    return hashlib.sha256(data).hexdigest()


class Report(dict):
    def fail(self, text):
        self["failures"].append(text)


def address(job):
    u = urllib.parse.urlsplit(job["base"])
    return u.hostname, u.port


def raw_exchange(where, data, timeout=10.0):
    """(status, body) of the answer, or (-1, the raw bytes) when no HTTP/1.1 answer came."""
    reply = b""
    try:
        with socket.create_connection(where, timeout=timeout) as s:
            s.sendall(data)
            s.shutdown(socket.SHUT_WR)
            while len(reply) < 1 << 20 and (piece := s.recv(65536)):
                reply += piece
    except OSError:  # a reset after the answer keeps what arrived before it
        pass
    head, _, body = reply.partition(b"\r\n\r\n")
    words = head.split(b"\r\n", 1)[0].split(b" ")
    if len(words) > 1 and words[0] == b"HTTP/1.1" and words[1].isdigit():
        return int(words[1]), body
    return -1, reply


def rounds(job):
    deadline = time.monotonic() + job["seconds"]
    return (r for r in range(job["rounds"]) if time.monotonic() < deadline)


def approved_phone(job, **kw):
    phone = Phone(job["base"], job["code"], job["name"], **kw)
    return phone, phone.connect()


def saved_entry(name, final, data, mtime_ms):
    return {"kind": "saved", "name": name, "final": final, "size": len(data), "sha256": sha(data),
            "mtime_ms": mtime_ms}


def uploader(job, report):
    """The job's files round after round; each try and each file told saved is written to `claims`
    at once, so it survives whatever happens to this process."""
    phone, _ = approved_phone(job, address_file=job.get("address_file"))
    sent = report["sent"] = []
    claims = open(job["claims"], "a") if job.get("claims") else None
    stop_file = job.get("stop_file")

    def claim(entry):
        if claims:
            claims.write(json.dumps(entry, ensure_ascii=False) + "\n")
            claims.flush()

    for rnd in rounds(job):
        for index, item in enumerate(job["files"]):
            if stop_file and os.path.exists(stop_file):
                break
            if item.get("first_round_only") and rnd:
                continue
            seed = f"{job['name']}|{rnd}|{index}"
            data, name = payload(seed, item["size"]), item["name"].format(phone=job["name"], round=rnd)
            mtime_ms = 1600000000000 + random.Random(seed).randrange(10 ** 11)
            claim({"kind": "attempt", "name": name, "size": len(data), "sha256": sha(data)})
            try:
                answer = phone.upload(data, name, mtime_ms, glitches=item.get("glitches", []) if rnd == 0 else [])
            except Refused as error:
                report.fail(str(error))
                continue
            if answer.get("ok") is not True or answer.get("size") != len(data) \
                    or answer.get("sha256") != sha(data):
                report.fail(f"finish of {name!r} answered {answer}")
                continue
            sent.append(saved_entry(name, answer.get("name"), data, mtime_ms))
            claim(sent[-1])
    report["phone"] = phone.stats


def downloader(job, report):
    phone, listing = approved_phone(job)
    shared = job["shared"]  # name → {"path", "size", "sha256"}
    for rnd in rounds(job):
        entries = (as_json(phone.get("/api/files")[1]) if rnd else listing).get("files", [])
        if sorted(e.get("name") for e in entries) != sorted(shared):
            report.fail(f"file list shows {[e.get('name') for e in entries]}, shared {sorted(shared)}")
        for entry in entries:
            known = shared.get(entry.get("name"))
            if not known:
                continue
            if entry.get("size") != known["size"]:
                report.fail(f"{entry['name']}: listed size {entry.get('size')}")
            with open(known["path"], "rb") as handle:
                original = handle.read()
            status, data, _ = phone.get("/api/dl/" + urllib.parse.quote(entry["id"], safe=""))
            if status != 200 or data != original:
                report.fail(f"{entry['name']}: download {status}, {len(data)} bytes, wrong bytes")
        if job.get("zip"):
            status, data, _ = phone.get("/api/zip", timeout=180)
            try:
                members = zip_members(data) if status == 200 else {}
            except Exception as error:  # a damaged archive is a finding, not a crash
                report.fail(f"ZIP unreadable ({status}, {len(data)} bytes): {error!r}")
                members = {}
            for name, known in shared.items():
                if name not in members or sha(members[name]) != known["sha256"]:
                    report.fail(f"ZIP member {name!r} missing or damaged (status {status})")
    report["phone"] = phone.stats


def outsider(job, report):
    """Every request, whatever it asks, gets the same 403 and sentence, before any parse."""
    code = job["code"]
    heads = ["GET / HTTP/1.1\r\nHost: x\r\n\r\n", f"GET /api/files?t={code} HTTP/1.1\r\nHost: x\r\n\r\n",
             f"POST /api/up/chunk?t={code}&uid=outsider1&offset=0 HTTP/1.1\r\nHost: x\r\n"
             "X-CRC32: 00000000\r\nContent-Length: 1\r\n\r\nA", "\x00\x01garbage\r\n\r\n", ""]
    for _ in rounds(job):
        for head in heads:
            report["counts"]["requests"] = report["counts"].get("requests", 0) + 1
            answer = raw_exchange(address(job), head.encode())
            if answer != (403, "Chỉ chấp nhận thiết bị trong cùng mạng nội bộ.".encode()):
                report.fail(f"outsider {head[:40]!r} got {answer!r:.120}")
        time.sleep(0.2)


def guesser(job, report):
    """Wrong codes at once, then one by one: locked out in time, and still with the right code."""
    limit, statuses, rng = job["allowed_guesses"], [], random.Random()

    def ask(code):
        return Phone(job["base"], code, "guesser").request("GET", "/api/files", timeout=15)[0]

    def guess():
        code = job["code"]
        while code == job["code"]:
            code = "".join(rng.choice("0123456789") for _ in range(6))
        statuses.append(ask(code))  # list.append is atomic

    threads = [threading.Thread(target=guess) for _ in range(job["burst"])]
    for t in threads:
        t.start()
    for t in threads:
        t.join(30)
    for _ in range(job["sequential"]):
        guess()
    report["statuses"] = {str(s): statuses.count(s) for s in sorted(set(statuses))}
    if statuses.count(403) > limit or statuses.count(429) < len(statuses) - limit \
            or set(statuses) - {403, 429}:
        report.fail(f"wrong codes answered {report['statuses']}, at most {limit} judged")
    if (status := ask(job["code"])) != 429:
        report.fail(f"the right code after the lock answered {status}, not 429")


def slow(job, report):
    """Connections that send part of a head and then nothing, held until time is up or closed."""
    conns = []
    for i in range(job["connections"]):
        try:
            s = socket.create_connection(address(job), timeout=10)
            s.sendall(f"GET /api/files?t={job['code']}&n={i} HTTP/1.1\r\nHost: x\r\nX-Slow:".encode())
            s.setblocking(False)
            conns.append([s, time.monotonic(), None])
        except OSError as error:
            report.fail(f"slow connection {i} not opened: {error!r}")
    deadline = time.monotonic() + job["seconds"]
    while time.monotonic() < deadline and any(c[2] is None for c in conns):
        for c in (c for c in conns if c[2] is None):
            try:
                if c[0].recv(4096) == b"":
                    c[2] = time.monotonic()
            except BlockingIOError:
                pass
            except OSError:
                c[2] = time.monotonic()
        time.sleep(0.25)
    report["held_until"] = time.time()
    # One host keeps at most its share of connections; the server closes the rest at once.
    share = job.get("per_host", 32)
    shed = [c for c in conns if c[2] is not None and c[2] - c[1] < 5]
    if len(conns) > share and len(shed) < len(conns) - share:
        report.fail(f"only {len(shed)} of {len(conns)} slow connections were closed at once")
    conns = [c for c in conns if c not in shed]
    closed = [c[2] - c[1] for c in conns if c[2] is not None]
    for c in conns:
        c[0].close()
    lo, hi = job.get("expect_timeout", (job.get("not_before", 0), None))
    if hi and len(closed) != len(conns):
        report.fail(f"{len(conns) - len(closed)} of {len(conns)} slow connections still open")
    if closed and (min(closed) < lo or (hi and max(closed) > hi)):
        report.fail(f"slow connections closed after {min(closed):.1f}–{max(closed):.1f} s, "
                    f"wanted {lo}–{hi} s")


def junk_heads(code):
    """One head of each family the parser refuses (its own suite holds the full table)."""
    t = code.encode()
    chunk = b"POST /api/up/chunk?t=" + t + b"&uid=junk001&offset=0 HTTP/1.1\r\n"
    return [b"\r\n\r\n", b"GET / HTTP/9.9\r\n\r\n",
            b"GET /api/files?t=" + t + b" HTTP/1.1\r\nNoColonHere\r\n\r\n",
            b"GET /api/files?t=%zz%00% HTTP/1.1\r\n\r\n", b"GET " + b"A" * 40000 + b" HTTP/1.1\r\n\r\n",
            b"GET / HTTP/1.1\r\n" + b"X: y\r\n" * 5000 + b"\r\n", b"\x00\xff\xfe\x80GET / HTTP/1.1\r\n\r\n",
            b"GET / HTTP/1.1\nHost: bare-lf\n\n",
            b"GET /api/dl/%2e%2e%2f%2e%2e%2fetc%2fpasswd?t=" + t + b" HTTP/1.1\r\n\r\n",
            chunk + b"Content-Length: 99999999999999999999999\r\n\r\n",
            chunk + b"Content-Length: 10\r\nContent-Length: 2\r\n\r\nab",
            chunk + b"Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
            b"POST /api/up/init?t=" + t + b"&uid=junk001&name=%ff%fe%80&size=1e9&mtime=nan HTTP/1.1\r\n\r\n",
            b"POST /api/up/cancel?t=" + t + b"&uid=../../x HTTP/1.1\r\n\r\n",
            b"GET /api/dl/0?t=" + t + b" HTTP/1.1\r\nRange: bytes=18446744073709551615-\r\n\r\n"]


def junk(job, report):
    """Malformed heads over a lossy link: well-formed answers, and this host still served."""
    phone, _ = approved_phone(job)
    for rnd in rounds(job):
        for head in junk_heads(job["code"]):
            status, body = raw_exchange(address(job), head, timeout=15)
            if (status == -1 and body) or (status >= 500 and status != 507):
                report.fail(f"{head[:40]!r}: answered {status} {body[:60]!r}")
        status, _, _ = phone.request("GET", "/api/files", timeout=15)
        if status not in (200, 429):
            report.fail(f"after round {rnd} of malformed heads /api/files answered {status}")


def full_disk(job, report):
    """On a small file system: saved files stay whole, what does not fit is refused, and once
    space is freed the same upload resumes."""
    phone, _ = approved_phone(job)
    folder, mib, sent = job["folder"], 1048576, []

    def free():
        info = os.statvfs(folder)
        return info.f_bavail * info.f_frsize

    def save(name, data, mtime_ms, uid=None):
        sent.append(saved_entry(name, phone.upload(data, name, mtime_ms, uid=uid)["name"], data, mtime_ms))

    filler = os.path.join(folder, "..", "filler.bin")  # the same file system, outside the folder

    def fill(keep):
        with open(filler, "ab") as handle:
            os.posix_fallocate(handle.fileno(), os.path.getsize(filler), max(1, free() - keep))

    save("before-full.bin", payload("disk|before", 3 * mib + 5), 1700000000000)
    save("before-empty.txt", b"", 1700000001000)
    available = free()
    status, answer = phone.post(f"/api/up/init?uid=too-big-001&name=too-big.bin&size={available + mib}"
                                "&mtime=1700000002000")
    if status != 507 or answer.get("error") != "disk full" \
            or abs(answer.get("free", -1) - available) > 8 * mib:
        report.fail(f"init of more than the {available} bytes free answered {status} {answer}")

    # A chunk the disk cannot hold once something else took the space.
    size, uid, name, mtime_ms = 24 * mib + 321, "disk-filling-001", "filling.bin", 1700000003000
    data = payload("disk|filling", size)
    phone.post(f"/api/up/init?uid={uid}&name={name}&size={size}&mtime={mtime_ms}")
    status, answer = phone.post(f"/api/up/chunk?uid={uid}&offset=0", data[:4 * mib])
    if status != 200 or answer.get("received") != 4 * mib:
        report.fail(f"first chunk answered {status} {answer}")
    fill(2 * mib)
    status, answer = phone.post(f"/api/up/chunk?uid={uid}&offset={4 * mib}", data[4 * mib:8 * mib])
    if status != 507 or answer != {"error": "write failed"}:
        report.fail(f"chunk on a full disk answered {status} {answer}")
    # A failed write cuts the part file back to the bytes the server holds.
    if check_folder(folder, sent, report["failures"], "disk full", None, True)["part_bytes"] != 4 * mib:
        report.fail(f"the part file after the refused chunk holds other than the {4 * mib} received")
    # With no byte left even a 10-byte init is refused: 0 free is a figure, not "unknown".
    if free():
        fill(0)
    status, answer = phone.post("/api/up/init?uid=tiny-000001&name=tiny.txt&size=10&mtime=1700000004000")
    if free() != 0 or status != 507 or answer.get("error") != "disk full":
        report.fail(f"init of 10 bytes with {free()} bytes free answered {status} {answer}")

    os.unlink(filler)
    resumes = phone.stats["resumes"]
    save(name, data, mtime_ms, uid=uid)
    if phone.stats["resumes"] <= resumes:
        report.fail("the upload did not resume after space was freed")
    check_folder(folder, sent, report["failures"], "space freed")


if __name__ == "__main__":
    role, job_path, report_path = sys.argv[1:4]
    with open(job_path) as handle:
        job = json.load(handle)
    report = Report(failures=[], counts={})
    try:
        globals()[role](job, report)
    except Exception as error:  # the report must still be written
        report.fail(f"{role} stopped: {error!r}")
    report["finished_at"] = time.time()
    with open(report_path, "w") as handle:
        json.dump(report, handle, ensure_ascii=False)
