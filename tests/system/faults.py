"""The fault scenario: phones upload without pause while their links are cut and restored,
lose packets in bursts, vanish for a while or freeze; then skiff is stopped with Ctrl-C in the
middle of the transfers, started again, killed with SIGKILL, and started once more. The phones
read the computer's new address as a person would read the new QR code, and start over.

Verdict: every file a phone was told is saved is in the receive folder, whole, with its time;
any other visible file is a whole copy of a file a phone sent (its answer was lost in a stop);
Ctrl-C leaves no part file and exits 0; nothing is left half-written after SIGKILL except the
hidden part files, which the next program never takes for finished files.
"""
import contextlib
import json
import os
import signal
import subprocess
import threading
import time

from skiff_process import PART_SUFFIX, PROMPT, Skiff, check_folder, finish_agents, log, \
    show_address, start_agent

MIB = 1048576
PLANS = {
    # Roles: "steady" keeps sending (the 1 GiB upload in the long run), "flaky" suffers the
    # loss bursts of the short run, "walker" vanishes. Times in seconds from the start.
    "short": {"huge": None, "bursts_on": "flaky", "burst_every": 4, "first_stop": 16,
              "cuts": [("steady", 2, 3)], "vanish": (3, 20), "freeze": ("steady", 9, 6),
              "settle": 6, "limit": 150},
    # The frozen phone stays silent longer than the server's 60 s inactivity timeout; one
    # phone sends 1 GiB through loss bursts and a cut link before the restarts begin.
    "long": {"huge": 1 << 30, "bursts_on": "steady", "burst_every": 30, "first_stop": 170,
             "cuts": [("steady", 60, 5), ("flaky", 110, 5), ("flaky", 140, 5)],
             "vanish": (3, 150), "freeze": ("flaky", 20, 75), "settle": 10, "limit": 720},
}
BURSTS = [(300, 3.0), (1000, 2.0), (600, 3.0)]   # (packets dropped per 1000, seconds)


class Injector:
    """Cuts, loss bursts and freezes; each keeps its undo until end() runs it, and
    restore_all() runs those still pending whatever happens."""

    def __init__(self, net):
        self.net = net
        self.counts = {"link_cuts": 0, "loss_bursts": 0, "vanished": 0, "freezes": 0}
        self.pending = {}
        self.lock = threading.Lock()

    def _begin(self, kind, target, do, undo):
        do()
        with self.lock:
            self.counts[kind] += 1
            self.pending[(kind, target)] = undo

    def end(self, kind, target):
        with self.lock:
            undo = self.pending.pop((kind, target), None)
        if undo:
            undo()

    def cut(self, ns, kind="link_cuts"):
        # The computer's end of the phone's veth goes down: the phone's packets go nowhere,
        # as when it walks out of the Wi-Fi's reach.
        link = ["ip", "-n", self.net["computer"], "link", "set", "p-" + ns.split("-")[-1]]
        self._begin(kind, ns, lambda: subprocess.run(link + ["down"], check=True),
                    lambda: subprocess.run(link + ["up"], check=False))

    def loss(self, ns, permille):
        if not self.net.get("nft"):
            return self.cut(ns, "loss_bursts")  # no nftables: a burst of total loss
        rule = "meta l4proto tcp " + (f"numgen random mod 1000 < {permille} "
                                      if permille < 1000 else "") + "drop"
        table = ("table inet skiffburst {\n"
                 f"  chain in {{ type filter hook input priority -1; policy accept; {rule}; }}\n"
                 f"  chain out {{ type filter hook output priority -1; policy accept; {rule}; }}\n"
                 "}\n").encode()
        nft = ["ip", "netns", "exec", ns, "nft"]
        self._begin("loss_bursts", ns,
                    lambda: subprocess.run(nft + ["-f", "-"], check=True, input=table),
                    lambda: subprocess.run(nft + ["delete", "table", "inet", "skiffburst"],
                                           check=False, stderr=subprocess.DEVNULL))

    def freeze(self, pid):
        def thaw():
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGCONT)
        self._begin("freezes", pid, lambda: os.kill(pid, signal.SIGSTOP), thaw)

    def restore_all(self):
        for kind, target in list(self.pending):
            self.end(kind, target)


class Timeline:
    """Runs each (second, action) pair on a timer of its own until ended; errors are kept."""

    def __init__(self, events):
        self.errors = []
        self.timers = [threading.Timer(at, self._guarded, (action,)) for at, action in events]

    def _guarded(self, action):
        try:
            action()
        except Exception as error:  # reported, and the run goes on
            self.errors.append(repr(error))

    def start(self):
        for timer in self.timers:
            timer.daemon = True
            timer.start()

    def end(self):
        # Waits for an action already under way, so nothing begins after restore_all().
        for timer in self.timers:
            timer.cancel()
        for timer in self.timers:
            if timer.is_alive():
                timer.join(10)


def read_claims(paths):
    """(saved, attempted): what phones were told is saved, and every file they tried."""
    saved, attempted = [], set()
    for path in paths:
        try:
            with open(path) as handle:
                lines = handle.read().splitlines()
        except OSError:
            continue
        for line in lines:
            try:
                item = json.loads(line)
            except ValueError:
                continue  # a line cut by a freeze or a kill
            if item.get("kind") == "attempt":
                attempted.add((item["size"], item["sha256"]))
            else:
                saved.append(item)
    return saved, attempted


def check(folder, claim_paths, failures, moment, allow_parts):
    saved, attempted = read_claims(claim_paths)
    return check_folder(folder, saved, failures, moment, attempted, allow_parts)


def run(net, work, binary, profile_name):
    plan = PLANS[profile_name]
    failures, figures = [], {"profile": profile_name}
    phones = net["uploaders"][:3]
    steady, flaky, walker = phones[0], phones[min(1, len(phones) - 1)], phones[-1]
    home = os.path.join(work, "home-faults")
    address_file = os.path.join(work, "address.json")
    stop_file = os.path.join(work, "faults-stop")
    injector = Injector(net)
    samples, runs, checks, reports = [], [], [], {}

    def start_skiff(label):
        skiff = Skiff(net, work, binary, label=label, home=home)
        base, code = skiff.wait_ready()
        skiff.start_watchers()
        show_address(address_file, base, code)
        runs.append(skiff)
        log(f"{label} at {base}, code {code}")
        return skiff, base, code

    skiff, base, code = start_skiff("faults-1")
    folder = skiff.receive_folder()
    files = [{"name": "{phone}-f{round}-a.bin", "size": 5 * MIB + 17},
             {"name": "{phone}-f{round}-b.bin", "size": 9 * MIB + 3},
             {"name": "{phone}-f{round}-c.txt", "size": 2000}]
    agents, claim_paths, pid_of = [], [], {}
    for ns in phones:
        name = "f" + ns.split("-")[-1]
        mine = list(files)
        if plan["huge"] and ns == steady:
            mine.insert(0, {"name": "{phone}-huge.bin", "size": plan["huge"] + 4321,
                            "first_round_only": True})
        claims = os.path.join(work, f"claims-{name}.jsonl")
        claim_paths.append(claims)
        job = {"base": base, "code": code, "name": name, "seconds": plan["limit"],
               "rounds": 1000, "files": mine, "address_file": address_file,
               "claims": claims, "stop_file": stop_file, "tag": net["tag"]}
        proc, report = start_agent(ns, "uploader", job, work, name)
        agents.append((name, proc, report))
        pid_of[ns] = proc.pid

    # ---- network faults while every phone sends ---------------------------------------------
    role = {"steady": steady, "flaky": flaky, "walker": walker}
    events, every = [], plan["burst_every"]
    target = role[plan["bursts_on"]]

    def window(at, seconds, kind, target, begin):
        events.extend([(at, begin), (at + seconds, lambda: injector.end(kind, target))])

    for i, at in enumerate(range(2, plan["first_stop"] - 3, every)):
        permille, seconds = BURSTS[i % len(BURSTS)]
        window(at, seconds, "loss_bursts", target, lambda p=permille: injector.loss(target, p))
    for who, at, seconds in plan["cuts"]:
        window(at, seconds, "link_cuts", role[who], lambda n=role[who]: injector.cut(n))
    at, seconds = plan["vanish"]
    window(at, seconds, "vanished", walker, lambda: injector.cut(walker, "vanished"))
    who, at, seconds = plan["freeze"]
    pid = pid_of[role[who]]
    window(at, seconds, "freezes", pid, lambda: injector.freeze(pid))
    timeline = Timeline(events)
    started = time.monotonic()
    timeline.start()

    try:
        # The long run lets the 1 GiB upload end before the restarts begin.
        time.sleep(plan["first_stop"])
        if plan["huge"]:
            limit = started + plan["limit"] - 120
            while time.monotonic() < limit and not any(
                    s["name"].endswith("-huge.bin") for s in read_claims(claim_paths)[0]):
                time.sleep(2)
            if not any(s["name"].endswith("-huge.bin") for s in read_claims(claim_paths)[0]):
                failures.append("the 1 GiB upload was not saved before the restarts")

        # ---- Ctrl-C in the middle of the transfers ------------------------------------------
        samples += skiff.samples
        code_int = skiff.stop()
        figures["sigint_exit"] = code_int
        if code_int != 0:
            failures.append(f"skiff did not exit 0 on Ctrl-C mid-transfer: {code_int}")
        checks.append(check(folder, claim_paths, failures, "after Ctrl-C", False))

        # ---- started again, then killed with SIGKILL mid-transfer ---------------------------
        skiff, base, code = start_skiff("faults-2")
        since = time.time()
        # A part file of this program holding a whole chunk: the next chunk is on its way.
        limit = time.monotonic() + 40
        mid_chunk = False
        while time.monotonic() < limit and not mid_chunk:
            time.sleep(0.1)
            for entry in os.scandir(folder):
                if entry.name.endswith(PART_SUFFIX):
                    stat = entry.stat()
                    if stat.st_mtime > since and stat.st_size >= 4 * MIB:
                        mid_chunk = True
        if not mid_chunk:
            failures.append("no phone was sending to the restarted program before SIGKILL")
        samples += skiff.samples
        skiff.kill()
        checks.append(check(folder, claim_paths, failures, "after SIGKILL", True))

        # ---- started once more; the phones come back and finish --------------------------------
        skiff, base, code = start_skiff("faults-3")
        vanish_end = started + sum(plan["vanish"])
        time.sleep(max(0.0, vanish_end - time.monotonic()) + plan["settle"])
        timeline.end()
        injector.restore_all()
        with open(stop_file, "w"):
            pass
        reports = finish_agents(agents, started + plan["limit"] + 60, failures)
    finally:
        timeline.end()
        injector.restore_all()
        for _, proc, _ in agents:
            if proc.poll() is None:
                proc.kill()
                proc.wait(5)

    samples += skiff.samples
    code_int = skiff.stop()
    if code_int != 0:
        failures.append(f"skiff did not exit 0 on Ctrl-C at the end: {code_int}")
    checks.append(check(folder, claim_paths, failures, "at the end", False))

    stats = {}
    for name, rep in reports.items():
        if rep.get("phone", {}).get("reopens", 0) < 1:
            failures.append(f"{name} never opened the page again after the restarts")
        for key, value in rep.get("phone", {}).items():
            if isinstance(value, int):
                stats[key] = stats.get(key, 0) + value
    failures += [f"fault timeline: {e}" for e in timeline.errors]
    saved, _ = read_claims(claim_paths)
    if not stats.get("fresh_starts"):
        failures.append("no upload started over on a restarted program")
    if stats.get("resumed_after_restart", 0):
        failures.append(f"{stats['resumed_after_restart']} uploads resumed on a restarted "
                        "program, which holds no uploads")
    for skiff_run in runs:
        prompts = skiff_run.text().count(PROMPT)
        if prompts > len(phones):
            failures.append(f"{skiff_run.out_path}: {prompts} approval prompts for "
                            f"{len(phones)} phones")
    figures.update({
        "phones": len(phones),
        "files_saved": len(saved),
        "bytes_saved": sum(s["size"] for s in saved),
        "largest_file": max((s["size"] for s in saved), default=0),
        "faults": dict(injector.counts, sigint_stops=2, sigkill_restarts=1,
                       vanish_s=plan["vanish"][1], freeze_s=plan["freeze"][2]),
        "recoveries": {k: stats.get(k, 0) for k in
                       ("network_errors", "resumes", "chunk_resends", "reopens",
                        "fresh_starts", "resumed_after_restart")},
        "after_sigint": {"part_files": checks[0]["parts"],
                         "unclaimed_whole_files": checks[0]["extra"]},
        "after_sigkill": {"part_files": checks[1]["parts"], "part_bytes": checks[1]["part_bytes"],
                          "unclaimed_whole_files": checks[1]["extra"]},
        "unclaimed_whole_files_at_end": checks[-1]["extra"],
        "peak_fds": max((s[1] for s in samples), default=0),
        "peak_rss_mib": round(max((s[2] for s in samples), default=0) / MIB, 1),
        "seconds": round(time.monotonic() - started, 1),
        "files_lost": sum(c["lost"] for c in checks),
        "files_damaged": sum(c["damaged"] for c in checks),
    })
    return figures, failures
