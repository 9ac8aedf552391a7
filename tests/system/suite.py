#!/usr/bin/env python3
"""Runs skiff in the computer namespace of a network made by run.sh, sets phones and hostile
hosts loose on it at the same time, then checks the computer's side: every file a phone was
told is saved is in the receive folder, whole, with its time; nothing landed elsewhere; the
server's descriptors and memory stayed bounded. Prints the figures and a verdict.

    suite.py NET.json WORKDIR SKIFF short|long
"""
import json
import os
import random
import re
import sys
import time

import faults
import full_disk
from skiff_process import PROMPT, Skiff, check_folder, finish_agents, log, sha256_of, start_agent

PROFILES = {
    # Short enough for CI (the whole run well under three minutes).
    "short": {"rounds": 1, "seconds": 100, "big": 9 * 1048576 + 12345, "ranges": 3,
              "slow": 200, "slow_seconds": 45, "junk_rounds": 2, "outsider_rounds": 3,
              "download_rounds": 2},
    # Longer, bigger, and waits for the inactivity timeout to close the slow connections.
    "long": {"rounds": 4, "seconds": 600, "big": 21 * 1048576 + 777, "ranges": 8,
             "slow": 300, "slow_seconds": 90, "junk_rounds": 5, "outsider_rounds": 20,
             "download_rounds": 6},
}
RSS_GROWTH_LIMIT = 256 * 1048576   # bytes above the idle server's resident memory
FD_SLACK = 64                      # descriptors beyond one per open connection


def logged_count(output, line):
    """How many times skiff logged a line: a burst prints its first line, then "line (×N)"
    counts, its last count once it is over."""
    total = burst = 0
    for printed in output.splitlines():
        if not printed.startswith(line):
            continue
        rest = printed[len(line):]
        counted = re.fullmatch(r" \(×(\d+)\)", rest)
        if rest == "":
            total, burst = total + 1, 1
        elif counted:
            total, burst = total + int(counted.group(1)) - burst, int(counted.group(1))
    return total


def make_shares(work):
    folder = os.path.join(work, "share")
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7)
    sizes = {"empty.txt": 0, "note.txt": 3000, "photo.jpg": 700000,
             "video clip.mp4": 6 * 1048576 + 3, "Ảnh tiếng Việt.bin": 50000}
    shared = {}
    for name, size in sizes.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as handle:
            handle.write(rng.randbytes(size))
        shared[name] = {"path": path, "size": size, "sha256": sha256_of(path)}
    return [os.path.join(folder, n) for n in sizes], shared


def load_and_hostile(net, work, binary, profile_name, failures):
    """Scenarios 1 and 4 at once on one program; returns their figures."""
    profile = PROFILES[profile_name]
    tag = net["tag"]
    shares, shared = make_shares(work)
    skiff = Skiff(net, work, binary, shares)
    base, code = skiff.wait_ready()
    log(f"skiff at {base}, code {code}")
    if not base.startswith("http://" + net["server_ip"] + ":"):
        failures.append(f"skiff chose {base}, not the phones' network {net['server_ip']}")
    skiff.start_watchers()
    time.sleep(1.0)
    idle = skiff.samples[-1] if skiff.samples else (0, 0, 0)
    log(f"idle: {idle[1]} descriptors, {idle[2] // 1024} KiB resident")

    upload_files = [
        {"name": "{phone}-r{round}-empty.txt", "size": 0},
        {"name": "{phone}-r{round}-small.txt", "size": 3 * 1024 + 7},
        {"name": "{phone}-r{round}-photo.jpg", "size": 200 * 1024 + 11, "glitches": ["bad-crc"]},
        {"name": "{phone}-r{round}-several.bin", "size": profile["big"],
         "glitches": ["cut", "reload"]},
        {"name": "{phone}-r{round}-retried.bin", "size": 4 * 1048576 + 1, "glitches": ["bad-sha"]},
        {"name": "clash.bin", "size": 1000},
    ]
    common = {"base": base, "code": code, "seconds": profile["seconds"], "tag": tag}
    # The outsider knows the code but reaches the computer from its own, non-private link.
    outsider_base = re.sub(r"//[0-9.]+:", "//" + net["outsider_gateway"] + ":", base)
    slow_job = {"connections": profile["slow"], "seconds": profile["slow_seconds"]}
    # The short profile holds the slow connections for less than the 60 s inactivity timeout,
    # so there the check is that none is closed early and the phones do not starve.
    slow_job.update({"expect_timeout": [55, 75]} if profile_name == "long" else {"not_before": 55})
    agents = [(ns, "uploader", {"rounds": profile["rounds"], "files": upload_files})
              for ns in net["uploaders"]]
    agents += [(ns, "downloader", {"rounds": profile["download_rounds"], "zip": True,
                                   "ranges": profile["ranges"], "shared": shared})
               for ns in net["downloaders"]]
    agents += [(net["outsider"], "outsider", {"base": outsider_base, "name": "outsider",
                                              "rounds": profile["outsider_rounds"]}),
               (net["guesser"], "guesser", {"name": "guesser", "burst": 40, "sequential": 10,
                                            "allowed_guesses": 10}),
               (net["slow"], "slow", dict(slow_job, name="slow")),
               (net["junk"], "junk", {"name": "junk", "rounds": profile["junk_rounds"]}),
               (net["names"], "names", {"name": "names"})]
    running, roles = [], {}
    for ns, role, job in agents:
        job = {**common, "name": ns.split("-")[-1], **job}
        proc, report = start_agent(ns, role, job, work, job["name"])
        running.append((job["name"], proc, report))
        roles[job["name"]] = role
    log(f"{len(running)} hosts at work: " + ", ".join(f"{n} ({r})" for n, r in roles.items()))
    reports = finish_agents(running, time.monotonic() + profile["seconds"] + 60, failures)
    time.sleep(1.0)
    after = skiff.samples[-1] if skiff.samples else (0, 0, 0)
    if skiff.proc.poll() is not None:
        failures.append(f"skiff ended during the run with {skiff.proc.returncode}")
    exit_code = skiff.stop()
    if exit_code != 0:
        failures.append(f"skiff did not stop cleanly on SIGINT: {exit_code}")
    output = skiff.text()

    # ---- the computer's side ----------------------------------------------------------------
    received = skiff.receive_folder()
    saved = [item for rep in reports.values() for item in rep.get("sent", [])]
    found = check_folder(received, saved, failures, "load")
    for name in os.listdir(received) if os.path.isdir(received) else []:
        if name.startswith(".") or any(ord(c) < 0x20 or c in "\\:\x7f" for c in name) \
                or len(name.encode()) > 255:
            failures.append(f"unclean name in the receive folder: {name!r}")
    # Nothing written outside the receive folder: the names' tag appears nowhere else.
    strays = []
    for root in (work, "/tmp", "/"):
        for dirpath, dirnames, filenames in os.walk(root):
            if dirpath.startswith(received):
                continue
            strays += [os.path.join(dirpath, f) for f in filenames + dirnames
                       if tag in f and os.path.join(dirpath, f) != work]
            if root != work:
                break  # only the top of the shared folders
    if strays:
        failures.append(f"files outside the receive folder: {strays[:5]}")

    # Prompts: one per admitted host, never one for the outsider or the guesser.
    prompts = output.count(PROMPT)
    admitted = len(net["uploaders"]) + len(net["downloaders"]) + 2  # junk and names
    if prompts != admitted:
        failures.append(f"{prompts} approval prompts for {admitted} admitted hosts")
    for host in (net["outsider_ip"], net["guesser_ip"]):
        if f"({host}) xin kết nối" in output:
            failures.append(f"{host} was offered for approval")
    refusals = logged_count(output, "Từ chối kết nối ngoài mạng nội bộ: " + net["outsider_ip"])
    outsider_requests = reports["outsider"]["counts"].get("requests", 0)
    if refusals != outsider_requests:
        failures.append(f"{refusals} outsider refusals logged for {outsider_requests} attempts")

    held_until = reports["slow"].get("held_until")
    for name, rep in reports.items():
        # Phones admitted before the lock never saw 429.
        if roles[name] in ("uploader", "downloader", "names") and \
                rep.get("phone", {}).get("status", {}).get("429", 0):
            failures.append(f"{name}: admitted phone answered 429")
        # In the short profile the phones must have done all their work while every slow
        # connection was still held open: otherwise starvation was not put to the test.
        if profile_name == "short" and held_until and roles[name] in ("uploader", "downloader") \
                and rep.get("finished_at", 0) > held_until:
            failures.append(f"{name} finished after the slow connections were let go")

    peak_fds, peak_rss = skiff.peaks()
    fd_limit = idle[1] + profile["slow"] + FD_SLACK + 8 * (len(net["uploaders"]) +
                                                         len(net["downloaders"]))
    if peak_fds > fd_limit:
        failures.append(f"descriptors peaked at {peak_fds} (bound {fd_limit})")
    if after[1] > idle[1] + 4:
        failures.append(f"descriptors after the run {after[1]}, idle {idle[1]}: a leak")
    if peak_rss > idle[2] + RSS_GROWTH_LIMIT:
        failures.append(f"resident memory peaked at {peak_rss // 1048576} MiB "
                        f"(idle {idle[2] // 1048576} MiB)")
    if not skiff.samples:
        failures.append("no samples of the server's descriptors and memory")

    def total(key, *wanted):
        return sum(r["counts"].get(key, 0) for n, r in reports.items() if roles[n] in wanted)

    slow = reports["slow"]
    return {
        "phones": len(net["uploaders"]) + len(net["downloaders"]),
        "files_uploaded": total("files", "uploader") + total("names", "names"),
        "bytes_uploaded": total("bytes", "uploader"),
        "downloads": total("downloads", "downloader"), "ranges": total("ranges", "downloader"),
        "zips": total("zips", "downloader"), "bytes_downloaded": total("bytes", "downloader"),
        "recoveries": {k: sum(r.get("phone", {}).get(k, 0) for r in reports.values())
                       for k in ("resumes", "chunk_resends", "whole_resends", "network_errors")},
        "bad_inputs": {"outsider_requests": outsider_requests,
                       "wrong_codes": total("wrong_codes", "guesser"),
                       "slow_connections": total("opened", "slow"),
                       "malformed_heads": total("heads", "junk"),
                       "hostile_names": total("names", "names")},
        "guesser_answers": reports["guesser"].get("statuses"),
        "slow": {"held_s": slow_job["seconds"], **slow["counts"],
                 "closed_after_s": slow.get("closed_after")},
        "idle_fds": idle[1], "peak_fds": peak_fds, "fds_after": after[1],
        "idle_rss_mib": round(idle[2] / 1048576, 1), "peak_rss_mib": round(peak_rss / 1048576, 1),
        "files_lost": found["lost"], "files_damaged": found["damaged"],
    }


SCENARIOS = ("load", "faults", "full_disk")


def main():
    net_path, work, binary, profile_name = sys.argv[1:5]
    chosen = sys.argv[5].split(",") if len(sys.argv) > 5 and sys.argv[5] else SCENARIOS
    with open(net_path) as handle:
        net = json.load(handle)
    failures = []
    figures = {"profile": profile_name, "shaping": net.get("shaping"), "loss": net.get("loss"),
               "files_lost": 0, "files_damaged": 0}
    if "load" in chosen:
        figures.update(load_and_hostile(net, work, binary, profile_name, failures))
    # Scenarios 2 and 3, each with a program of its own.
    for key, scenario in (("faults", faults), ("full_disk", full_disk)):
        if key not in chosen:
            continue
        log(f"scenario {key} begins")
        try:
            found, failed = scenario.run(net, work, binary, profile_name)
        except Exception as error:  # a broken scenario is a failed run, with its reason
            found, failed = {}, [f"{key} stopped: {error!r}"]
        figures[key] = found
        failures += [f"{key}: {text}" for text in failed]
        figures["files_lost"] += found.get("files_lost", 0)
        figures["files_damaged"] += found.get("files_damaged", 0)
    # Everything moved in this run, all scenarios together.
    parts = [figures.get(k, {}) for k in ("faults", "full_disk")]

    def overall(own, theirs, combine=sum):
        return combine([figures.get(own, 0)] + [p.get(theirs, 0) for p in parts])

    figures["totals"] = {
        "files_received": overall("files_uploaded", "files_saved"),
        "bytes_received": overall("bytes_uploaded", "bytes_saved"),
        "bytes_downloaded": figures.get("bytes_downloaded", 0),
        "peak_fds": overall("peak_fds", "peak_fds", max),
        "peak_rss_mib": overall("peak_rss_mib", "peak_rss_mib", max),
    }
    figures["failures"] = len(failures)
    with open(os.path.join(work, "figures.json"), "w") as handle:
        json.dump(figures, handle, ensure_ascii=False, indent=1)
    print(json.dumps(figures, ensure_ascii=False, indent=1))
    for text in failures:
        print("FAILED:", text)
    print("VERDICT:", "PASS" if not failures else f"FAIL ({len(failures)})")
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
