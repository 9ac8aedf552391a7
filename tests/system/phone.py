"""A phone on the network, as the phone page behaves: waits for approval, uploads with
init/chunk/finish and the page's retry rules, downloads single files, ranges and the ZIP.
Only the standard library; every wait and every retry loop is bounded."""
import hashlib
import http.client
import io
import json
import socket
import sys
import time
import urllib.parse
import zipfile
import zlib

USER_AGENT = ("Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 "
              "(KHTML, like Gecko) Chrome/126.0 Mobile Safari/537.36")
APPROVAL_POLL = 1.2          # seconds between /api/files while the answer is 428
CHUNK_RESENDS = 5            # 422 on a chunk: the same chunk again, at most this often
NETWORK_GIVE_UP = 600.0      # seconds of network errors before a step is given up
REQUEST_TIMEOUT = 90.0       # the page's XMLHttpRequest timeout


class Refused(Exception):
    """The server gave an answer the page would show as a failure."""


class Reopened(Exception):
    """The computer's program was restarted at a new address; the page is opened again."""


class Phone:
    def __init__(self, base, code, name="phone", log=None, address_file=None):
        self.name = name
        self.log = log or (lambda text: None)
        self._aim(base, code)
        # Where the person at the phone would read the computer's current address and code
        # (the QR code on its screen) after the program was restarted.
        self.address_file = address_file
        self.fresh_start_due = False
        self.stats = {"network_errors": 0, "status": {}, "resumes": 0, "chunk_resends": 0,
                      "whole_resends": 0, "reopens": 0, "fresh_starts": 0,
                      "resumed_after_restart": 0}

    def _aim(self, base, code):
        parsed = urllib.parse.urlsplit(base)
        self.base, self.host, self.port, self.code = base, parsed.hostname, parsed.port, code

    def _reopen_if_moved(self):
        """Raises Reopened when the computer now shows another address or code."""
        if not self.address_file:
            return
        try:
            with open(self.address_file) as handle:
                shown = json.load(handle)
        except (OSError, ValueError):
            return
        if (shown["base"], shown["code"]) != (self.base, self.code):
            self._aim(shown["base"], shown["code"])
            self.stats["reopens"] += 1
            self.log(f"{self.name}: page opened again at {self.base}")
            raise Reopened()

    # One request on a fresh connection (the server closes each one). Network errors come
    # back as status 0, like the page's post().
    def request(self, method, path, body=None, headers=None, timeout=REQUEST_TIMEOUT):
        sep = "&" if "?" in path else "?"
        url = path + sep + "t=" + urllib.parse.quote(self.code, safe="")
        hdrs = {"User-Agent": USER_AGENT}
        hdrs.update(headers or {})
        conn = http.client.HTTPConnection(self.host, self.port, timeout=timeout)
        try:
            conn.request(method, url, body=body, headers=hdrs)
            response = conn.getresponse()
            data = response.read()
            status = response.status
            rheaders = {k.lower(): v for k, v in response.getheaders()}
        except (OSError, http.client.HTTPException) as error:
            self.stats["network_errors"] += 1
            self.log(f"{self.name}: {method} {path.split('?')[0]}: {error!r}")
            return 0, b"", {}
        finally:
            conn.close()
        key = str(status)
        self.stats["status"][key] = self.stats["status"].get(key, 0) + 1
        return status, data, rheaders

    @staticmethod
    def as_json(data):
        try:
            value = json.loads(data)
            return value if isinstance(value, dict) else {}
        except ValueError:
            return {}

    # Polls /api/files every 1.2 s while the server answers 428, as the page does. A phone
    # out of reach keeps polling as long as an upload would keep retrying.
    def connect(self, limit=90.0):
        start = time.monotonic()
        waiting = 0.0  # time spent on 428 answers
        while waiting < limit and time.monotonic() - start < NETWORK_GIVE_UP:
            asked = time.monotonic()
            status, data, _ = self.request("GET", "/api/files", timeout=7)
            if status == 200:
                return self.as_json(data)
            if status in (0, 403):
                try:
                    self._reopen_if_moved()
                except Reopened:
                    continue
            if status == 503:  # other newcomers fill the computer's prompts: ask again later
                time.sleep(APPROVAL_POLL)
                continue
            if status not in (0, 428):
                raise Refused(f"{self.name}: /api/files answered {status} {data[:80]!r}")
            time.sleep(APPROVAL_POLL)
            if status == 428:
                waiting += time.monotonic() - asked
        raise Refused(f"{self.name}: not approved within {limit:.0f} s")

    def files(self):
        status, data, _ = self.request("GET", "/api/files", timeout=15)
        if status != 200:
            raise Refused(f"{self.name}: file list answered {status}")
        return self.as_json(data)

    # ---- upload -------------------------------------------------------------------------

    def _retry_wait(self, tries, since):
        self._reopen_if_moved()
        if time.monotonic() - since > NETWORK_GIVE_UP:
            raise Refused(f"{self.name}: network lost for too long")
        time.sleep(min(8.0, 0.7 * tries))

    def upload(self, data, name, mtime_ms, uid=None, glitches=()):
        """Sends `data` as file `name`; returns the server's finish answer. When the
        computer's program is restarted meanwhile, the page is opened again at its new
        address, approved again, and the file starts over with a new init."""
        for _ in range(20):
            try:
                return self._upload(data, name, mtime_ms, uid, glitches)
            except Reopened:
                self.connect()
                self.fresh_start_due = True
        raise Refused(f"{self.name}: {name!r}: the computer moved too often")

    def _upload(self, data, name, mtime_ms, uid=None, glitches=(), again=False):
        """One attempt of upload().

        glitches: a set of deliberate faults to exercise the recovery paths, each used once:
        "bad-crc" (a chunk with a wrong X-CRC32), "cut" (a chunk connection dropped midway),
        "reload" (init again after the first chunk, as a reloaded page would),
        "bad-sha" (a wrong SHA-256 at finish).
        """
        glitches = set(glitches)
        uid = uid or "u" + hashlib.sha1(f"{name}|{len(data)}|{mtime_ms}".encode()).hexdigest()[:20]
        quoted = urllib.parse.quote(name, safe="")
        since, tries = time.monotonic(), 0
        while True:
            status, body, _ = self.request(
                "POST", f"/api/up/init?uid={uid}&name={quoted}&size={len(data)}&mtime={mtime_ms}")
            if status != 0:
                break
            tries += 1
            self._retry_wait(tries, since)
        if status == 403:
            self._reopen_if_moved()
        if status != 200:
            raise Refused(f"{self.name}: init of {name!r} answered {status} {body[:80]!r}")
        answer = self.as_json(body)
        chunk = int(answer.get("chunk") or 4194304)
        offset = int(answer.get("received") or 0)
        if offset:
            self.stats["resumes"] += 1
        if self.fresh_start_due:
            # A restarted program holds no upload: the file must begin again at byte 0.
            self.fresh_start_due = False
            self.stats["fresh_starts" if offset == 0 else "resumed_after_restart"] += 1
        sha = hashlib.sha256(data[:offset])

        while offset < len(data):
            piece = data[offset:offset + chunk]
            crc = format(zlib.crc32(piece) & 0xFFFFFFFF, "08x")
            lost, resends, tries = time.monotonic(), 0, 0
            while True:
                sent_crc = crc
                if "bad-crc" in glitches:
                    glitches.discard("bad-crc")
                    sent_crc = format((zlib.crc32(piece) ^ 1) & 0xFFFFFFFF, "08x")
                path = f"/api/up/chunk?uid={uid}&offset={offset}"
                if "cut" in glitches and len(piece) > 65536:
                    glitches.discard("cut")
                    status = self._cut_chunk(path, piece, sent_crc)
                    body = b""
                else:
                    status, body, _ = self.request("POST", path, body=piece,
                                                   headers={"X-CRC32": sent_crc})
                if status == 200:
                    break
                reply = self.as_json(body)
                if (status == 409 and isinstance(reply.get("received"), int)) or status == 404:
                    self.log(f"{self.name}: chunk of {name!r} answered {status}; init again")
                    return self._upload(data, name, mtime_ms, uid, glitches, again)
                if status == 422:
                    resends += 1
                    self.stats["chunk_resends"] += 1
                    if resends > CHUNK_RESENDS:
                        raise Refused(f"{self.name}: chunk of {name!r} damaged too often")
                    continue
                if status == 403:
                    self._reopen_if_moved()
                if status != 0:
                    raise Refused(f"{self.name}: chunk of {name!r} answered {status} "
                                  f"{body[:80]!r}")
                tries += 1
                self._retry_wait(tries, lost)
            sha.update(piece)
            offset += len(piece)
            if "reload" in glitches and offset < len(data):
                glitches.discard("reload")
                return self._upload(data, name, mtime_ms, uid, glitches, again)

        digest = sha.hexdigest()
        if "bad-sha" in glitches:
            glitches.discard("bad-sha")
            digest = hashlib.sha256(b"not this file").hexdigest()
        since, tries = time.monotonic(), 0
        while True:
            status, body, _ = self.request("POST", f"/api/up/finish?uid={uid}&sha256={digest}")
            if status != 0:
                break
            tries += 1
            self._retry_wait(tries, since)
        if status == 200:
            return self.as_json(body)
        if status == 422 and not again:
            self.stats["whole_resends"] += 1
            return self._upload(data, name, mtime_ms, uid, glitches, True)
        if status == 403:
            self._reopen_if_moved()
        raise Refused(f"{self.name}: finish of {name!r} answered {status} {body[:80]!r}")

    # Sends half a chunk and drops the connection, as a phone walking out of range would.
    def _cut_chunk(self, path, piece, crc):
        self.stats["network_errors"] += 1
        url = path + "&t=" + urllib.parse.quote(self.code, safe="")
        head = (f"POST {url} HTTP/1.1\r\nHost: {self.host}:{self.port}\r\n"
                f"User-Agent: {USER_AGENT}\r\nX-CRC32: {crc}\r\n"
                f"Content-Length: {len(piece)}\r\nConnection: close\r\n\r\n").encode()
        try:
            with socket.create_connection((self.host, self.port), timeout=30) as s:
                s.sendall(head + piece[: len(piece) // 2])
        except OSError:
            pass
        return 0

    # ---- download -----------------------------------------------------------------------

    def get(self, file_id, first=None, last=None):
        headers = {}
        if first is not None:
            headers["Range"] = f"bytes={first}-{'' if last is None else last}"
        return self._fetch("/api/dl/" + urllib.parse.quote(file_id, safe=""), headers, 120)

    def zip(self):
        return self._fetch("/api/zip", {}, 180)[:2]

    def _fetch(self, path, headers, timeout):
        for tries in range(1, 6):
            status, data, rheaders = self.request("GET", path, headers=headers, timeout=timeout)
            if status != 0:
                return status, data, rheaders
            time.sleep(min(8.0, 0.7 * tries))
        raise Refused(f"{self.name}: {path} lost five times")


def zip_members(data):
    """Name → bytes of every member; zipfile checks each member's CRC-32 as it reads."""
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        return {info.filename: archive.read(info) for info in archive.infolist()
                if not info.is_dir()}
