"""Phones upload while links are cut, lose packets, vanish or freeze, and skiff is stopped with
Ctrl-C, restarted, killed and restarted: no file told saved is lost, no part file stays visible."""
import contextlib
import json
import os
import signal
import subprocess
import threading
import time

from skiff_process import PART_SUFFIX, PROMPT, Skiff, check_folder, finish_agents, start_agent

MIB = 1048576
PLANS = {  # times in seconds from the start; (role, at, seconds)
    "short": {"huge": None, "bursts_on": "flaky", "burst_every": 4, "first_stop": 16,
              "cuts": [("steady", 2, 3)], "vanish": (3, 20), "freeze": ("steady", 9, 6),
              "settle": 6, "limit": 150},
    # The frozen phone stays silent past the 60 s inactivity timeout; one phone sends 1 GiB
    # through loss bursts and a cut link before the restarts begin.
    "long": {"huge": 1 << 30, "bursts_on": "steady", "burst_every": 30, "first_stop": 170,
             "cuts": [("steady", 60, 5), ("flaky", 110, 5), ("flaky", 140, 5)],
             "vanish": (3, 150), "freeze": ("flaky", 20, 75), "settle": 10, "limit": 720},
}
BURSTS = [(300, 3.0), (1000, 2.0), (600, 3.0)]  # (packets dropped per 1000, seconds)


class Faults:
    """Timed faults, each undone at its end; end() undoes whatever is still in force."""

    def __init__(self, net):
        self.net, self.pending, self.errors, self.timers = net, {}, [], []
        self.lock = threading.Lock()

    def window(self, at, seconds, key, do, undo):
        def begin():
            try:
                do()
                with self.lock:
                    self.pending[key] = undo
            except Exception as error:  # reported, and the run goes on
                self.errors.append(repr(error))
        self.timers += [threading.Timer(at, begin), threading.Timer(at + seconds, self.undo, (key,))]

    def undo(self, key):
        with self.lock:
            undo = self.pending.pop(key, None)
        if undo:
            undo()

    def cut(self, at, seconds, ns, kind="cut"):
        # The computer's end of the phone's veth goes down, as when it walks out of reach.
        link = ["ip", "-n", self.net["computer"], "link", "set", "p-" + ns.split("-")[-1]]
        self.window(at, seconds, (kind, ns), lambda: subprocess.run(link + ["down"], check=True),
                    lambda: subprocess.run(link + ["up"]))

    def loss(self, at, seconds, ns, permille):
        if not self.net["nft"]:
            return self.cut(at, seconds, ns, "loss")  # no nftables: a burst of total loss
        rule = "meta l4proto tcp " + (f"numgen random mod 1000 < {permille} " if permille < 1000 else "") + "drop"
        table = "table inet skiffburst {\n" + "".join(
            f"  chain {c} {{ type filter hook {h} priority -1; policy accept; {rule}; }}\n"
            for c, h in (("in", "input"), ("out", "output"))) + "}\n"
        nft = ["ip", "netns", "exec", ns, "nft"]
        self.window(at, seconds, ("loss", ns),
                    lambda: subprocess.run(nft + ["-f", "-"], check=True, input=table.encode()),
                    lambda: subprocess.run(nft + ["delete", "table", "inet", "skiffburst"],
                                           stderr=subprocess.DEVNULL))

    def freeze(self, at, seconds, pid):
        def thaw():
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGCONT)
        self.window(at, seconds, ("freeze", pid), lambda: os.kill(pid, signal.SIGSTOP), thaw)

    def start(self):
        for timer in self.timers:
            timer.daemon = True
            timer.start()

    def end(self):
        for timer in self.timers:
            timer.cancel()
        for timer in self.timers:  # an action under way finishes before the undoing
            if timer.is_alive():
                timer.join(10)
        for key in list(self.pending):
            self.undo(key)


def read_claims(paths):
    """(saved, attempted): what phones were told is saved, and every file they tried."""
    saved, attempted = [], set()
    for path in paths:
        with contextlib.suppress(OSError), open(path) as handle:
            for line in handle.read().splitlines():
                try:
                    item = json.loads(line)
                except ValueError:
                    continue  # a line cut by a freeze or a kill
                if item["kind"] == "attempt":
                    attempted.add((item["size"], item["sha256"]))
                else:
                    saved.append(item)
    return saved, attempted


def run(net, work, binary, profile_name):
    plan, failures, checks, runs = PLANS[profile_name], [], [], []
    phones = net["uploaders"][:3]
    role = {"steady": phones[0], "flaky": phones[min(1, len(phones) - 1)], "walker": phones[-1]}
    home, address_file = os.path.join(work, "home-faults"), os.path.join(work, "address.json")
    stop_file, faults = os.path.join(work, "faults-stop"), Faults(net)

    def start_skiff():
        runs.append(Skiff(net, work, binary, label=f"faults-{len(runs) + 1}", home=home))
        with open(address_file + ".new", "w") as handle:  # what the computer's screen shows
            json.dump({"base": runs[-1].base, "code": runs[-1].code}, handle)
        os.replace(address_file + ".new", address_file)
        return runs[-1]

    def check(moment, allow_parts=False):
        saved, attempted = read_claims(claims)
        checks.append(check_folder(folder, saved, failures, moment, attempted, allow_parts))

    skiff = start_skiff()
    folder = skiff.receive_folder
    files = [{"name": "{phone}-f{round}-a.bin", "size": 5 * MIB + 17},
             {"name": "{phone}-f{round}-b.bin", "size": 9 * MIB + 3},
             {"name": "{phone}-f{round}-c.txt", "size": 2000}]
    agents, claims, pid_of = [], [], {}
    for ns in phones:
        name = "f" + ns.split("-")[-1]
        huge = [{"name": "{phone}-huge.bin", "size": (plan["huge"] or 0) + 4321, "first_round_only": True}]
        claims.append(os.path.join(work, f"claims-{name}.jsonl"))
        agents.append(start_agent(ns, "uploader", {
            "base": skiff.base, "code": skiff.code, "name": name, "seconds": plan["limit"],
            "rounds": 1000, "files": (huge if plan["huge"] and ns == role["steady"] else []) + files,
            "address_file": address_file, "claims": claims[-1], "stop_file": stop_file}, work))
        pid_of[ns] = agents[-1][1].pid

    target = role[plan["bursts_on"]]
    for i, at in enumerate(range(2, plan["first_stop"] - 3, plan["burst_every"])):
        faults.loss(at, BURSTS[i % 3][1], target, BURSTS[i % 3][0])
    for who, at, seconds in plan["cuts"]:
        faults.cut(at, seconds, role[who])
    faults.cut(*plan["vanish"], role["walker"], "vanish")
    who, at, seconds = plan["freeze"]
    faults.freeze(at, seconds, pid_of[role[who]])
    started = time.monotonic()
    faults.start()
    reports = {}
    try:
        time.sleep(plan["first_stop"])
        if plan["huge"]:  # the 1 GiB upload ends before the restarts begin
            while time.monotonic() < started + plan["limit"] - 120 and not any(
                    s["name"].endswith("-huge.bin") for s in read_claims(claims)[0]):
                time.sleep(2)
            if not any(s["name"].endswith("-huge.bin") for s in read_claims(claims)[0]):
                failures.append("the 1 GiB upload was not saved before the restarts")
        if (status := skiff.stop()) != 0:
            failures.append(f"skiff did not exit 0 on Ctrl-C mid-transfer: {status}")
        check("after Ctrl-C")

        skiff = start_skiff()
        since, limit = time.time(), time.monotonic() + 40
        # SIGKILL once a part file of this run holds a whole chunk: the next is on its way.
        while time.monotonic() < limit and not any(
                e.name.endswith(PART_SUFFIX) and e.stat().st_mtime > since and e.stat().st_size >= 4 * MIB
                for e in os.scandir(folder)):
            time.sleep(0.1)
        if time.monotonic() >= limit:
            failures.append("no phone was sending to the restarted program before SIGKILL")
        skiff.stop(signal.SIGKILL)
        check("after SIGKILL", True)

        skiff = start_skiff()
        time.sleep(max(0.0, started + sum(plan["vanish"]) - time.monotonic()) + plan["settle"])
        faults.end()
        open(stop_file, "w").close()
        reports = finish_agents(agents, started + plan["limit"] + 60, failures)
    finally:
        faults.end()
        for _, proc, _ in agents:
            if proc.poll() is None:
                proc.kill()
                proc.wait(5)
    if (status := skiff.stop()) != 0:
        failures.append(f"skiff did not exit 0 on Ctrl-C at the end: {status}")
    check("at the end")

    stats = {}
    for name, rep in reports.items():
        if rep.get("phone", {}).get("reopens", 0) < 1:
            failures.append(f"{name} never opened the page again after the restarts")
        for key, value in rep.get("phone", {}).items():
            if isinstance(value, int):
                stats[key] = stats.get(key, 0) + value
    failures += [f"fault timeline: {e}" for e in faults.errors]
    saved, _ = read_claims(claims)
    if not stats.get("fresh_starts") or stats.get("resumed_after_restart"):
        failures.append(f"uploads on a restarted program, which holds none: {stats}")
    for done in runs:
        if done.text().count(PROMPT) > len(phones):
            failures.append(f"{done.out_path}: more approval prompts than {len(phones)} phones")
    return {"files_saved": len(saved), "recoveries": stats, "peak_fds": max(r.peaks()[0] for r in runs),
            "files_lost": sum(c["lost"] for c in checks),
            "unclaimed_after_sigkill": checks[1]["extra"] if len(checks) > 1 else None}, failures
