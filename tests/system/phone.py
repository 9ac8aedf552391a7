"""A phone as the page behaves: approval, uploads with the page's retry rules, downloads."""
import collections
import hashlib
import http.client
import io
import json
import socket
import time
import urllib.parse
import zipfile
import zlib

USER_AGENT = ("Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 "
              "(KHTML, like Gecko) Chrome/126.0 Mobile Safari/537.36")
GIVE_UP = 600.0  # seconds of network errors before a step is given up


class Refused(Exception):
    """An answer the page would show as a failure."""


class Reopened(Exception):
    """The computer's program moved to a new address; the page is opened again."""


def crc(data):
    return format(zlib.crc32(data) & 0xFFFFFFFF, "08x")


def as_json(data):
    try:
        value = json.loads(data)
        return value if isinstance(value, dict) else {}
    except ValueError:
        return {}


class Phone:
    def __init__(self, base, code, name="phone", address_file=None):
        self.name, self.address_file, self.fresh_start_due = name, address_file, False
        self._aim(base, code)
        self.stats = collections.Counter()  # answers by status, and each way of recovering

    def _aim(self, base, code):
        u = urllib.parse.urlsplit(base)
        self.base, self.host, self.port, self.code = base, u.hostname, u.port, code

    def _reopen_if_moved(self):
        """What a person reads off the computer's screen (its QR code) after a restart."""
        try:
            with open(self.address_file) as handle:
                shown = json.load(handle)
        except (TypeError, OSError, ValueError):
            return
        if (shown["base"], shown["code"]) != (self.base, self.code):
            self._aim(shown["base"], shown["code"])
            self.stats["reopens"] += 1
            raise Reopened()

    def request(self, method, path, body=None, headers=None, timeout=90.0):
        """One request on a fresh connection; a network error is status 0, as in the page."""
        url = f"{path}{'&' if '?' in path else '?'}t={urllib.parse.quote(self.code, safe='')}"
        conn = http.client.HTTPConnection(self.host, self.port, timeout=timeout)
        try:
            conn.request(method, url, body=body, headers={"User-Agent": USER_AGENT, **(headers or {})})
            response = conn.getresponse()
            data, status = response.read(), response.status
            rheaders = {k.lower(): v for k, v in response.getheaders()}
        except (OSError, http.client.HTTPException):
            self.stats["network_errors"] += 1
            return 0, b"", {}
        finally:
            conn.close()
        self.stats[status] += 1
        return status, data, rheaders

    def post(self, path, body=None):
        status, data, _ = self.request("POST", path, body, {"X-CRC32": crc(body)} if body else {})
        return status, as_json(data)

    def connect(self, limit=90.0):
        """Polls the list every 1.2 s while it answers 428 (or 503: the prompts are full)."""
        start, waiting = time.monotonic(), 0.0
        while waiting < limit and time.monotonic() - start < GIVE_UP:
            asked = time.monotonic()
            status, data, _ = self.request("GET", "/api/files", timeout=7)
            if status == 200:
                return as_json(data)
            if status in (0, 403):
                try:
                    self._reopen_if_moved()
                except Reopened:
                    continue
            if status not in (0, 428, 503):
                raise Refused(f"{self.name}: /api/files answered {status} {data[:80]!r}")
            time.sleep(1.2)
            waiting += time.monotonic() - asked if status == 428 else 0
        raise Refused(f"{self.name}: not approved within {limit:.0f} s")

    def _until_answered(self, send):
        """Repeats `send` while the network fails, with the page's growing waits."""
        since, tries = time.monotonic(), 0
        while True:
            status, body = send()
            if status != 0:
                return status, body
            tries += 1
            self._reopen_if_moved()
            if time.monotonic() - since > GIVE_UP:
                raise Refused(f"{self.name}: network lost for too long")
            time.sleep(min(8.0, 0.7 * tries))

    def _refused(self, step, name, status, body):
        if status == 403:
            self._reopen_if_moved()
        raise Refused(f"{self.name}: {step} of {name!r} answered {status} {body[:80]!r}")

    def upload(self, data, name, mtime_ms, uid=None, glitches=()):
        """The finish answer; after a restart the file starts over at the new address."""
        for _ in range(20):
            try:
                return self._upload(data, name, mtime_ms, uid, set(glitches))
            except Reopened:
                self.connect()
                self.fresh_start_due = True
        raise Refused(f"{self.name}: {name!r}: the computer moved too often")

    def _upload(self, data, name, mtime_ms, uid, glitches, again=False):
        """glitches, each once: "bad-crc", "cut" (half a chunk), "reload" (init again), "bad-sha"."""
        uid = uid or "u" + hashlib.sha1(f"{name}|{len(data)}|{mtime_ms}".encode()).hexdigest()[:20]
        init = (f"/api/up/init?uid={uid}&name={urllib.parse.quote(name, safe='')}"
                f"&size={len(data)}&mtime={mtime_ms}")
        status, body = self._until_answered(lambda: self.request("POST", init)[:2])
        if status != 200:
            self._refused("init", name, status, body)
        answer = as_json(body)
        chunk, offset = int(answer.get("chunk") or 4194304), int(answer.get("received") or 0)
        self.stats["resumes"] += bool(offset)
        if self.fresh_start_due:  # a restarted program holds no upload
            self.fresh_start_due = False
            self.stats["fresh_starts" if offset == 0 else "resumed_after_restart"] += 1
        sha = hashlib.sha256(data[:offset])
        while offset < len(data):
            piece = data[offset:offset + chunk]
            path, resends = f"/api/up/chunk?uid={uid}&offset={offset}", 0

            def send():
                sent = crc(piece)
                if "bad-crc" in glitches:
                    glitches.discard("bad-crc")
                    sent = format(int(sent, 16) ^ 1, "08x")
                if "cut" in glitches and len(piece) > 65536:
                    glitches.discard("cut")
                    return self._cut_chunk(path, piece, sent), b""
                return self.request("POST", path, piece, {"X-CRC32": sent})[:2]
            while True:
                status, body = self._until_answered(send)
                if status != 422:
                    break
                resends += 1
                self.stats["chunk_resends"] += 1
                if resends > 5:
                    raise Refused(f"{self.name}: chunk of {name!r} damaged too often")
            if status == 404 or (status == 409 and isinstance(as_json(body).get("received"), int)):
                return self._upload(data, name, mtime_ms, uid, glitches, again)
            if status != 200:
                self._refused("chunk", name, status, body)
            sha.update(piece)
            offset += len(piece)
            if "reload" in glitches and offset < len(data):
                glitches.discard("reload")
                return self._upload(data, name, mtime_ms, uid, glitches, again)
        digest = sha.hexdigest()
        if "bad-sha" in glitches:
            glitches.discard("bad-sha")
            digest = hashlib.sha256(b"not this file").hexdigest()
        status, body = self._until_answered(
            lambda: self.request("POST", f"/api/up/finish?uid={uid}&sha256={digest}")[:2])
        if status == 200:
            return as_json(body)
        if status == 422 and not again:
            self.stats["whole_resends"] += 1
            return self._upload(data, name, mtime_ms, uid, glitches, True)
        self._refused("finish", name, status, body)

    def _cut_chunk(self, path, piece, crc32):
        """Half a chunk, then the connection drops, as a phone walking out of range."""
        self.stats["network_errors"] += 1
        head = (f"POST {path}&t={self.code} HTTP/1.1\r\nHost: {self.host}:{self.port}\r\n"
                f"User-Agent: {USER_AGENT}\r\nX-CRC32: {crc32}\r\nContent-Length: {len(piece)}\r\n"
                "Connection: close\r\n\r\n").encode()
        try:
            with socket.create_connection((self.host, self.port), timeout=30) as s:
                s.sendall(head + piece[: len(piece) // 2])
        except OSError:
            pass
        return 0

    def get(self, path, timeout=120):
        """A download, retried on network errors."""
        for tries in range(1, 6):
            if (answer := self.request("GET", path, timeout=timeout))[0]:
                return answer
            time.sleep(min(8.0, 0.7 * tries))
        raise Refused(f"{self.name}: {path} lost five times")


def zip_members(data):
    """Name → bytes; zipfile checks each member's CRC-32 as it reads."""
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        return {i.filename: archive.read(i) for i in archive.infolist() if not i.is_dir()}
