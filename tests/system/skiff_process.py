"""What every scenario uses: skiff in the computer's namespace, agents in theirs, folder checks."""
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time

PROMPT = "Kiểm tra số này giống số trên điện thoại: "
PART_SUFFIX = ".porter-part"


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def start_agent(ns, role, job, work):
    """(name, process, report path) of a role of agents.py; the id is the agent's own."""
    name = job["name"]
    with open(os.path.join(work, f"job-{name}.json"), "w") as handle:
        json.dump(job, handle, ensure_ascii=False)
    report = os.path.join(work, f"report-{name}.json")
    proc = subprocess.Popen(["ip", "netns", "exec", ns, sys.executable,
                             os.path.join(os.path.dirname(__file__), "agents.py"), role,
                             handle.name, report],
                            stdout=open(os.path.join(work, f"agent-{name}.log"), "wb"),
                            stderr=subprocess.STDOUT)
    return name, proc, report


def finish_agents(running, deadline, failures):
    """The agents' reports by name, their failures added to `failures`."""
    reports = {}
    for name, proc, path in running:
        try:
            proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
            failures.append(f"{name} did not finish in time")
        try:
            with open(path) as handle:
                reports[name] = json.load(handle)
        except (OSError, ValueError):
            reports[name] = {"failures": ["wrote no report"], "counts": {}}
        failures += [f"{name}: {text}" for text in reports[name]["failures"]]
    return reports


def sha256_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as handle:
        for block in iter(lambda: handle.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def check_folder(folder, saved, failures, moment, attempted=None, allow_parts=False):
    """Each file phones were told is saved is whole, with its time, under a name of its own; any
    other file is one of `attempted` ((size, sha256)) whose answer a stop lost. Part files are
    hidden, and absent unless `allow_parts`."""
    entries = {e.name: e for e in os.scandir(folder)} if os.path.isdir(folder) else {}
    found = dict.fromkeys(("lost", "damaged", "extra", "part_bytes"), 0)
    for name, entry in entries.items():
        if name.endswith(PART_SUFFIX):
            found["part_bytes"] += entry.stat().st_size
            if not name.startswith(".") or not allow_parts:
                failures.append(f"{moment}: part file {name!r} left")
    claimed = set()
    for item in saved:
        final, entry = item["final"], entries.get(item["final"])
        if not final or "/" in final or entry is None:
            found["lost"] += 1
            failures.append(f"{moment}: {item['name'][:60]!r} told saved as {final!r}, missing")
            continue
        if final in claimed:
            failures.append(f"{moment}: two uploads were told they are {final!r}")
        claimed.add(final)
        stat = entry.stat(follow_symlinks=False)
        if not entry.is_file(follow_symlinks=False) or stat.st_size != item["size"] \
                or sha256_of(entry.path) != item["sha256"] \
                or abs(stat.st_mtime_ns - item["mtime_ms"] * 1000000) > 1000000:
            found["damaged"] += 1
            failures.append(f"{moment}: {final!r} differs in bytes or time from what was sent")
    for name, entry in entries.items():
        if name in claimed or name.endswith(PART_SUFFIX):
            continue
        found["extra"] += 1
        if attempted is None or (entry.stat().st_size, sha256_of(entry.path)) not in attempted:
            found["damaged"] += 1
            failures.append(f"{moment}: {name!r} is no whole file a phone sent")
    return found


class Skiff:
    """One run of skiff; `disk_mib` puts its receive folder on a tmpfs in a mount namespace of its
    own, gone with the process whatever happens, seen through /proc/PID/root."""

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
                       f'mount -t tmpfs -o size={disk_mib}m,mode=0755 skiff-small "$0" '
                       '&& exec "$@"', downloads] + program
        # `ip netns exec`, unshare, sh and env each exec the next: the id is skiff's own.
        self.proc = subprocess.Popen(["ip", "netns", "exec", net["computer"]] + program,
                                     stdin=subprocess.PIPE, stdout=open(self.out_path, "wb"),
                                     stderr=subprocess.STDOUT)
        self.pid_path = os.path.join(work, "skiff.pid")  # run.sh's clean-up ends it by this id
        with open(self.pid_path, "w") as handle:
            handle.write(str(self.proc.pid))
        self.receive_folder = os.path.join(downloads, "Skiff")
        self.samples, self.stopping = [], threading.Event()
        self.base, self.code = self._wait_ready()
        for target in (self._approve_loop, self._sample_loop):
            threading.Thread(target=target, daemon=True).start()
        log(f"{label} at {self.base}, code {self.code}")

    def view(self, path):
        """`path` as skiff sees it (its receive folder may be in a mount only it has)."""
        return f"/proc/{self.proc.pid}/root{os.path.abspath(path)}"

    def text(self):
        with open(self.out_path, "rb") as handle:
            return handle.read().decode("utf-8", "replace")

    def _wait_ready(self):
        limit = time.monotonic() + 20
        while time.monotonic() < limit and self.proc.poll() is None:
            if m := re.search(r"(http://[0-9.]+:\d+)/\?t=(\d{6})", self.text()):
                return m.group(1), m.group(2)
            time.sleep(0.1)
        raise RuntimeError("skiff did not print its address:\n" + self.text()[-2000:])

    def _approve_loop(self):
        """Answers "c" to every prompt, as the person at the computer would."""
        answered = 0
        while not self.stopping.wait(0.2):
            while answered < self.text().count(PROMPT) and self.proc.poll() is None:
                try:
                    self.proc.stdin.write(b"c\n")
                    self.proc.stdin.flush()
                except OSError:
                    break
                answered += 1

    def _sample_loop(self):
        while not self.stopping.wait(0.25):
            try:
                fds = len(os.listdir(f"/proc/{self.proc.pid}/fd"))
                with open(f"/proc/{self.proc.pid}/status") as handle:
                    rss = next(int(l.split()[1]) * 1024 for l in handle if l.startswith("VmRSS"))
            except (OSError, StopIteration):
                continue
            self.samples.append((fds, rss))

    def peaks(self):
        return tuple(max((s[i] for s in self.samples), default=0) for i in (0, 1))

    def stop(self, sig=signal.SIGINT):
        """Ctrl-C as the person at the terminal would, or SIGKILL as a crash; the exit status,
        or "killed" when Ctrl-C took too long."""
        self.stopping.set()
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            result = self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
            result = "killed"
        if os.path.exists(self.pid_path):  # reaped: the id may be reused, run.sh must not use it
            os.unlink(self.pid_path)
        return result
