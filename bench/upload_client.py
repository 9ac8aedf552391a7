#!/usr/bin/env python3
"""Uploads one file the way the phone page does, and times it.

POST /api/up/init, then each 4 MiB chunk on a connection of its own as
POST /api/up/chunk?offset=O with its CRC-32 in X-CRC32, one after the other, then
POST /api/up/finish with the SHA-256 of the whole file. Every answer must be 200.

The CRC-32 of every chunk and the SHA-256 are worked out before the clock starts, and each
chunk goes from the page cache to the socket with sendfile(2), so the timed part costs the
client little: it prints its own CPU time next to the wall time to show that. Prints one JSON
line: bytes, seconds, MB/s (10^6 bytes), how long the server took to answer finish, how
long in all the chunks' answers took after their last byte left the client (the server's
work that does not overlap the sending, plus what was still in the socket buffers), client CPU seconds, the hashing time it saved and the finish answer.
"""

import argparse
import hashlib
import json
import os
import socket
import sys
import time
import urllib.parse
import zlib

CHUNK = 4194304


def prepare(path, chunk):
    """CRC-32 per chunk and the SHA-256 of the whole file, with the time they took."""
    started = time.perf_counter()
    crcs, sha = [], hashlib.sha256()
    buffer = bytearray(chunk)
    view = memoryview(buffer)
    with open(path, "rb", buffering=0) as f:
        while (n := f.readinto(buffer)) > 0:
            crcs.append(f"{zlib.crc32(view[:n]):08x}")
            sha.update(view[:n])
    return crcs, sha.hexdigest(), time.perf_counter() - started


def request(address, target, headers=(), body=None, offset=0, length=0, timeout=60):
    """One POST on a connection of its own; the body, if any, goes with sendfile. Returns
    (status, answer body, seconds between the last byte sent and the answer's end)."""
    head = [f"POST {target} HTTP/1.1", f"Host: {address[0]}:{address[1]}",
            f"Content-Length: {length}", "Connection: close", *headers, "", ""]
    with socket.create_connection(address, timeout=timeout) as s:
        s.sendall("\r\n".join(head).encode())
        if length and s.sendfile(body, offset, length) != length:
            raise RuntimeError("file ended early")
        sent = time.perf_counter()
        answer = bytearray()
        while data := s.recv(65536):
            answer += data
        waited = time.perf_counter() - sent
    head_end = answer.find(b"\r\n\r\n")
    if head_end < 0:
        raise RuntimeError(f"{target}: incomplete answer {bytes(answer[:200])!r}")
    status = int(answer.split(b" ", 2)[1])
    return status, bytes(answer[head_end + 4:]), waited


def checked(target, result):
    status, body, waited = result
    if status != 200:
        raise RuntimeError(f"{target.split('?')[0]} answered {status}: {body[:200]!r}")
    return body, waited


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", type=int)
    parser.add_argument("code")
    parser.add_argument("file")
    parser.add_argument("--uid", default=f"bench{os.getpid()}x{time.monotonic_ns()}")
    parser.add_argument("--deadline", type=float, default=600, help="seconds for the upload")
    args = parser.parse_args()

    address = ("127.0.0.1", args.port)
    size = os.path.getsize(args.file)
    crcs, sha256, hashing = prepare(args.file, CHUNK)
    name = urllib.parse.quote(os.path.basename(args.file))
    query = f"t={args.code}&uid={args.uid}"

    with open(args.file, "rb") as body:
        cpu_before, started = os.times(), time.perf_counter()
        deadline = started + args.deadline
        target = f"/api/up/init?{query}&name={name}&size={size}"
        checked(target, request(address, target))
        answer_waits = 0.0
        for index, crc in enumerate(crcs):
            if time.perf_counter() > deadline:
                raise RuntimeError(f"gave up after {args.deadline} s at chunk {index}")
            offset = index * CHUNK
            length = min(CHUNK, size - offset)
            target = f"/api/up/chunk?{query}&offset={offset}"
            answer_waits += checked(target, request(address, target, [f"X-CRC32: {crc}"], body,
                                                    offset, length))[1]
        target = f"/api/up/finish?{query}&sha256={sha256}"
        finish, finish_seconds = checked(target, request(address, target))
        seconds = time.perf_counter() - started
        cpu_after = os.times()

    cpu = (cpu_after.user - cpu_before.user) + (cpu_after.system - cpu_before.system)
    print(json.dumps({
        "bytes": size, "chunks": len(crcs), "seconds": round(seconds, 3),
        "mb_per_s": round(size / seconds / 1e6, 1), "finish_s": round(finish_seconds, 3),
        "chunk_waits_s": round(answer_waits, 3),
        "client_cpu_s": round(cpu, 3),
        "hashing_s": round(hashing, 3), "sha256": sha256,
        "finish": json.loads(finish or b"null"),
    }))


if __name__ == "__main__":
    try:
        main()
    except (OSError, RuntimeError) as error:
        sys.exit(f"upload_client: {error}")
