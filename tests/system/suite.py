#!/usr/bin/env python3
"""Runs skiff in the computer namespace of a network made by run.sh, sets phones and hostile
hosts loose on it at the same time, then checks the computer's side: every file a phone was
told is saved is in the receive folder, whole, with its time; nothing landed elsewhere; the
server's descriptors and memory stayed bounded. Prints the figures and a verdict.

    suite.py NET.json WORKDIR SKIFF short|long
"""
import json
import os
import re
import subprocess
import sys
import time

import faults
import full_disk
from skiff_process import PROMPT, Skiff, log, sha256_of, start_agent

HERE = os.path.dirname(os.path.abspath(__file__))
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
    import random
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


def slow_figures(report, job):
    """The slow connections in words: the short profile holds them for less than the server's
    60 s inactivity timeout, so none is closed by the server there, and that is the check."""
    figures = {"opened": report.get("counts", {}).get("opened", 0),
               "held_s": job["seconds"],
               "closed_by_server": report.get("counts", {}).get("closed_by_server", 0)}
    if report.get("closed_after"):
        figures["closed_after_s"] = report["closed_after"]
    if job.get("expect_timeout"):
        lo, hi = job["expect_timeout"]
        figures["expected"] = f"every one closed by the server after {lo}-{hi} s"
    else:
        figures["expected"] = (f"32 held open for {job['seconds']} s while the phones work "
                               f"(none closed before {job['not_before']} s; the timeout is 60 s), "
                               "the host's others closed at once")
    return figures


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

    mib = 1048576
    upload_files = [
        {"name": "{phone}-r{round}-empty.txt", "size": 0},
        {"name": "{phone}-r{round}-small.txt", "size": 3 * 1024 + 7},
        {"name": "{phone}-r{round}-photo.jpg", "size": 200 * 1024 + 11,
         "glitches": ["bad-crc"]},
        {"name": "{phone}-r{round}-several.bin", "size": profile["big"],
         "glitches": ["cut", "reload"]},
        {"name": "{phone}-r{round}-retried.bin", "size": 4 * mib + 1, "glitches": ["bad-sha"]},
        {"name": "clash.bin", "size": 1000},
    ]
    common = {"base": base, "code": code, "seconds": profile["seconds"], "tag": tag}
    agents = []
    for ns in net["uploaders"]:
        agents.append((ns, "uploader", dict(common, name=ns.split("-")[-1],
                                            rounds=profile["rounds"], files=upload_files)))
    for ns in net["downloaders"]:
        agents.append((ns, "downloader", dict(common, name=ns.split("-")[-1],
                                              rounds=profile["download_rounds"],
                                              ranges=profile["ranges"], zip=True,
                                              shared=shared)))
    # The outsider knows the code but reaches the computer from its own, non-private link.
    outsider_base = re.sub(r"//[0-9.]+:", "//" + net["outsider_gateway"] + ":", base)
    agents.append((net["outsider"], "outsider",
                   dict(common, base=outsider_base, name="outsider",
                        rounds=profile["outsider_rounds"])))
    agents.append((net["guesser"], "guesser",
                   dict(common, name="guesser", burst=40, sequential=10, allowed_guesses=10)))
    slow_job = dict(common, name="slow", connections=profile["slow"],
                    seconds=profile["slow_seconds"])
    if profile_name == "long":
        slow_job["expect_timeout"] = [55, 75]
    else:
        slow_job["not_before"] = 55
    agents.append((net["slow"], "slow", slow_job))
    agents.append((net["junk"], "junk", dict(common, name="junk", rounds=profile["junk_rounds"])))
    agents.append((net["names"], "names", dict(common, name="names")))

    running = []
    for ns, role, job in agents:
        proc, report = start_agent(ns, role, job, work, job["name"])
        running.append((job["name"], role, proc, report))
    log(f"{len(running)} hosts at work: " + ", ".join(f"{n} ({r})" for n, r, _, _ in running))

    reports = {}
    deadline = time.monotonic() + profile["seconds"] + 60
    for name, role, proc, report in running:
        try:
            proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
            failures.append(f"{name} ({role}) did not finish in time")
        try:
            with open(report) as handle:
                reports[name] = json.load(handle)
        except (OSError, ValueError):
            failures.append(f"{name} ({role}) wrote no report")
            reports[name] = {"role": role, "failures": [], "counts": {}}
        for text in reports[name]["failures"]:
            failures.append(f"{name}: {text}")
    time.sleep(1.0)
    after = skiff.samples[-1] if skiff.samples else (0, 0, 0)
    alive = skiff.proc.poll() is None
    if not alive:
        failures.append(f"skiff ended during the run with {skiff.proc.returncode}")
    exit_code = skiff.stop()
    if exit_code != 0:
        failures.append(f"skiff did not stop cleanly on SIGINT: {exit_code}")
    output = skiff.text()

    # ---- the computer's side ----------------------------------------------------------------
    received = os.path.join(skiff.home, "Downloads", "Skiff")
    on_disk = {}
    for entry in os.scandir(received) if os.path.isdir(received) else []:
        on_disk[entry.name] = entry
    sent = []
    for name, rep in reports.items():
        for item in rep.get("sent", []):
            sent.append((name, item))
    lost = damaged = 0
    claimed = set()
    for who, item in sent:
        final = item["final"]
        entry = on_disk.get(final)
        if not final or entry is None or "/" in final:
            lost += 1
            failures.append(f"{who}: {item['name'][:60]!r} reported saved as {final!r}, "
                            "not in the receive folder")
            continue
        if final in claimed:
            failures.append(f"{who}: two uploads were told they are {final!r}")
        claimed.add(final)
        stat = entry.stat(follow_symlinks=False)
        if not entry.is_file(follow_symlinks=False) or stat.st_size != item["size"] \
                or sha256_of(entry.path) != item["sha256"]:
            damaged += 1
            failures.append(f"{who}: {final!r} differs from what was sent")
        elif abs(stat.st_mtime_ns - item["mtime_ms"] * 1000000) > 1000000:
            damaged += 1
            failures.append(f"{who}: {final!r} has time {stat.st_mtime_ns}, sent "
                            f"{item['mtime_ms']} ms")
    extra = sorted(set(on_disk) - claimed)
    if extra:
        failures.append(f"receive folder holds files no phone was told about: {extra[:10]}")
    for name in on_disk:
        bad = (name.startswith(".") or any(ord(c) < 0x20 or c in "\\:\x7f" for c in name)
               or len(name.encode()) > 255)
        if bad:
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
    outsider_requests = reports.get("outsider", {}).get("counts", {}).get("requests", 0)
    if refusals != outsider_requests:
        failures.append(f"{refusals} outsider refusals logged for {outsider_requests} attempts")

    # Phones admitted before the lock never saw 429.
    for name, rep in reports.items():
        if rep.get("role") in ("uploader", "downloader", "names"):
            locked = rep.get("phone", {}).get("status", {}).get("429", 0)
            if locked:
                failures.append(f"{name}: admitted phone answered 429 {locked} times")

    # In the short profile the phones must have done all their work while every slow
    # connection was still held open: otherwise starvation was not put to the test.
    held = reports.get("slow", {})
    if profile_name == "short" and held.get("held_until"):
        for name, rep in reports.items():
            if rep.get("role") in ("uploader", "downloader") and \
                    rep.get("finished_at", 0) > held["held_until"]:
                failures.append(f"{name} finished after the slow connections were let go")

    # Descriptors and memory.
    peak_fds = max((s[1] for s in skiff.samples), default=0)
    peak_rss = max((s[2] for s in skiff.samples), default=0)
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

    def total(key, roles):
        return sum(r.get("counts", {}).get(key, 0) for r in reports.values()
                   if r.get("role") in roles)

    figures = {
        "profile": profile_name,
        "shaping": net.get("shaping"),
        "phones": len(net["uploaders"]) + len(net["downloaders"]),
        "files_uploaded": total("files", ("uploader",)) + total("names", ("names",)),
        "bytes_uploaded": total("bytes", ("uploader",)),
        "downloads": total("downloads", ("downloader",)),
        "ranges": total("ranges", ("downloader",)),
        "zips": total("zips", ("downloader",)),
        "bytes_downloaded": total("bytes", ("downloader",)),
        "recoveries": {k: sum(r.get("phone", {}).get(k, 0) for r in reports.values())
                       for k in ("resumes", "chunk_resends", "whole_resends", "network_errors")},
        "bad_inputs": {
            "outsider_requests": outsider_requests,
            "wrong_codes": total("wrong_codes", ("guesser",)),
            "slow_connections": total("opened", ("slow",)),
            "malformed_heads": total("heads", ("junk",)),
            "hostile_names": total("names", ("names",)),
        },
        "guesser_answers": reports.get("guesser", {}).get("statuses"),
        "slow": slow_figures(reports.get("slow", {}), slow_job),
        "idle_fds": idle[1], "peak_fds": peak_fds, "fds_after": after[1],
        "idle_rss_mib": round(idle[2] / 1048576, 1), "peak_rss_mib": round(peak_rss / 1048576, 1),
        "files_lost": lost, "files_damaged": damaged,
    }

    return figures


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
    figures["totals"] = {
        "files_received": figures.get("files_uploaded", 0) + sum(p.get("files_saved", 0)
                                                                 for p in parts),
        "bytes_received": figures.get("bytes_uploaded", 0) + sum(p.get("bytes_saved", 0)
                                                                 for p in parts),
        "bytes_downloaded": figures.get("bytes_downloaded", 0),
        "peak_fds": max([figures.get("peak_fds", 0)] + [p.get("peak_fds", 0) for p in parts]),
        "peak_rss_mib": max([figures.get("peak_rss_mib", 0)] +
                            [p.get("peak_rss_mib", 0) for p in parts]),
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
