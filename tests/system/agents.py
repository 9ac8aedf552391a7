#!/usr/bin/env python3
"""What runs inside each namespace of the test network: a role, a JSON job, a JSON report.

    agents.py ROLE JOB.json REPORT.json

Roles: uploader, downloader, outsider, guesser, slow, junk, names, full_disk. Each role checks
what it can see from its own side and writes counts and failures; suite.py checks the
computer's side. Every loop is bounded by a count and by the job's deadline.
"""
import hashlib
import json
import os
import random
import socket
import sys
import threading
import time
import urllib.parse
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from phone import Phone, Refused, zip_members  # noqa: E402

OUTSIDER_TEXT = "Chỉ chấp nhận thiết bị trong cùng mạng nội bộ."


def payload(seed, size):
    block = 64 << 20  # randbytes takes at most 256 MiB at a time
    if size <= block:
        return random.Random(seed).randbytes(size)
    return b"".join(random.Random(f"{seed}|{i}").randbytes(min(block, size - i))
                    for i in range(0, size, block))


class Report:
    def __init__(self, role, name):
        self.data = {"role": role, "name": name, "failures": [], "counts": {}}

    def fail(self, text):
        if len(self.data["failures"]) < 50:
            self.data["failures"].append(text)

    def count(self, key, n=1):
        self.data["counts"][key] = self.data["counts"].get(key, 0) + n


def raw_exchange(host, port, data, timeout=10.0, read_limit=1 << 20):
    """Sends raw bytes, returns what came back before the server closed (or b"" on error)."""
    try:
        with socket.create_connection((host, port), timeout=timeout) as s:
            s.sendall(data)
            try:
                s.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            chunks, total = [], 0
            while total < read_limit:
                try:
                    piece = s.recv(65536)
                except OSError:  # a reset after the answer keeps what arrived before it
                    break
                if not piece:
                    break
                chunks.append(piece)
                total += len(piece)
            return b"".join(chunks)
    except OSError:
        return b""


def status_of(reply):
    try:
        line = reply.split(b"\r\n", 1)[0].decode("latin-1")
        proto, code = line.split(" ")[:2]
        return int(code) if proto == "HTTP/1.1" else -1
    except (ValueError, IndexError):
        return -1


def body_of(reply):
    return reply.split(b"\r\n\r\n", 1)[1] if b"\r\n\r\n" in reply else b""


# ---- phones ------------------------------------------------------------------------------

def uploader(job, report):
    """Uploads the job's files round after round. With `stop_file` it keeps going until that
    file appears; with `claims` every file it is told is saved is also written there at once,
    so the claim survives whatever happens to this process afterwards."""
    phone = Phone(job["base"], job["code"], job["name"], log=lambda t: print(t, file=sys.stderr),
                  address_file=job.get("address_file"))
    phone.connect()
    sent = report.data["sent"] = []
    claims = open(job["claims"], "a") if job.get("claims") else None

    def claim(entry):
        if claims:
            claims.write(json.dumps(entry, ensure_ascii=False) + "\n")
            claims.flush()

    stop_file = job.get("stop_file")
    deadline = time.monotonic() + job["seconds"]

    def stopping():
        return time.monotonic() > deadline or bool(stop_file and os.path.exists(stop_file))

    for rnd in range(job["rounds"]):
        for index, item in enumerate(job["files"]):
            if stopping():
                break
            if item.get("first_round_only") and rnd:
                continue
            seed = f"{job['name']}|{rnd}|{index}"
            data = payload(seed, item["size"])
            name = item["name"].format(phone=job["name"], round=rnd)
            mtime_ms = 1600000000000 + random.Random(seed).randrange(10 ** 11)
            glitches = item.get("glitches", []) if rnd == 0 else []
            digest = hashlib.sha256(data).hexdigest()
            claim({"kind": "attempt", "name": name, "size": len(data), "sha256": digest})
            try:
                answer = phone.upload(data, name, mtime_ms, glitches=glitches)
            except Refused as error:
                report.fail(str(error))
                continue
            if answer.get("ok") is not True or answer.get("size") != len(data):
                report.fail(f"finish of {name!r} answered {answer}")
                continue
            if answer.get("sha256") != digest:
                report.fail(f"finish of {name!r} gave SHA-256 {answer.get('sha256')}")
            saved = {"kind": "saved", "name": name, "final": answer.get("name"), "size": len(data),
                     "sha256": digest, "mtime_ms": mtime_ms}
            sent.append(saved)
            claim(saved)
            report.count("files")
            report.count("bytes", len(data))
        if stopping():
            break
    report.data["phone"] = phone.stats


def downloader(job, report):
    phone = Phone(job["base"], job["code"], job["name"], log=lambda t: print(t, file=sys.stderr))
    listing = phone.connect()
    shared = job["shared"]  # name → {"path", "size", "sha256"}
    deadline = time.monotonic() + job["seconds"]
    rng = random.Random(job["name"])
    for rnd in range(job["rounds"]):
        if time.monotonic() > deadline:
            break
        if rnd:
            listing = phone.files()
        entries = listing.get("files", [])
        names = sorted(e.get("name") for e in entries)
        if names != sorted(shared):
            report.fail(f"file list shows {names}, shared {sorted(shared)}")
        report.count("lists")
        for entry in entries:
            known = shared.get(entry.get("name"))
            if not known:
                continue
            if entry.get("size") != known["size"]:
                report.fail(f"{entry['name']}: listed size {entry.get('size')}")
            with open(known["path"], "rb") as handle:
                original = handle.read()
            status, data, _ = phone.get(entry["id"])
            report.count("downloads")
            report.count("bytes", len(data))
            if status != 200 or data != original:
                report.fail(f"{entry['name']}: download {status}, {len(data)} bytes, wrong bytes")
            for _ in range(job["ranges"] if original else 0):
                first = rng.randrange(len(original))
                last = rng.choice([None, rng.randrange(first, len(original))])
                status, data, headers = phone.get(entry["id"], first, last)
                end = len(original) - 1 if last is None else last
                want = original[first:end + 1]
                report.count("ranges")
                report.count("bytes", len(data))
                expected_range = f"bytes {first}-{end}/{len(original)}"
                if status != 206 or data != want or headers.get("content-range") != expected_range:
                    report.fail(f"{entry['name']}: range {first}-{last} gave {status} "
                                f"{headers.get('content-range')} {len(data)} bytes")
        if job.get("zip") and time.monotonic() < deadline:
            status, data = phone.zip()
            report.count("zips")
            report.count("bytes", len(data))
            try:
                members = zip_members(data) if status == 200 else {}
            except Exception as error:  # a damaged archive is a finding, not a crash
                report.fail(f"ZIP unreadable ({status}, {len(data)} bytes): {error!r}")
                members = {}
            for name, known in shared.items():
                got = members.get(name)
                if got is None or hashlib.sha256(got).hexdigest() != known["sha256"]:
                    report.fail(f"ZIP member {name!r} missing or damaged (status {status})")
    report.data["phone"] = phone.stats


# ---- hostile hosts -------------------------------------------------------------------------

def outsider(job, report):
    """Every request, whatever it asks, gets the same 403 and its one sentence."""
    u = urllib.parse.urlsplit(job["base"])
    code = job["code"]
    # The refusal comes before any route or parse: a page, the API with the right code, a body,
    # garbage and nothing at all.
    heads = [
        "GET / HTTP/1.1\r\nHost: x\r\n\r\n",
        f"GET /api/files?t={code} HTTP/1.1\r\nHost: x\r\n\r\n",
        f"POST /api/up/chunk?t={code}&uid=outsider1&offset=0 HTTP/1.1\r\nHost: x\r\n"
        "X-CRC32: 00000000\r\nContent-Length: 1\r\n\r\nA",
        "\x00\x01garbage\r\n\r\n",
        "",
    ]
    deadline = time.monotonic() + job["seconds"]
    for _ in range(job["rounds"]):
        if time.monotonic() > deadline:
            break
        for head in heads:
            reply = raw_exchange(u.hostname, u.port, head.encode())
            report.count("requests")
            body = body_of(reply).decode("utf-8", "replace")
            if status_of(reply) != 403 or body != OUTSIDER_TEXT:
                report.fail(f"outsider {head[:40]!r} got {reply[:120]!r}")
        time.sleep(0.2)


def guesser(job, report):
    """Wrong codes, first all at once, then one by one: the host must be locked out after at
    most the allowed number of guesses, and stay locked even with the right code."""
    base, limit = job["base"], job["allowed_guesses"]
    rng = random.Random()
    wrong = lambda: "".join(rng.choice("0123456789") for _ in range(6))  # noqa: E731
    answers = []
    lock = threading.Lock()

    def guess():
        code = wrong()
        while code == job["code"]:
            code = wrong()
        status, data, _ = Phone(base, code, "guesser").request("GET", "/api/files", timeout=15)
        with lock:
            answers.append((status, data))

    threads = [threading.Thread(target=guess) for _ in range(job["burst"])]
    for t in threads:
        t.start()
    for t in threads:
        t.join(30)
    for _ in range(job["sequential"]):
        guess()
    statuses = [s for s, _ in answers]
    report.data["statuses"] = {str(s): statuses.count(s) for s in sorted(set(statuses))}
    report.count("wrong_codes", len(answers))
    forbidden = statuses.count(403)
    if forbidden > limit:
        report.fail(f"{forbidden} wrong codes were judged before the lock (at most {limit})")
    if statuses.count(429) < len(statuses) - limit:
        report.fail(f"only {statuses.count(429)} of {len(statuses)} guesses answered 429")
    if any(s not in (403, 429) for s in statuses):
        report.fail(f"unexpected answers {report.data['statuses']}")
    status, _, _ = Phone(base, job["code"], "guesser").request("GET", "/api/files", timeout=15)
    report.data["right_code_after_lock"] = status
    if status != 429:
        report.fail(f"the right code after the lock answered {status}, not 429")


def slow(job, report):
    """Connections that send part of a head and then nothing. Holds them until the job's
    time is up or the server closes them, and reports when each one was closed."""
    u = urllib.parse.urlsplit(job["base"])
    conns = []
    for i in range(job["connections"]):
        try:
            s = socket.create_connection((u.hostname, u.port), timeout=10)
            s.sendall(f"GET /api/files?t={job['code']}&n={i} HTTP/1.1\r\nHost: x\r\nX-Slow:".encode())
            s.setblocking(False)
            conns.append([s, time.monotonic(), None])
        except OSError as error:
            report.fail(f"slow connection {i} not opened: {error!r}")
    report.count("opened", len(conns))
    deadline = time.monotonic() + job["seconds"]
    while time.monotonic() < deadline and any(c[2] is None for c in conns):
        for c in conns:
            if c[2] is not None:
                continue
            try:
                if c[0].recv(4096) == b"":
                    c[2] = time.monotonic()
            except BlockingIOError:
                pass
            except OSError:
                c[2] = time.monotonic()
        time.sleep(0.25)
    report.data["held_until"] = time.time()
    # One host keeps at most its share of connections; the server closes the rest at once.
    share = job.get("per_host", 32)
    shed = [c for c in conns if c[2] is not None and c[2] - c[1] < 5]
    report.count("shed_at_once", len(shed))
    if len(conns) > share and len(shed) < len(conns) - share:
        report.fail(f"only {len(shed)} of {len(conns)} slow connections from one host were "
                    f"closed at once; it may hold {share}")
    conns = [c for c in conns if c not in shed]
    closed = [c[2] - c[1] for c in conns if c[2] is not None]
    report.count("closed_by_server", len(closed))
    if closed:
        report.data["closed_after"] = [round(min(closed), 1), round(max(closed), 1)]
    for c in conns:
        c[0].close()
    if job.get("expect_timeout"):
        lo, hi = job["expect_timeout"]
        if len(closed) != len(conns):
            report.fail(f"{len(conns) - len(closed)} of {len(conns)} slow connections still "
                        f"open after {job['seconds']} s")
        if closed and (min(closed) < lo or max(closed) > hi):
            report.fail(f"slow connections closed after {min(closed):.1f}–{max(closed):.1f} s, "
                        f"not within {lo}–{hi} s")
    elif closed and min(closed) < job.get("not_before", 0):
        report.fail(f"a slow connection was closed after {min(closed):.1f} s, before the "
                    "inactivity timeout")


def junk_heads(code):
    """One head of each family the request parser refuses (its own suite holds the full
    table): here they come over a lossy link while phones work, and must not disturb them."""
    t, big = code.encode(), b"A" * 40000
    chunk = b"POST /api/up/chunk?t=" + t + b"&uid=junk001&offset=0 HTTP/1.1\r\n"
    return [
        b"\r\n\r\n",
        b"GET / HTTP/9.9\r\n\r\n",
        b"GET /api/files?t=" + t + b" HTTP/1.1\r\nNoColonHere\r\n\r\n",
        b"GET /api/files?t=%zz%00%" + b" HTTP/1.1\r\n\r\n",
        b"GET " + big + b" HTTP/1.1\r\n\r\n",
        b"GET / HTTP/1.1\r\n" + b"X: y\r\n" * 5000 + b"\r\n",
        b"\x00\xff\xfe\x80GET / HTTP/1.1\r\n\r\n",
        b"GET / HTTP/1.1\nHost: bare-lf\n\n",
        b"GET /api/dl/%2e%2e%2f%2e%2e%2fetc%2fpasswd?t=" + t + b" HTTP/1.1\r\n\r\n",
        chunk + b"Content-Length: 99999999999999999999999\r\n\r\n",
        chunk + b"Content-Length: 10\r\nContent-Length: 2\r\n\r\nab",
        chunk + b"Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
        b"POST /api/up/init?t=" + t + b"&uid=junk001&name=%ff%fe%80&size=1e9&mtime=nan "
        b"HTTP/1.1\r\n\r\n",
        b"POST /api/up/cancel?t=" + t + b"&uid=../../x HTTP/1.1\r\n\r\n",
        b"GET /api/dl/0?t=" + t + b" HTTP/1.1\r\nRange: bytes=18446744073709551615-\r\n\r\n",
    ]


def junk(job, report):
    """Malformed heads, each on its own connection; answers must be well-formed and the
    server must keep serving this host and the phones."""
    u = urllib.parse.urlsplit(job["base"])
    phone = Phone(job["base"], job["code"], job["name"])
    phone.connect()
    heads = junk_heads(job["code"])
    deadline = time.monotonic() + job["seconds"]
    statuses = {}
    for rnd in range(job["rounds"]):
        if time.monotonic() > deadline:
            break
        for head in heads:
            reply = raw_exchange(u.hostname, u.port, head, timeout=15)
            status = status_of(reply)
            report.count("heads")
            report.count("bytes", len(head))
            statuses[str(status)] = statuses.get(str(status), 0) + 1
            if status == -1 and reply:
                report.fail(f"{head[:40]!r}: not an HTTP answer: {reply[:60]!r}")
            if status >= 500 and status != 507:
                report.fail(f"{head[:40]!r}: answered {status}")
        # The server still answers this very host.
        status, _, _ = phone.request("GET", "/api/files", timeout=15)
        if status not in (200, 429):
            report.fail(f"after round {rnd} of malformed heads /api/files answered {status}")
    report.data["statuses"] = statuses


# Names built to leave the receive folder, or to hurt whatever shows them; the name rules
# themselves are the server suite's, here the check is the folder after the whole run.
def hostile_names(tag):
    return [f"../../{tag}-up.txt", f"/tmp/{tag}-absolute.txt", f"..\\..\\{tag}-backslash.txt",
            "..", "", ".hidden-start.txt", "a\x00b.txt", "line\nbreak\r.txt", "colon:name.txt",
            "ü" * 200 + ".txt", "🙂" * 80 + ".png", "e\u0301" * 150, "same.txt", "same.txt",
            "SAME.txt", "dir/sub/same.txt"]


def names(job, report):
    phone = Phone(job["base"], job["code"], job["name"], log=lambda t: print(t, file=sys.stderr))
    phone.connect()
    sent = report.data["sent"] = []
    for index, name in enumerate(hostile_names(job["tag"])):
        data = payload(f"name|{index}", 100 + index)
        mtime_ms = 1500000000000 + index * 1000
        uid = f"hostile-name-{index:03d}"
        try:
            answer = phone.upload(data, name, mtime_ms, uid=uid)
        except Refused as error:
            report.fail(f"{name[:40]!r}: {error}")
            continue
        report.count("names")
        final = answer.get("name", "")
        sent.append({"name": name, "final": final, "size": len(data),
                     "sha256": hashlib.sha256(data).hexdigest(), "mtime_ms": mtime_ms})
    report.data["phone"] = phone.stats


def full_disk(job, report):
    """On a small file system of its own (seen through `folder`): files saved before the disk
    fills stay whole; an init it cannot hold is refused with "disk full", a chunk with "write
    failed"; once space is freed the same upload resumes and ends whole."""
    phone = Phone(job["base"], job["code"], job["name"], log=lambda t: print(t, file=sys.stderr))
    phone.connect()
    folder, mib = job["folder"], 1048576
    sent = report.data["sent"] = []

    def free():
        info = os.statvfs(folder)
        return info.f_bavail * info.f_frsize

    def save(name, data, mtime_ms, uid=None):
        answer = phone.upload(data, name, mtime_ms, uid=uid)
        if answer.get("ok") is not True:
            raise Refused(f"{name}: finish answered {answer}")
        sent.append({"name": name, "final": answer["name"], "size": len(data),
                     "sha256": hashlib.sha256(data).hexdigest(), "mtime_ms": mtime_ms})
        report.count("files")
        report.count("bytes", len(data))

    def all_intact(moment):
        for item in sent:
            path = os.path.join(folder, item["final"])
            try:
                with open(path, "rb") as handle:
                    whole = hashlib.sha256(handle.read()).hexdigest() == item["sha256"]
                timed = abs(os.stat(path).st_mtime_ns - item["mtime_ms"] * 1000000) <= 1000000
            except OSError:
                whole = timed = False
            if not whole or not timed:
                report.fail(f"{moment}: {item['final']!r} is missing, damaged or mistimed")
                report.count("damaged")

    def post(path, body=None):
        headers = {"X-CRC32": format(zlib.crc32(body), "08x")} if body else {}
        status, data, _ = phone.request("POST", path, body=body, headers=headers)
        return status, Phone.as_json(data)

    save("before-full.bin", payload("disk|before", 3 * mib + 5), 1700000000000)
    save("before-empty.txt", b"", 1700000001000)

    available = free()
    status, answer = post(f"/api/up/init?uid=too-big-001&name=too-big.bin&size={available + mib}"
                          "&mtime=1700000002000")
    report.count("refused_inits")
    if status != 507 or answer.get("error") != "disk full" \
            or abs(answer.get("free", -1) - available) > 8 * mib:
        report.fail(f"init of more than the {available} bytes free answered {status} {answer}")

    # A chunk the disk cannot hold once something else took the space.
    size, uid, name = 24 * mib + 321, "disk-filling-001", "filling.bin"
    data, mtime_ms = payload("disk|filling", size), 1700000003000
    status, answer = post(f"/api/up/init?uid={uid}&name={name}&size={size}&mtime={mtime_ms}")
    status, answer = post(f"/api/up/chunk?uid={uid}&offset=0", data[:4 * mib])
    if status != 200 or answer.get("received") != 4 * mib:
        report.fail(f"first chunk answered {status} {answer}")
    filler = os.path.join(folder, "filler.bin")
    with open(filler, "wb") as handle:
        os.posix_fallocate(handle.fileno(), 0, max(0, free() - 2 * mib))
    status, answer = post(f"/api/up/chunk?uid={uid}&offset={4 * mib}", data[4 * mib:8 * mib])
    report.count("refused_chunks")
    if status != 507 or answer != {"error": "write failed"}:
        report.fail(f"chunk on a full disk answered {status} {answer}")
    report.data["free_when_full"] = free()
    # A failed write cuts the part file back to the bytes the server holds.
    parts = [os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder)
             if n.endswith(".porter-part")]
    if parts != [4 * mib]:
        report.fail(f"part files after the refused chunk hold {parts}, not the {4 * mib} received")
    all_intact("with the disk full")
    # With no byte left even a 10-byte init is refused: 0 free is a figure, not "unknown".
    if free():
        with open(filler, "ab") as handle:
            os.posix_fallocate(handle.fileno(), os.path.getsize(filler), free())
    status, answer = post("/api/up/init?uid=tiny-000001&name=tiny.txt&size=10&mtime=1700000004000")
    report.count("refused_inits")
    if free() != 0 or status != 507 or answer.get("error") != "disk full":
        report.fail(f"init of 10 bytes with {free()} bytes free answered {status} {answer}")

    # Space freed: the same upload resumes where the server stopped and ends whole.
    os.unlink(filler)
    resumes = phone.stats["resumes"]
    save(name, data, mtime_ms, uid=uid)
    if phone.stats["resumes"] <= resumes:
        report.fail("the upload did not resume after space was freed")
    all_intact("after space was freed")
    left = [n for n in os.listdir(folder) if n.endswith(".porter-part")]
    if left:
        report.fail(f"part files left: {left}")
    report.data["phone"] = phone.stats


ROLES = {f.__name__: f for f in (uploader, downloader, outsider, guesser, slow, junk, names,
                                 full_disk)}


def main():
    role, job_path, report_path = sys.argv[1:4]
    with open(job_path) as handle:
        job = json.load(handle)
    report = Report(role, job.get("name", role))
    started = time.monotonic()
    try:
        ROLES[role](job, report)
    except Exception as error:  # the report must still be written
        report.fail(f"{role} stopped: {error!r}")
    report.data["seconds"] = round(time.monotonic() - started, 1)
    report.data["finished_at"] = time.time()
    with open(report_path, "w") as handle:
        json.dump(report.data, handle, ensure_ascii=False)


if __name__ == "__main__":
    main()
