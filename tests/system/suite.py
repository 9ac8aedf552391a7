#!/usr/bin/env python3
"""`suite.py NET.json WORKDIR SKIFF short|long` on run.sh's network: load with hostile hosts,
faults and a full disk, each checked on the computer's side."""
import collections
import contextlib
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

PROMPT = "Kiểm tra số này giống số trên điện thoại: "
PART_SUFFIX = ".porter-part"
MIB = 1048576


def wait_until(ready, seconds, step=0.1):  # False when `seconds` pass first
    limit = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > limit: return False
        time.sleep(step)
    return True


def start_agent(ns, role, job, work):  # (name, process, report path); the id is the agent's own
    report = os.path.join(work, f"report-{job['name']}.json")
    proc = subprocess.Popen(["ip", "netns", "exec", ns, sys.executable, os.path.join(os.path.dirname(__file__),
                             "agents.py"), role, json.dumps(job, ensure_ascii=False), report],
                            stdout=open(os.path.join(work, f"agent-{job['name']}.log"), "wb"), stderr=subprocess.STDOUT)
    return job["name"], proc, report


def finish_agents(running, deadline, failures):  # their reports by name; their failures join ours
    reports = {}
    for name, proc, path in running:
        try:
            proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
            failures.append(f"{name} did not finish in time")
        try:
            reports[name] = json.loads(Path(path).read_text())
        except (OSError, ValueError):
            reports[name] = {"failures": ["wrote no report"]}
        failures += [f"{name}: {text}" for text in reports[name]["failures"]]
    return reports


def sha256_of(path):
    with open(path, "rb") as handle:
        return hashlib.file_digest(handle, "sha256").hexdigest()


def check_folder(folder, saved, failures, moment, attempted=None, allow_parts=False):
    """Each file told saved is whole, with its time, under a name of its own; any other file is
    one of `attempted` ((size, sha256)) whose answer a stop lost; part files only if allowed.
    Returns the bytes in part files."""
    entries = {e.name: e for e in os.scandir(folder)} if os.path.isdir(folder) else {}
    parts = {n: e.stat().st_size for n, e in entries.items() if n.endswith(PART_SUFFIX)}
    failures += [f"{moment}: part file {n!r} left" for n in parts if not n.startswith(".") or not allow_parts]
    claimed = set(parts)
    for item in saved:
        final, entry = item["final"], entries.get(item["final"])
        if not final or "/" in final or entry is None or final in parts:
            failures.append(f"{moment}: {item['name'][:60]!r} told saved as {final!r}, missing")
            continue
        if final in claimed: failures.append(f"{moment}: two uploads were told they are {final!r}")
        claimed.add(final)
        stat = entry.stat(follow_symlinks=False)
        if not entry.is_file(follow_symlinks=False) or stat.st_size != item["size"] \
                or sha256_of(entry.path) != item["sha256"] or abs(stat.st_mtime_ns - item["mtime_ms"] * 10**6) > 10**6:
            failures.append(f"{moment}: {final!r} differs in bytes or time from what was sent")
    failures += [f"{moment}: {n!r} is no whole file a phone sent" for n, e in entries.items() if n not in claimed
                 and (attempted is None or (e.stat().st_size, sha256_of(e.path)) not in attempted)]
    return sum(parts.values())


class Skiff:
    """A run of skiff; `disk_mib` puts its receive folder on a tmpfs in a mount namespace of its own."""

    def __init__(self, net, work, binary, shares=(), label="skiff", home=None, disk_mib=None):
        self.home = home or os.path.join(work, "home")
        downloads = os.path.join(self.home, "Downloads")
        os.makedirs(downloads, exist_ok=True)
        self.out_path = os.path.join(work, f"{label}-out.txt")
        # A session of its own: no bus, and the lock beside its settings.
        program = ["env", f"HOME={self.home}", "LANG=C.UTF-8", "XDG_RUNTIME_DIR=",
                   f"DBUS_SESSION_BUS_ADDRESS=unix:path={self.home}/no-bus", binary, *shares]
        if disk_mib:
            program = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                       f'mount -t tmpfs -o size={disk_mib}m,mode=0755 skiff-small "$0" && exec "$@"',
                       downloads] + program
        # `ip netns exec`, unshare, sh and env each exec the next: the id is skiff's own.
        self.proc = subprocess.Popen(["ip", "netns", "exec", net["computer"]] + program, stdin=subprocess.PIPE,
                                     stdout=open(self.out_path, "wb"), stderr=subprocess.STDOUT)
        self.pid_path = Path(work, "skiff.pid")  # run.sh's clean-up ends it by this id
        self.pid_path.write_text(str(self.proc.pid))
        self.receive_folder = os.path.join(downloads, "Skiff")
        self.samples, self.stopping = [], threading.Event()
        address = re.compile(r"(http://[0-9.]+:\d+)/\?t=(\d{6})")
        if not wait_until(lambda: address.search(self.text()) or self.proc.poll() is not None, 20) \
                or not (m := address.search(self.text())):
            raise RuntimeError("skiff did not print its address:\n" + self.text()[-2000:])
        self.base, self.code = m.groups()
        threading.Thread(target=self._watch, daemon=True).start()

    def text(self):
        return Path(self.out_path).read_text(errors="replace")

    def _watch(self):  # answers "c" to every prompt, as the person at the computer would, and samples
        answered, pid = 0, self.proc.pid
        while not self.stopping.wait(0.2):
            with contextlib.suppress(OSError, StopIteration):
                for _ in range(self.text().count(PROMPT) - answered):
                    self.proc.stdin.write(b"c\n")
                    self.proc.stdin.flush()
                    answered += 1
                with open(f"/proc/{pid}/status") as handle:
                    rss = next(int(l.split()[1]) * 1024 for l in handle if l.startswith("VmRSS"))
                self.samples.append((len(os.listdir(f"/proc/{pid}/fd")), rss))

    def stop(self, failures, moment, sig=signal.SIGINT):  # Ctrl-C, which must exit 0, or SIGKILL as a crash
        self.stopping.set()
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            result = self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
            result = "killed"
        self.pid_path.unlink(missing_ok=True)  # reaped: the id may be reused, run.sh must not use it
        if sig == signal.SIGINT and result != 0: failures.append(f"skiff did not exit 0 on Ctrl-C {moment}: {result}")


PLANS = {  # times in seconds from the start; (role, at, seconds)
    "short": {"huge": None, "first_stop": 16, "cuts": [("steady", 2, 3)], "vanish": (3, 20),
              "freeze": ("steady", 9, 6), "settle": 6, "limit": 150},
    # The frozen phone stays silent past the 60 s inactivity timeout; one phone sends 1 GiB
    # through a cut link before the restarts begin.
    "long": {"huge": 1 << 30, "first_stop": 170, "cuts": [("steady", 60, 5), ("flaky", 110, 5), ("flaky", 140, 5)],
             "vanish": (3, 150), "freeze": ("flaky", 20, 75), "settle": 10, "limit": 720},
}


class Faults:
    """Shell commands at set times, in one thread; each undone at its end or by end()."""

    def __init__(self):
        self.plan, self.pending, self.errors, self.over = [], {}, [], threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)

    def window(self, at, seconds, do, undo):
        self.plan += [(at, do, undo), (at + seconds, do, None)]

    def _run(self):
        started = time.monotonic()
        for at, do, undo in sorted(self.plan, key=lambda step: step[0]):
            if self.over.wait(max(0.0, started + at - time.monotonic())): return
            if undo is None:
                self._undo(do)
            elif subprocess.run(do, shell=True).returncode == 0:
                self.pending[do] = undo
            else:  # reported, and the run goes on
                self.errors.append(do)

    def _undo(self, do):
        if (undo := self.pending.pop(do, None)) is not None:
            subprocess.run(undo, shell=True, stderr=subprocess.DEVNULL)

    def end(self):  # an action under way finishes before the undoing
        self.over.set()
        if self.thread.ident:
            self.thread.join(30)
        for do in list(self.pending):
            self._undo(do)


def read_claims(paths):  # (saved, attempted): what phones were told is saved, every file they tried
    saved, attempted = [], set()
    for path in paths:
        with contextlib.suppress(OSError), open(path) as handle:
            for line in handle.read().splitlines():
                with contextlib.suppress(ValueError):  # a line cut by a freeze or a kill
                    item = json.loads(line)
                    if item["kind"] == "attempt":
                        attempted.add((item["size"], item["sha256"]))
                    else:
                        saved.append(item)
    return saved, attempted


def faults(net, work, binary, profile_name, failures):
    plan, runs = PLANS[profile_name], []
    phones = net["uploaders"][:3]
    role = {"steady": phones[0], "flaky": phones[min(1, len(phones) - 1)], "walker": phones[-1]}
    home, address_file = os.path.join(work, "home-faults"), os.path.join(work, "address.json")
    stop_file, timeline = os.path.join(work, "faults-stop"), Faults()

    def start_skiff():
        runs.append(Skiff(net, work, binary, label=f"faults-{len(runs) + 1}", home=home))
        # What the computer's screen shows, replaced at once.
        Path(address_file + ".new").write_text(json.dumps({"base": runs[-1].base, "code": runs[-1].code}))
        os.replace(address_file + ".new", address_file)
        return runs[-1]

    def check(moment, allow_parts=False):
        saved, attempted = read_claims(claims)
        check_folder(folder, saved, failures, moment, attempted, allow_parts)

    skiff = start_skiff()
    folder = skiff.receive_folder
    files = [{"name": "{phone}-f{round}-" + name, "size": size}
             for name, size in (("a.bin", 5 * MIB + 17), ("b.bin", 9 * MIB + 3), ("c.txt", 2000))]
    huge = [{"name": "{phone}-huge.bin", "size": (plan["huge"] or 0) + 4321, "first_round_only": True}]
    agents, claims, pid_of = [], [], {}
    for ns in phones:
        name = "f" + ns.split("-")[-1]
        claims.append(os.path.join(work, f"claims-{name}.jsonl"))
        agents.append(start_agent(ns, "uploader", {
            "base": skiff.base, "code": skiff.code, "name": name, "seconds": plan["limit"], "rounds": 1000,
            "files": (huge if plan["huge"] and ns == role["steady"] else []) + files,
            "address_file": address_file, "claims": claims[-1], "stop_file": stop_file}, work))
        pid_of[ns] = agents[-1][1].pid

    def cut(at, seconds, ns):  # the computer's end of the phone's veth goes down: out of reach
        link = f"ip -n {net['computer']} link set p-{ns.split('-')[-1]}"
        timeline.window(at, seconds, link + " down", link + " up")

    for who, at, seconds in plan["cuts"] + [("walker", *plan["vanish"])]:
        cut(at, seconds, role[who])
    who, at, seconds = plan["freeze"]
    timeline.window(at, seconds, f"kill -STOP {pid_of[role[who]]}", f"kill -CONT {pid_of[role[who]]}")
    started = time.monotonic()
    timeline.thread.start()
    reports = {}
    try:
        time.sleep(plan["first_stop"])
        # The 1 GiB upload ends before the restarts begin.
        if plan["huge"] and not wait_until(lambda: any(s["name"].endswith("-huge.bin") for s in read_claims(
                claims)[0]), started + plan["limit"] - 120 - time.monotonic(), 2):
            failures.append("the 1 GiB upload was not saved before the restarts")
        skiff.stop(failures, "mid-transfer")
        check("after Ctrl-C")

        skiff, since = start_skiff(), time.time()
        # SIGKILL once a part file of this run holds a whole chunk: the next is on its way.
        if not wait_until(lambda: any(e.name.endswith(PART_SUFFIX) and e.stat().st_mtime > since
                                      and e.stat().st_size >= 4 * MIB for e in os.scandir(folder)), 40):
            failures.append("no phone was sending to the restarted program before SIGKILL")
        skiff.stop(failures, "", signal.SIGKILL)
        check("after SIGKILL", True)

        skiff = start_skiff()
        time.sleep(max(0.0, started + sum(plan["vanish"]) - time.monotonic()) + plan["settle"])
        timeline.end()
        Path(stop_file).touch()
        reports = finish_agents(agents, started + plan["limit"] + 60, failures)
    finally:
        timeline.end()
        for _, proc, _ in agents:
            if proc.poll() is None:
                proc.kill()
                proc.wait(5)
    skiff.stop(failures, "at the end")
    check("at the end")

    stats = collections.Counter()
    for name, rep in reports.items():
        stats.update(rep.get("phone", {}))
        if not rep.get("phone", {}).get("reopens"):
            failures.append(f"{name} never opened the page again after the restarts")
    failures += [f"fault timeline: {e}" for e in timeline.errors]
    if not stats.get("fresh_starts") or stats.get("resumed_after_restart"):
        failures.append(f"uploads on a restarted program, which holds none: {stats}")
    failures += [f"{run.out_path}: more approval prompts than {len(phones)} phones"
                 for run in runs if run.text().count(PROMPT) > len(phones)]


PROFILES = {  # the long one waits for the inactivity timeout to close the slow connections
    "short": {"rounds": 1, "seconds": 100, "big": 9 * MIB + 12345, "slow": 200,
              "slow_seconds": 45, "junk_rounds": 2, "outsider_rounds": 3},
    "long": {"rounds": 4, "seconds": 600, "big": 21 * MIB + 777, "slow": 300,
             "slow_seconds": 90, "junk_rounds": 5, "outsider_rounds": 20},
}


def hostile_names(tag):  # built to leave the receive folder or to hurt whatever shows them
    return [f"../../{tag}-up.txt", f"/tmp/{tag}-absolute.txt", f"..\\..\\{tag}-backslash.txt", "..",
            "", ".hidden-start.txt", "a\x00b.txt", "line\nbreak\r.txt", "colon:name.txt",
            "ü" * 200 + ".txt", "🙂" * 80 + ".png", "e\u0301" * 150, "same.txt", "same.txt",
            "SAME.txt", "dir/sub/same.txt"]


def load_and_hostile(net, work, binary, profile_name, failures):
    profile, tag = PROFILES[profile_name], net["tag"]
    skiff = Skiff(net, work, binary)
    base, phones = skiff.base, net["uploaders"]
    time.sleep(1.0)
    idle = skiff.samples[-1] if skiff.samples else (0, 0)
    files = [{"name": "{phone}-r{round}-" + name, "size": size} for name, size in (
        ("empty.txt", 0), ("small.txt", 3 * 1024 + 7), ("photo.jpg", 200 * 1024 + 11), ("several.bin", profile["big"]),
        ("chunk-and-a-byte.bin", 4 * MIB + 1))] + [{"name": "clash.bin", "size": 1000}]
    # The short profile holds the slow connections for less than the 60 s inactivity timeout:
    # there none may be closed early and the phones must not starve.
    slow = {"connections": profile["slow"], "seconds": profile["slow_seconds"],
            **({"expect_timeout": [55, 75]} if profile_name == "long" else {"not_before": 55})}
    agents = [(ns, "uploader", {"rounds": profile["rounds"], "files": files}) for ns in net["uploaders"]]
    # The outsider knows the code but reaches the computer from its own, non-private link.
    agents += [(net["outsider"], "outsider", {"rounds": profile["outsider_rounds"], "base":
                                              base.replace(net["server_ip"], net["outsider_gateway"])}),
               (net["guesser"], "guesser", {"burst": 50, "allowed_guesses": 10}),
               (net["slow"], "slow", slow), (net["junk"], "junk", {"rounds": profile["junk_rounds"]}),
               (net["names"], "uploader", {"rounds": 1, "files": [
                   {"name": n, "size": 100 + i} for i, n in enumerate(hostile_names(tag))]})]
    running = [start_agent(ns, role, {"base": base, "code": skiff.code, "tag": tag, "seconds": profile["seconds"],
                                      "name": role if ns not in phones + [net["names"]] else ns.split("-")[-1], **job},
                           work) for ns, role, job in agents]
    reports = finish_agents(running, time.monotonic() + profile["seconds"] + 60, failures)
    time.sleep(1.0)
    after = skiff.samples[-1] if skiff.samples else (0, 0)
    skiff.stop(failures, "after the load")
    output, received = skiff.text(), skiff.receive_folder

    check_folder(received, [item for rep in reports.values() for item in rep.get("sent", [])], failures, "load")
    failures += [f"unclean name in the receive folder: {n!r}" for n in os.listdir(received)
                 if n.startswith(".") or any(ord(c) < 0x20 or c in "\\:\x7f" for c in n) or len(n.encode()) > 255]
    # Nothing written outside the receive folder: the names' tag appears nowhere else.
    strays = [os.path.join(d, f) for root in (work, "/tmp", "/")
              for d, dirs, fs in (os.walk(root) if root == work else [next(os.walk(root))])
              if not d.startswith(received) for f in fs + dirs if tag in f and os.path.join(d, f) != work]
    if strays: failures.append(f"files outside the receive folder: {strays[:5]}")

    # One prompt per admitted host (the phones, junk and names), none for the outsider or the guesser.
    if output.count(PROMPT) != len(phones) + 2:
        failures.append(f"{output.count(PROMPT)} approval prompts for {len(phones) + 2} admitted hosts")
    failures += [f"{host} was offered for approval" for host in (net["outsider_ip"], net["guesser_ip"])
                 if f"({host}) xin kết nối" in output]
    held_until = reports["slow"].get("held_until")
    for name in (ns.split("-")[-1] for ns in phones + [net["names"]]):
        if reports[name].get("phone", {}).get("429"): failures.append(f"{name}: admitted phone answered 429")
        # The short profile's phones must finish while every slow connection is held.
        if profile_name == "short" and held_until and reports[name].get("finished_at", 0) > held_until:
            failures.append(f"{name} finished after the slow connections were let go")

    peak_fds, peak_rss = map(max, zip((0, 0), *skiff.samples))
    fd_limit = idle[0] + profile["slow"] + 64 + 8 * len(phones)
    if peak_fds > fd_limit or after[0] > idle[0] + 4:
        failures.append(f"descriptors: idle {idle[0]}, peak {peak_fds} (bound {fd_limit}), after {after[0]}")
    if peak_rss > idle[1] + (256 << 20) or not skiff.samples:
        failures.append(f"resident memory peaked at {peak_rss >> 20} MiB (idle {idle[1] >> 20} MiB)")


def full_disk(net, work, binary, profile_name, failures):
    """A phone fills the 256 MiB receive folder; here: the event line, Ctrl-C, no mount left."""
    skiff = Skiff(net, work, binary, label="full-disk", home=os.path.join(work, "home-disk"), disk_mib=256)
    mounted = f"{skiff.home}/Downloads"
    if mounted not in Path(f"/proc/{skiff.proc.pid}/mounts").read_text():
        failures.append("the small file system is not mounted under skiff's receive folder")
    job = {"base": skiff.base, "code": skiff.code, "name": "disk", "seconds": 90,
           "folder": f"/proc/{skiff.proc.pid}/root{skiff.receive_folder}"}
    finish_agents([start_agent(net["uploaders"][0], "full_disk", job, work)], time.monotonic() + 120, failures)
    if 'không đủ chỗ trống để nhận "too-big.bin"' not in skiff.text():
        failures.append("no event line for the refused init")
    skiff.stop(failures, "with the disk full")
    if mounted in Path("/proc/self/mounts").read_text(): failures.append("the small file system is still mounted")


def main():
    net_path, work, binary, profile_name = sys.argv[1:5]
    net, failures = json.loads(Path(net_path).read_text()), []
    for scenario in (load_and_hostile, faults, full_disk):
        failed = []
        try:
            scenario(net, work, binary, profile_name, failed)
        except Exception as error:  # a broken scenario is a failed run, with its reason
            failed.append(f"stopped: {error!r}")
        failures += [f"{scenario.__name__}: {text}" for text in failed]
    print(*[f"FAILED: {text}" for text in failures], "VERDICT: " + ("FAIL" if failures else "PASS"), sep="\n")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
