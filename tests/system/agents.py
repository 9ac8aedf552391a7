#!/usr/bin/env python3
"""`agents.py ROLE JOB REPORT.json`: one host of the test network, checking its own side."""
import collections, concurrent.futures, contextlib, hashlib, http.client, json, os, random, shutil, socket, sys, time
import urllib.parse, zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from suite import MIB, check_folder, wait_until  # noqa: E402

USER_AGENT = "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 Chrome/126.0 Mobile Safari/537.36"
GIVE_UP = 600.0  # seconds of network errors before a step is given up


class Refused(Exception): pass  # an answer the page would show as a failure


class Reopened(Exception): pass  # the computer's program moved: the page is opened again there


crc = lambda data: format(zlib.crc32(data) & 0xFFFFFFFF, "08x")
sha = lambda data: hashlib.sha256(data).hexdigest()


def as_json(data):
    with contextlib.suppress(ValueError):
        if isinstance(value := json.loads(data), dict): return value
    return {}


class Phone:
    """The phone page's approval polling and upload retry rules."""

    def __init__(self, base, code, name="phone", address_file=None):
        self.base, self.code, self.name, self.address_file, self.fresh_start_due = base, code, name, address_file, False
        self.stats = collections.Counter()  # answers by status, and each way of recovering

    def _moved(self, patience=0.0):  # what a person reads off the screen after a restart; a 403 can beat it
        def shown_anew():
            with contextlib.suppress(TypeError, OSError, ValueError), open(self.address_file) as handle:
                if (shown := json.load(handle)) != {"base": self.base, "code": self.code}:
                    self.base, self.code = shown["base"], shown["code"]
                    self.stats["reopens"] += 1
                    return True
        return wait_until(shown_anew, patience, 0.2)

    def request(self, method, path, body=None, headers=None, timeout=90.0):
        """(status, body) on a fresh connection; a network error is status 0, as in the page."""
        url = f"{path}{'&' if '?' in path else '?'}t={urllib.parse.quote(self.code, safe='')}"
        conn = http.client.HTTPConnection(*where(self.base), timeout=timeout)
        try:
            conn.request(method, url, body=body, headers={"User-Agent": USER_AGENT, **(headers or {})})
            response = conn.getresponse()
            status, data = response.status, response.read()
        except (OSError, http.client.HTTPException):
            self.stats["network_errors"] += 1
            return 0, b""
        finally:
            conn.close()
        self.stats[status] += 1
        return status, data

    def post(self, path, body=None):
        status, data = self.request("POST", path, body, {"X-CRC32": crc(body)} if body else {})
        return status, as_json(data)

    def connect(self, limit=90.0):
        """Polls the list every 1.2 s while it answers 428 (or 503: the prompts are full)."""
        start, waiting = time.monotonic(), 0.0
        while waiting < limit and time.monotonic() - start < GIVE_UP:
            asked = time.monotonic()
            status, data = self.request("GET", "/api/files", timeout=7)
            if status == 200: return self
            if status in (0, 403) and self._moved(10.0 if status == 403 else 0.0): continue
            if status not in (0, 428, 503): raise Refused(f"{self.name}: /api/files answered {status} {data[:80]!r}")
            time.sleep(1.2)
            waiting += time.monotonic() - asked if status == 428 else 0
        raise Refused(f"{self.name}: not approved within {limit:.0f} s")

    def _until_answered(self, send):
        """Repeats `send` while the network fails, with the page's growing waits."""
        since, tries = time.monotonic(), 0
        while (answer := send())[0] == 0:
            tries += 1
            if self._moved(): raise Reopened()
            if time.monotonic() - since > GIVE_UP: raise Refused(f"{self.name}: network lost for too long")
            time.sleep(min(8.0, 0.7 * tries))
        return answer

    def _refused(self, step, name, status, body):
        if status == 403 and self._moved(10.0): raise Reopened()
        raise Refused(f"{self.name}: {step} of {name!r} answered {status} {body[:80]!r}")

    def upload(self, data, name, mtime_ms, uid=None):
        """The finish answer. A 404 or 409 on a chunk inits again and goes on from `received`;
        after a restart the file starts over at the new address."""
        uid = uid or "u" + hashlib.sha1(f"{name}|{len(data)}|{mtime_ms}".encode()).hexdigest()[:20]
        init = f"/api/up/init?uid={uid}&name={urllib.parse.quote(name, safe='')}&size={len(data)}&mtime={mtime_ms}"
        for _ in range(20):
            try:
                status, body = self._until_answered(lambda: self.request("POST", init))
                if status != 200: self._refused("init", name, status, body)
                answer = as_json(body)
                chunk, offset = int(answer.get("chunk") or 4194304), int(answer.get("received") or 0)
                self.stats["resumes"] += bool(offset)
                if self.fresh_start_due:  # a restarted program holds no upload
                    self.fresh_start_due = False
                    self.stats["fresh_starts" if offset == 0 else "resumed_after_restart"] += 1
                while offset < len(data):
                    piece, path = data[offset:offset + chunk], f"/api/up/chunk?uid={uid}&offset={offset}"
                    status, body = self._until_answered(lambda: self.request("POST", path, piece, {"X-CRC32": crc(piece)}))
                    if status == 404 or (status == 409 and isinstance(as_json(body).get("received"), int)): break
                    if status != 200: self._refused("chunk", name, status, body)
                    offset += len(piece)
                else:
                    status, body = self._until_answered(
                        lambda: self.request("POST", f"/api/up/finish?uid={uid}&sha256={sha(data)}"))
                    if status != 200: self._refused("finish", name, status, body)
                    return as_json(body)
            except Reopened:
                self.connect()
                self.fresh_start_due = True
        raise Refused(f"{self.name}: {name!r}: the computer moved or lost the upload too often")


def payload(seed, size):
    block = 64 << 20  # randbytes takes at most 256 MiB at a time
    return b"".join(random.Random(f"{seed}|{i}" if i else seed).randbytes(min(block, size - i))
                    for i in range(0, size, block))


def where(base):
    u = urllib.parse.urlsplit(base)
    return u.hostname, u.port


def raw_exchange(where, data, timeout=10.0):
    """(status, body) of the answer, or (-1, the raw bytes) when no HTTP/1.1 answer came."""
    reply = b""
    with contextlib.suppress(OSError), socket.create_connection(where, timeout=timeout) as s:
        s.sendall(data)
        s.shutdown(socket.SHUT_WR)
        while len(reply) < 1 << 20 and (piece := s.recv(65536)):
            reply += piece  # a reset after the answer keeps what arrived before it
    head, _, body = reply.partition(b"\r\n\r\n")
    words = head.split(b"\r\n", 1)[0].split(b" ")
    if len(words) > 1 and words[0] == b"HTTP/1.1" and words[1].isdigit(): return int(words[1]), body
    return -1, reply


def rounds(job):
    deadline = time.monotonic() + job["seconds"]
    return (r for r in range(job["rounds"]) if time.monotonic() < deadline)


def approved_phone(job):
    return Phone(job["base"], job["code"], job["name"], job.get("address_file")).connect()


def saved_entry(name, final, data, mtime_ms):
    return {"kind": "saved", "name": name, "final": final, "size": len(data), "sha256": sha(data), "mtime_ms": mtime_ms}


def uploader(job, report):
    """The job's files round after round; each try and each file told saved goes to `claims` at
    once, so it survives whatever happens to this process."""
    phone, sent, fail = approved_phone(job), [], report["failures"].append
    report["sent"] = sent
    claims = open(job.get("claims", os.devnull), "a")
    claim = lambda entry: print(json.dumps(entry, ensure_ascii=False), file=claims, flush=True)

    for rnd in rounds(job):
        for index, item in enumerate(job["files"]):
            if os.path.exists(job.get("stop_file", "")): break
            if item.get("first_round_only") and rnd: continue
            seed = f"{job['name']}|{rnd}|{index}"
            data, name = payload(seed, item["size"]), item["name"].format(phone=job["name"], round=rnd)
            mtime_ms = 1600000000000 + random.Random(seed).randrange(10 ** 11)
            claim({"kind": "attempt", "name": name, "size": len(data), "sha256": sha(data)})
            try:
                answer = phone.upload(data, name, mtime_ms)
            except Refused as error:
                fail(str(error))
                continue
            if answer.get("ok") is not True or answer.get("size") != len(data) or answer.get("sha256") != sha(data):
                fail(f"finish of {name!r} answered {answer}")
            else:
                sent.append(saved_entry(name, answer.get("name"), data, mtime_ms))
                claim(sent[-1])
    report["phone"] = phone.stats


def outsider(job, report):
    """Every request, whatever it asks, gets the same 403 and sentence, before any parse."""
    heads = ["GET / HTTP/1.1\r\nHost: x\r\n\r\n", f"GET /api/files?t={job['code']} HTTP/1.1\r\nHost: x\r\n\r\n",
             f"POST /api/up/chunk?t={job['code']}&uid=outsider1&offset=0 HTTP/1.1\r\nHost: x\r\n"
             "X-CRC32: 00000000\r\nContent-Length: 1\r\n\r\nA", "\x00\x01garbage\r\n\r\n", ""]
    for _ in rounds(job):
        for head in heads:
            answer = raw_exchange(where(job["base"]), head.encode())
            if answer != (403, "Chỉ chấp nhận thiết bị trong cùng mạng nội bộ.".encode()):
                report["failures"].append(f"outsider {head[:40]!r} got {answer!r:.120}")
        time.sleep(0.2)


def guesser(job, report):
    """Wrong codes all at once: no more judged than allowed, then locked out, even with the right code."""
    limit = job["allowed_guesses"]
    ask = lambda code: Phone(job["base"], code, "guesser").request("GET", "/api/files", timeout=15)[0]
    wrong = [c for c in (f"{n:06d}" for n in random.sample(range(10**6), job["burst"] + 1)) if c != job["code"]]
    with concurrent.futures.ThreadPoolExecutor(job["burst"]) as pool:
        statuses = list(pool.map(ask, wrong[:job["burst"]]))
    told = {s: statuses.count(s) for s in set(statuses)}
    if told.get(403, 0) > limit or told.get(429, 0) < len(statuses) - limit or set(told) - {403, 429}:
        report["failures"].append(f"wrong codes answered {told}, at most {limit} judged")
    if (status := ask(job["code"])) != 429: report["failures"].append(f"the right code after the lock answered {status}")


def slow(job, report):
    """Connections that send part of a head and then nothing, held until time is up or closed."""
    conns, fail = [], report["failures"].append
    for i in range(job["connections"]):
        s = socket.create_connection(where(job["base"]), timeout=10)
        s.sendall(f"GET /api/files?t={job['code']}&n={i} HTTP/1.1\r\nHost: x\r\nX-Slow:".encode())
        s.setblocking(False)
        conns.append([s, time.monotonic(), None])
    deadline = time.monotonic() + job["seconds"]
    while time.monotonic() < deadline and any(c[2] is None for c in conns):
        for c in (c for c in conns if c[2] is None):
            try:
                gone = c[0].recv(4096) == b""
            except OSError as error:
                gone = not isinstance(error, BlockingIOError)
            c[2] = time.monotonic() if gone else None
        time.sleep(0.25)
    report["held_until"] = time.time()
    # One host keeps at most 32 connections; the server closes the rest at once.
    shed = [c for c in conns if c[2] is not None and c[2] - c[1] < 5]
    if len(conns) > 32 and len(shed) < len(conns) - 32:
        fail(f"only {len(shed)} of {len(conns)} slow connections were closed at once")
    conns = [c for c in conns if c not in shed]
    closed = [c[2] - c[1] for c in conns if c[2] is not None]
    [c[0].close() for c in conns]
    lo, hi = job.get("expect_timeout", (job.get("not_before", 0), None))
    if hi and len(closed) != len(conns): fail(f"{len(conns) - len(closed)} of {len(conns)} slow connections still open")
    if closed and (min(closed) < lo or (hi and max(closed) > hi)):
        fail(f"slow connections closed after {min(closed):.1f}–{max(closed):.1f} s, wanted {lo}–{hi} s")


def junk(job, report):
    """Oversized, smuggling and traversing heads (the parser's own suite holds every family) over a
    lossy link: well-formed answers, and this host still served."""
    phone = approved_phone(job)
    t = job["code"].encode()
    chunk = b"POST /api/up/chunk?t=" + t + b"&uid=junk001&offset=0 HTTP/1.1\r\n"
    heads = [b"GET " + b"A" * 40000 + b" HTTP/1.1\r\n\r\n", b"GET / HTTP/1.1\r\n" + b"X: y\r\n" * 5000 + b"\r\n",
             b"\x00\xff\xfe\x80GET / HTTP/1.1\r\n\r\n", b"GET /api/dl/%2e%2e%2f%2e%2e%2fetc%2fpasswd?t=" + t + b" HTTP/1.1\r\n\r\n",
             chunk + b"Content-Length: 99999999999999999999999\r\n\r\n", chunk + b"Content-Length: 10\r\nContent-Length: 2\r\n\r\nab",
             chunk + b"Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
             b"POST /api/up/init?t=" + t + b"&uid=junk001&name=%ff%fe%80&size=1e9&mtime=nan HTTP/1.1\r\n\r\n",
             b"POST /api/up/cancel?t=" + t + b"&uid=../../x HTTP/1.1\r\n\r\n"]
    for rnd in rounds(job):
        for head in heads:
            status, body = raw_exchange(where(job["base"]), head, timeout=15)
            if (status == -1 and body) or (status >= 500 and status != 507):
                report["failures"].append(f"{head[:40]!r}: answered {status} {body[:60]!r}")
        if (status := phone.request("GET", "/api/files", timeout=15)[0]) not in (200, 429):
            report["failures"].append(f"after round {rnd} of malformed heads /api/files answered {status}")


def full_disk(job, report):
    """On a small file system: saved files stay whole, what does not fit is refused, and once
    space is freed the same upload resumes."""
    phone = approved_phone(job)
    folder, mib, sent, fail = job["folder"], MIB, [], report["failures"].append
    filler = os.path.join(folder, "..", "filler.bin")  # the same file system, outside the folder
    free = lambda: shutil.disk_usage(folder).free
    save = lambda name, data, mtime_ms, uid=None: sent.append(
        saved_entry(name, phone.upload(data, name, mtime_ms, uid=uid)["name"], data, mtime_ms))

    def fill(keep):
        with open(filler, "ab") as handle:
            os.posix_fallocate(handle.fileno(), os.path.getsize(filler), max(1, free() - keep))

    save("before-full.bin", payload("disk|before", 3 * mib + 5), 1700000000000)
    save("before-empty.txt", b"", 1700000001000)
    available = free()
    status, answer = phone.post(f"/api/up/init?uid=too-big-001&name=too-big.bin&size={available + mib}&mtime=1700000002000")
    if status != 507 or answer.get("error") != "disk full" or abs(answer.get("free", -1) - available) > 8 * mib:
        fail(f"init of more than the {available} bytes free answered {status} {answer}")

    # A chunk the disk cannot hold once something else took the space.
    size, uid, name, mtime_ms = 24 * mib + 321, "disk-filling-001", "filling.bin", 1700000003000
    data = payload("disk|filling", size)
    phone.post(f"/api/up/init?uid={uid}&name={name}&size={size}&mtime={mtime_ms}")
    status, answer = phone.post(f"/api/up/chunk?uid={uid}&offset=0", data[:4 * mib])
    if status != 200 or answer.get("received") != 4 * mib: fail(f"first chunk answered {status} {answer}")
    fill(2 * mib)
    status, answer = phone.post(f"/api/up/chunk?uid={uid}&offset={4 * mib}", data[4 * mib:8 * mib])
    if status != 507 or answer != {"error": "write failed"}: fail(f"chunk on a full disk answered {status} {answer}")
    # A failed write cuts the part file back to the bytes the server holds.
    if check_folder(folder, sent, report["failures"], "disk full", None, True) != 4 * mib:
        fail(f"the part file after the refused chunk holds other than the {4 * mib} received")
    # With no byte left even a 10-byte init is refused: 0 free is a figure, not "unknown".
    if free(): fill(0)
    status, answer = phone.post("/api/up/init?uid=tiny-000001&name=tiny.txt&size=10&mtime=1700000004000")
    if free() != 0 or status != 507 or answer.get("error") != "disk full":
        fail(f"init of 10 bytes with {free()} bytes free answered {status} {answer}")

    os.unlink(filler)
    resumes = phone.stats["resumes"]
    save(name, data, mtime_ms, uid=uid)
    if phone.stats["resumes"] <= resumes: fail("the upload did not resume after space was freed")
    check_folder(folder, sent, report["failures"], "space freed")


if __name__ == "__main__":
    role, job, report_path = sys.argv[1], json.loads(sys.argv[2]), sys.argv[3]
    report = {"failures": []}
    try:
        globals()[role](job, report)
    except Exception as error:  # the report must still be written
        report["failures"].append(f"{role} stopped: {error!r}")
    report["finished_at"] = time.time()
    open(report_path, "w").write(json.dumps(report, ensure_ascii=False))
