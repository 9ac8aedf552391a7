#!/usr/bin/env python3
"""`suite.py TAG PHONES WORKDIR SKIFF short|long` on run.sh's network: load with hostile hosts,
faults and a full disk, each checked on the computer's side."""
import collections, contextlib, hashlib, json, os, re, signal, subprocess, sys, threading, time
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


def start_agent(host, role, job):  # (name, process, report path); the id is the agent's own
    job = {"name": host, **job}
    report = os.path.join(WORK, f"report-{job['name']}.json")
    proc = subprocess.Popen(["ip", "netns", "exec", f"{TAG}-{host}", sys.executable, os.path.join(os.path.dirname(
                             __file__), "agents.py"), role, json.dumps(job, ensure_ascii=False), report],
                            stdout=open(os.path.join(WORK, f"agent-{job['name']}.log"), "wb"), stderr=subprocess.STDOUT)
    return job["name"], proc, report


def finish_agents(running, deadline, failures):  # their reports by name; their failures join ours
    reports = {}
    for name, proc, path in running:
        try:
            proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            failures.append(f"{name} did not finish in time")
        try:
            reports[name] = json.loads(Path(path).read_text())
        except (OSError, ValueError):
            reports[name] = {"failures": ["wrote no report"]}
        failures += [f"{name}: {text}" for text in reports[name]["failures"]]
    return reports


def check_folder(folder, saved, failures, moment, attempted=None, allow_parts=False):
    """Each file told saved is whole, with its time, under a name of its own; any other file is
    one of `attempted` ((size, sha256)) whose answer a stop lost; part files only if allowed.
    Returns the bytes in part files."""
    sha256_of = lambda path: hashlib.file_digest(open(path, "rb"), "sha256").hexdigest()
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

    def __init__(self, label="skiff", home="home", disk_mib=None):
        self.home = os.path.join(WORK, home)
        downloads = os.path.join(self.home, "Downloads")
        os.makedirs(downloads, exist_ok=True)
        self.out_path = os.path.join(WORK, f"{label}-out.txt")
        # A session of its own: no bus, and the lock beside its settings.
        program = ["env", f"HOME={self.home}", "LANG=C.UTF-8", "XDG_RUNTIME_DIR=",
                   f"DBUS_SESSION_BUS_ADDRESS=unix:path={self.home}/no-bus", BINARY]
        if disk_mib:
            program = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                       f'mount -t tmpfs -o size={disk_mib}m,mode=0755 skiff-small "$0" && exec "$@"', downloads] + program
        # `ip netns exec`, unshare, sh and env each exec the next: the id is skiff's own.
        self.proc = subprocess.Popen(["ip", "netns", "exec", f"{TAG}-pc"] + program, stdin=subprocess.PIPE,
                                     stdout=open(self.out_path, "wb"), stderr=subprocess.STDOUT)
        self.pid_path = Path(WORK, "skiff.pid")  # run.sh's clean-up ends it by this id
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
        self.proc.send_signal(sig)
        try:
            result = self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            result = self.proc.wait(5) and "killed"
        self.pid_path.unlink(missing_ok=True)  # reaped: the id may be reused, run.sh must not use it
        if sig == signal.SIGINT and result != 0: failures.append(f"skiff did not exit 0 on Ctrl-C {moment}: {result}")


PROFILES = {  # fault times in seconds from the start; (role, at, seconds)
    "short": dict(rounds=1, seconds=100, big=9 * MIB + 12345, slow=200, slow_seconds=45, junk_rounds=2,
                  outsider_rounds=3, huge=0, first_stop=16, cuts=[("steady", 2, 3)], vanish=(3, 20),
                  freeze=("steady", 9, 6), settle=6, limit=150),
    # The long one waits out the 60 s inactivity timeout on the slow connections and the frozen
    # phone; one phone sends 1 GiB through a cut link before the restarts begin.
    "long": dict(rounds=4, seconds=600, big=21 * MIB + 777, slow=300, slow_seconds=90, junk_rounds=5,
                 outsider_rounds=20, huge=1 << 30, first_stop=170, cuts=[("steady", 60, 5), ("flaky", 110, 5),
                 ("flaky", 140, 5)], vanish=(3, 150), freeze=("flaky", 20, 75), settle=10, limit=720),
}


def timeline(windows, over, errors):  # each (at, seconds, do, undo) in a thread; undone at its end or once over
    def window(at, seconds, do, undo):
        if over.wait(at): return
        if subprocess.run(do, shell=True).returncode: return errors.append(do)
        over.wait(seconds)  # an action under way finishes before the undoing
        subprocess.run(undo, shell=True, stderr=subprocess.DEVNULL)
    threads = [threading.Thread(target=window, args=w, daemon=True) for w in windows]
    [t.start() for t in threads]
    return lambda: over.set() or [t.join(30) for t in threads]


def read_claims(paths):  # (saved, attempted): what phones were told is saved, every file they tried
    saved, attempted = [], set()
    for path in paths:
        with contextlib.suppress(OSError), open(path) as handle:
            for line in handle.read().splitlines():
                with contextlib.suppress(ValueError):  # a line cut by a freeze or a kill
                    item = json.loads(line)
                    if item["kind"] == "attempt": attempted.add((item["size"], item["sha256"]))
                    else: saved.append(item)
    return saved, attempted


def faults(failures):
    plan, runs, errors = PROFILES[PROFILE], [], []
    role = {"steady": "ph1", "flaky": "ph2", "walker": "ph3"}
    address_file, stop_file = os.path.join(WORK, "address.json"), os.path.join(WORK, "faults-stop")
    claims = [os.path.join(WORK, f"claims-f{host}.jsonl") for host in role.values()]

    def start_skiff():
        runs.append(Skiff(f"faults-{len(runs) + 1}", "home-faults"))
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
    huge = [{"name": "{phone}-huge.bin", "size": plan["huge"] + 4321, "first_round_only": True}] if plan["huge"] else []
    agents = {who: start_agent(host, "uploader", {
        "base": skiff.base, "code": skiff.code, "name": "f" + host, "seconds": plan["limit"], "rounds": 1000,
        "files": (huge if who == "steady" else []) + files, "address_file": address_file, "claims": path,
        "stop_file": stop_file}) for (who, host), path in zip(role.items(), claims)}
    # A cut takes the computer's end of the phone's veth down: out of reach.
    link = [(at, seconds, f"ip -n {TAG}-pc link set p-{role[who]} down", f"ip -n {TAG}-pc link set p-{role[who]} up")
            for who, at, seconds in plan["cuts"] + [("walker", *plan["vanish"])]]
    who, at, seconds = plan["freeze"]
    pid = agents[who][1].pid
    started = time.monotonic()
    end_faults = timeline(link + [(at, seconds, f"kill -STOP {pid}", f"kill -CONT {pid}")], threading.Event(), errors)
    reports = {}
    try:
        time.sleep(plan["first_stop"])
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
        end_faults()
        Path(stop_file).touch()
        reports = finish_agents(agents.values(), started + plan["limit"] + 60, failures)
    finally:
        end_faults()
        [proc.kill() for _, proc, _ in agents.values() if proc.poll() is None]
    skiff.stop(failures, "at the end")
    check("at the end")

    stats = collections.Counter()
    for name, rep in reports.items():
        stats.update(rep.get("phone", {}))
        if not rep.get("phone", {}).get("reopens"): failures.append(f"{name} never opened the page again after the restarts")
    failures += [f"fault timeline: {e}" for e in errors]
    if not stats.get("fresh_starts") or stats.get("resumed_after_restart"):
        failures.append(f"uploads on a restarted program, which holds none: {stats}")
    failures += [f"{run.out_path}: more approval prompts than {len(role)} phones"
                 for run in runs if run.text().count(PROMPT) > len(role)]


def load_and_hostile(failures):
    # Names built to leave the receive folder or to hurt whatever shows them.
    names = [f"../../{TAG}-up.txt", f"/tmp/{TAG}-absolute.txt", f"..\\..\\{TAG}-backslash.txt", "..", "",
             ".hidden-start.txt", "a\x00b.txt", "line\nbreak\r.txt", "colon:name.txt", "ü" * 200 + ".txt",
             "🙂" * 80 + ".png", "e\u0301" * 150, "same.txt", "same.txt", "SAME.txt", "dir/sub/same.txt"]
    profile, phones = PROFILES[PROFILE], [f"ph{i}" for i in range(1, PHONES + 1)]
    skiff = Skiff()
    time.sleep(1.0)
    idle = skiff.samples[-1] if skiff.samples else (0, 0)
    files = [{"name": "{phone}-r{round}-" + name, "size": size} for name, size in (
        ("empty.txt", 0), ("small.txt", 3 * 1024 + 7), ("photo.jpg", 200 * 1024 + 11), ("several.bin", profile["big"]),
        ("chunk-and-a-byte.bin", 4 * MIB + 1))] + [{"name": "clash.bin", "size": 1000}]
    # The short profile holds the slow connections for less than the 60 s inactivity timeout:
    # there none may be closed early and the phones must not starve.
    slow = {"connections": profile["slow"], "seconds": profile["slow_seconds"],
            **({"expect_timeout": [55, 75]} if PROFILE == "long" else {"not_before": 55})}
    agents = [(host, "uploader", {"rounds": profile["rounds"], "files": files}) for host in phones]
    # The outsider knows the code but reaches the computer from its own, non-private link.
    agents += [("out", "outsider", {"rounds": profile["outsider_rounds"],
                                    "base": skiff.base.replace("192.168.77.1", "100.64.77.1")}),
               ("guess", "guesser", {"burst": 50, "allowed_guesses": 10}), ("slow", "slow", slow),
               ("junk", "junk", {"rounds": profile["junk_rounds"]}), ("names", "uploader", {"rounds": 1, "files": [
                   {"name": n, "size": 100 + i} for i, n in enumerate(names)]})]
    running = [start_agent(host, role, {"base": skiff.base, "code": skiff.code, "seconds": profile["seconds"], **job})
               for host, role, job in agents]
    reports = finish_agents(running, time.monotonic() + profile["seconds"] + 60, failures)
    time.sleep(1.0)
    after = skiff.samples[-1] if skiff.samples else (0, 0)
    skiff.stop(failures, "after the load")
    output, received = skiff.text(), skiff.receive_folder

    check_folder(received, [item for rep in reports.values() for item in rep.get("sent", [])], failures, "load")
    failures += [f"unclean name in the receive folder: {n!r}" for n in os.listdir(received)
                 if n.startswith(".") or any(ord(c) < 0x20 or c in "\\:\x7f" for c in n) or len(n.encode()) > 255]
    # Nothing written outside the receive folder: the names' tag appears nowhere else.
    strays = [os.path.join(d, f) for root in (WORK, "/tmp", "/")
              for d, dirs, fs in (os.walk(root) if root == WORK else [next(os.walk(root))])
              if not d.startswith(received) for f in fs + dirs if TAG in f and os.path.join(d, f) != WORK]
    if strays: failures.append(f"files outside the receive folder: {strays[:5]}")

    # One prompt per admitted host (the phones, junk and names), none for the outsider or the guesser.
    if output.count(PROMPT) != len(phones) + 2:
        failures.append(f"{output.count(PROMPT)} approval prompts for {len(phones) + 2} admitted hosts")
    failures += [f"{ip} was offered for approval" for ip in ("100.64.77.2", "192.168.77.200") if f"({ip}) xin kết nối" in output]
    held_until = reports["slow"].get("held_until")
    for name in phones + ["names"]:
        if reports[name].get("phone", {}).get("429"): failures.append(f"{name}: admitted phone answered 429")
        # The short profile's phones must finish while every slow connection is held.
        if PROFILE == "short" and held_until and reports[name].get("finished_at", 0) > held_until:
            failures.append(f"{name} finished after the slow connections were let go")

    peak_fds, peak_rss = map(max, zip((0, 0), *skiff.samples))
    fd_limit = idle[0] + profile["slow"] + 64 + 8 * len(phones)
    if peak_fds > fd_limit or after[0] > idle[0] + 4:
        failures.append(f"descriptors: idle {idle[0]}, peak {peak_fds} (bound {fd_limit}), after {after[0]}")
    if peak_rss > idle[1] + (256 << 20) or not skiff.samples:
        failures.append(f"resident memory peaked at {peak_rss >> 20} MiB (idle {idle[1] >> 20} MiB)")


def full_disk(failures):
    """A phone fills the 256 MiB receive folder; here: the event line, Ctrl-C, no mount left."""
    skiff = Skiff("full-disk", "home-disk", disk_mib=256)
    mounted = f"{skiff.home}/Downloads"
    if mounted not in Path(f"/proc/{skiff.proc.pid}/mounts").read_text():
        failures.append("the small file system is not mounted under skiff's receive folder")
    job = {"base": skiff.base, "code": skiff.code, "name": "disk", "folder": f"/proc/{skiff.proc.pid}/root{skiff.receive_folder}"}
    finish_agents([start_agent("ph1", "full_disk", job)], time.monotonic() + 120, failures)
    if 'không đủ chỗ trống để nhận "too-big.bin"' not in skiff.text(): failures.append("no event line for the refused init")
    skiff.stop(failures, "with the disk full")
    if mounted in Path("/proc/self/mounts").read_text(): failures.append("the small file system is still mounted")


if __name__ == "__main__":
    TAG, PHONES, WORK, BINARY, PROFILE = sys.argv[1], int(sys.argv[2]), *sys.argv[3:6]
    failures = []
    for scenario in (load_and_hostile, faults, full_disk):
        failed = []
        try:
            scenario(failed)
        except Exception as error:  # a broken scenario is a failed run, with its reason
            failed.append(f"stopped: {error!r}")
        failures += [f"{scenario.__name__}: {text}" for text in failed]
    print(*[f"FAILED: {text}" for text in failures], "VERDICT: " + ("FAIL" if failures else "PASS"), sep="\n")
    sys.exit(1 if failures else 0)
