#!/usr/bin/env python3
"""`suite.py NET.json WORKDIR SKIFF short|long [SCENARIOS]` on run.sh's network: load with hostile
hosts, faults (faults.py) and a full disk, each on a skiff of its own; here the computer's side."""
import json
import os
import random
import re
import sys
import time

import faults
from skiff_process import PROMPT, Skiff, check_folder, finish_agents, log, sha256_of, start_agent

PROFILES = {  # the long one waits for the inactivity timeout to close the slow connections
    "short": {"rounds": 1, "seconds": 100, "big": 9 * 1048576 + 12345, "ranges": 3, "slow": 200,
              "slow_seconds": 45, "junk_rounds": 2, "outsider_rounds": 3, "download_rounds": 2},
    "long": {"rounds": 4, "seconds": 600, "big": 21 * 1048576 + 777, "ranges": 8, "slow": 300,
             "slow_seconds": 90, "junk_rounds": 5, "outsider_rounds": 20, "download_rounds": 6},
}


def logged_count(output, line):
    """How often skiff logged a line: a burst prints it once, then "line (×N)" counts."""
    total = burst = 0
    for rest in (p[len(line):] for p in output.splitlines() if p.startswith(line)):
        n = 1 if rest == "" else int(m.group(1)) if (m := re.fullmatch(r" \(×(\d+)\)", rest)) else 0
        if n:
            total, burst = total + n - (burst if rest else 0), n
    return total


def hostile_names(tag):
    """Built to leave the receive folder or to hurt whatever shows them."""
    return [f"../../{tag}-up.txt", f"/tmp/{tag}-absolute.txt", f"..\\..\\{tag}-backslash.txt", "..",
            "", ".hidden-start.txt", "a\x00b.txt", "line\nbreak\r.txt", "colon:name.txt",
            "ü" * 200 + ".txt", "🙂" * 80 + ".png", "e\u0301" * 150, "same.txt", "same.txt",
            "SAME.txt", "dir/sub/same.txt"]


def make_shares(work):
    folder, rng, shared = os.path.join(work, "share"), random.Random(7), {}
    os.makedirs(folder, exist_ok=True)
    for name, size in {"empty.txt": 0, "note.txt": 3000, "photo.jpg": 700000,
                       "video clip.mp4": 6 * 1048576 + 3, "Ảnh tiếng Việt.bin": 50000}.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as handle:
            handle.write(rng.randbytes(size))
        shared[name] = {"path": path, "size": size, "sha256": sha256_of(path)}
    return shared


def load_and_hostile(net, work, binary, profile_name, failures):
    profile, tag = PROFILES[profile_name], net["tag"]
    shared = make_shares(work)
    skiff = Skiff(net, work, binary, [s["path"] for s in shared.values()])
    base = skiff.base
    if not base.startswith(f"http://{net['server_ip']}:"):
        failures.append(f"skiff chose {base}, not the phones' network {net['server_ip']}")
    time.sleep(1.0)
    idle = skiff.samples[-1] if skiff.samples else (0, 0)
    files = [{"name": "{phone}-r{round}-empty.txt", "size": 0},
             {"name": "{phone}-r{round}-small.txt", "size": 3 * 1024 + 7},
             {"name": "{phone}-r{round}-photo.jpg", "size": 200 * 1024 + 11, "glitches": ["bad-crc"]},
             {"name": "{phone}-r{round}-several.bin", "size": profile["big"], "glitches": ["cut", "reload"]},
             {"name": "{phone}-r{round}-retried.bin", "size": 4 * 1048576 + 1, "glitches": ["bad-sha"]},
             {"name": "clash.bin", "size": 1000}]
    # The short profile holds the slow connections for less than the 60 s inactivity timeout:
    # there none may be closed early and the phones must not starve.
    slow = {"connections": profile["slow"], "seconds": profile["slow_seconds"],
            **({"expect_timeout": [55, 75]} if profile_name == "long" else {"not_before": 55})}
    agents = [(ns, "uploader", {"rounds": profile["rounds"], "files": files}) for ns in net["uploaders"]]
    agents += [(ns, "downloader", {"rounds": profile["download_rounds"], "zip": True,
                                   "ranges": profile["ranges"], "shared": shared})
               for ns in net["downloaders"]]
    # The outsider knows the code but reaches the computer from its own, non-private link.
    agents += [(net["outsider"], "outsider", {"rounds": profile["outsider_rounds"], "base":
                                              base.replace(net["server_ip"], net["outsider_gateway"])}),
               (net["guesser"], "guesser", {"burst": 40, "sequential": 10, "allowed_guesses": 10}),
               (net["slow"], "slow", slow), (net["junk"], "junk", {"rounds": profile["junk_rounds"]}),
               (net["names"], "uploader", {"rounds": 1, "files": [
                   {"name": n, "size": 100 + i} for i, n in enumerate(hostile_names(tag))]})]
    roles, running = {}, []
    for ns, role, job in agents:
        name = role if role in ("outsider", "guesser", "slow", "junk") else ns.split("-")[-1]
        roles[name] = role
        running.append(start_agent(ns, role, {"base": base, "code": skiff.code, "tag": tag,
                                              "seconds": profile["seconds"], "name": name, **job}, work))
    reports = finish_agents(running, time.monotonic() + profile["seconds"] + 60, failures)
    time.sleep(1.0)
    after = skiff.samples[-1] if skiff.samples else (0, 0)
    if skiff.proc.poll() is not None:
        failures.append(f"skiff ended during the run with {skiff.proc.returncode}")
    if (status := skiff.stop()) != 0:
        failures.append(f"skiff did not stop cleanly on SIGINT: {status}")
    output, received = skiff.text(), skiff.receive_folder

    saved = [item for rep in reports.values() for item in rep.get("sent", [])]
    found = check_folder(received, saved, failures, "load")
    for name in os.listdir(received) if os.path.isdir(received) else []:
        if name.startswith(".") or any(ord(c) < 0x20 or c in "\\:\x7f" for c in name) \
                or len(name.encode()) > 255:
            failures.append(f"unclean name in the receive folder: {name!r}")
    # Nothing written outside the receive folder: the names' tag appears nowhere else.
    strays = [os.path.join(d, f) for root in (work, "/tmp", "/")
              for d, dirs, fs in (os.walk(root) if root == work else [next(os.walk(root))])
              if not d.startswith(received) for f in fs + dirs
              if tag in f and os.path.join(d, f) != work]
    if strays:
        failures.append(f"files outside the receive folder: {strays[:5]}")

    # One prompt per admitted host, none for the outsider or the guesser.
    admitted = len(net["uploaders"]) + len(net["downloaders"]) + 2  # junk and names
    if output.count(PROMPT) != admitted:
        failures.append(f"{output.count(PROMPT)} approval prompts for {admitted} admitted hosts")
    for host in (net["outsider_ip"], net["guesser_ip"]):
        if f"({host}) xin kết nối" in output:
            failures.append(f"{host} was offered for approval")
    refusals = logged_count(output, "Từ chối kết nối ngoài mạng nội bộ: " + net["outsider_ip"])
    if refusals != reports["outsider"]["counts"].get("requests", 0):
        failures.append(f"{refusals} outsider refusals logged for {reports['outsider']['counts']}")
    held_until = reports["slow"].get("held_until")
    for name, rep in reports.items():
        if roles[name] in ("uploader", "downloader") and \
                rep.get("phone", {}).get("status", {}).get("429", 0):
            failures.append(f"{name}: admitted phone answered 429")
        # The short profile's phones must finish while every slow connection is held.
        if profile_name == "short" and held_until and roles[name] in ("uploader", "downloader") \
                and rep.get("finished_at", 0) > held_until:
            failures.append(f"{name} finished after the slow connections were let go")

    peak_fds, peak_rss = skiff.peaks()
    fd_limit = idle[0] + profile["slow"] + 64 + 8 * (len(net["uploaders"]) + len(net["downloaders"]))
    if peak_fds > fd_limit or after[0] > idle[0] + 4:
        failures.append(f"descriptors: idle {idle[0]}, peak {peak_fds} (bound {fd_limit}), after {after[0]}")
    if peak_rss > idle[1] + (256 << 20) or not skiff.samples:
        failures.append(f"resident memory peaked at {peak_rss >> 20} MiB (idle {idle[1] >> 20} MiB)")
    return {"files_saved": len(saved), "peak_fds": peak_fds, "peak_rss_mib": peak_rss >> 20, **found}


def full_disk(net, work, binary, profile_name):
    """The receive folder on a 256 MiB tmpfs that one phone fills (the checks are in agents.py);
    here the program's side: its event line, a clean Ctrl-C, no mount left behind."""
    failures = []
    skiff = Skiff(net, work, binary, label="full-disk", home=os.path.join(work, "home-disk"), disk_mib=256)
    mounted = f"{skiff.home}/Downloads"
    if mounted not in open(f"/proc/{skiff.proc.pid}/mounts").read():
        failures.append("the small file system is not mounted under skiff's receive folder")
    job = {"base": skiff.base, "code": skiff.code, "name": "disk", "seconds": 90,
           "folder": skiff.view(skiff.receive_folder)}
    report = finish_agents([start_agent(net["uploaders"][0], "full_disk", job, work)],
                           time.monotonic() + 120, failures)["disk"]
    if 'không đủ chỗ trống để nhận "too-big.bin"' not in skiff.text():
        failures.append("no event line for the refused init")
    if (status := skiff.stop()) != 0:
        failures.append(f"full-disk skiff did not exit 0 on Ctrl-C: {status}")
    if mounted in open("/proc/self/mounts").read():
        failures.append("the small file system is still mounted")
    return {"files_saved": report["counts"].get("files", 0), "peak_fds": skiff.peaks()[0]}, failures


def main():
    net_path, work, binary, profile_name = sys.argv[1:5]
    chosen = sys.argv[5].split(",") if len(sys.argv) > 5 and sys.argv[5] else ("load", "faults", "full_disk")
    with open(net_path) as handle:
        net = json.load(handle)
    failures, figures = [], {"profile": profile_name, "shaping": net["shaping"], "loss": net["loss"]}
    if "load" in chosen:
        figures["load"] = load_and_hostile(net, work, binary, profile_name, failures)
    for key, scenario in (("faults", faults.run), ("full_disk", full_disk)):
        if key in chosen:
            log(f"scenario {key} begins")
            try:
                figures[key], failed = scenario(net, work, binary, profile_name)
            except Exception as error:  # a broken scenario is a failed run, with its reason
                failed = [f"stopped: {error!r}"]
            failures += [f"{key}: {text}" for text in failed]
    print(json.dumps(figures, ensure_ascii=False))
    for text in failures:
        print("FAILED:", text)
    print("VERDICT:", "FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
