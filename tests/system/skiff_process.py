"""The program under test as the suite runs it: started in the computer's namespace, its
output watched, its approval prompts answered, its descriptors and memory sampled."""
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))

PROMPT = "Kiểm tra số này giống số trên điện thoại: "
PART_SUFFIX = ".porter-part"   # how the server names the part file of an upload in progress


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def start_agent(net_ns, role, job, work, name):
    """Runs one role of agents.py inside a namespace; `ip netns exec` execs python, so the
    process id is the agent's own (it can be stopped and continued by id)."""
    job_path = os.path.join(work, f"job-{name}.json")
    with open(job_path, "w") as handle:
        json.dump(job, handle, ensure_ascii=False)
    report = os.path.join(work, f"report-{name}.json")
    errors = open(os.path.join(work, f"agent-{name}.log"), "wb")
    proc = subprocess.Popen(["ip", "netns", "exec", net_ns, sys.executable,
                             os.path.join(HERE, "agents.py"), role, job_path, report],
                            stdout=errors, stderr=subprocess.STDOUT)
    return proc, report


def read_report(path):
    try:
        with open(path) as handle:
            return json.load(handle)
    except (OSError, ValueError):
        return None


def finish_agents(running, deadline, failures):
    """Waits for (name, proc, report_path) agents until `deadline`; their reports by name,
    each agent's own failures added to `failures`."""
    reports = {}
    for name, proc, path in running:
        try:
            proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
            failures.append(f"{name} did not finish in time")
        reports[name] = read_report(path) or {"failures": [f"{name} wrote no report"],
                                               "counts": {}}
        failures += [f"{name}: {text}" for text in reports[name]["failures"]]
    return reports


def check_folder(folder, saved, failures, moment, attempted=None, allow_parts=False):
    """The receive folder against what phones were told is saved: each such file there, whole,
    with its time, under a name no other upload was told. Any other visible file is a failure,
    unless `attempted` ((size, sha256) of every file tried) holds it: an upload whose answer a
    stop lost. Part files must be hidden, and absent unless `allow_parts`. Returns counts."""
    entries = {e.name: e for e in os.scandir(folder)} if os.path.isdir(folder) else {}
    found = {"lost": 0, "damaged": 0, "extra": 0, "parts": 0, "part_bytes": 0}
    for name, entry in entries.items():
        if name.endswith(PART_SUFFIX):
            found["parts"] += 1
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
                or sha256_of(entry.path) != item["sha256"]:
            found["damaged"] += 1
            failures.append(f"{moment}: {final!r} differs from what was sent")
        elif abs(stat.st_mtime_ns - item["mtime_ms"] * 1000000) > 1000000:
            found["damaged"] += 1
            failures.append(f"{moment}: {final!r} has time {stat.st_mtime_ns}, sent "
                            f"{item['mtime_ms']} ms")
    for name, entry in entries.items():
        if name in claimed or name.endswith(PART_SUFFIX):
            continue
        found["extra"] += 1
        size = entry.stat().st_size
        if attempted is None or (size, sha256_of(entry.path)) not in attempted:
            found["damaged"] += 1
            failures.append(f"{moment}: {name!r} ({size} bytes) is no whole file a phone sent")
    return found


def show_address(path, base, code):
    """What the computer's screen shows, for phones to read after a restart (the QR code)."""
    with open(path + ".new", "w") as handle:
        json.dump({"base": base, "code": code}, handle)
    os.replace(path + ".new", path)


def sha256_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as handle:
        for block in iter(lambda: handle.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


class Skiff:
    """One run of skiff. `disk_mib` puts its receive folder on a tmpfs of that size, mounted
    in a mount namespace of skiff's own: the mount goes away with the process, whatever
    happens, and the suite sees the files through /proc/PID/root while it runs."""

    def __init__(self, net, work, binary, shares=(), label="skiff", home=None, disk_mib=None):
        self.home = home or os.path.join(work, "home")
        os.makedirs(os.path.join(self.home, "Downloads"), exist_ok=True)
        self.out_path = os.path.join(work, f"{label}-out.txt")
        self.out = open(self.out_path, "wb")
        # A session of its own: no bus, and the lock beside its settings, so it never meets
        # the desktop's Skiff.
        program = ["env", f"HOME={self.home}", "LANG=C.UTF-8", "XDG_RUNTIME_DIR=",
                   f"DBUS_SESSION_BUS_ADDRESS=unix:path={self.home}/no-bus", binary] + list(shares)
        if disk_mib:
            downloads = os.path.join(self.home, "Downloads")
            program = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                       f'mount -t tmpfs -o size={disk_mib}m,mode=0755 skiff-small "$0" '
                       '&& exec "$@"', downloads] + program
        # `ip netns exec`, unshare, sh and env each exec the next: the id is skiff's own.
        self.proc = subprocess.Popen(["ip", "netns", "exec", net["computer"]] + program,
                                     stdin=subprocess.PIPE, stdout=self.out,
                                     stderr=subprocess.STDOUT)
        self.pid_path = os.path.join(work, "skiff.pid")
        with open(self.pid_path, "w") as handle:
            handle.write(str(self.proc.pid))
        self.samples = []
        self.answered = 0
        self.stopping = threading.Event()

    def view(self, path):
        """`path` as skiff sees it (its receive folder may be in a mount only it has)."""
        return f"/proc/{self.proc.pid}/root{os.path.abspath(path)}"

    def receive_folder(self):
        return os.path.join(self.home, "Downloads", "Skiff")

    def text(self):
        with open(self.out_path, "rb") as handle:
            return handle.read().decode("utf-8", "replace")

    def wait_ready(self, limit=20.0):
        start = time.monotonic()
        while time.monotonic() - start < limit:
            m = re.search(r"http://([0-9.]+):(\d+)/\?t=(\d{6})", self.text())
            if m:
                return f"http://{m.group(1)}:{m.group(2)}", m.group(3)
            if self.proc.poll() is not None:
                break
            time.sleep(0.1)
        raise RuntimeError("skiff did not print its address:\n" + self.text()[-2000:])

    def approve_loop(self):
        """Answers "c" once for every prompt, the way the person at the computer would."""
        while not self.stopping.wait(0.2):
            count = self.text().count(PROMPT)
            while self.answered < count and self.proc.poll() is None:
                try:
                    self.proc.stdin.write(b"c\n")
                    self.proc.stdin.flush()
                except OSError:
                    break
                self.answered += 1

    def sample_loop(self):
        pid = self.proc.pid
        while not self.stopping.wait(0.25):
            try:
                fds = len(os.listdir(f"/proc/{pid}/fd"))
                with open(f"/proc/{pid}/status") as handle:
                    rss = next(int(l.split()[1]) * 1024 for l in handle if l.startswith("VmRSS"))
            except (OSError, StopIteration):
                continue
            self.samples.append((time.monotonic(), fds, rss))

    def start_watchers(self):
        for target in (self.approve_loop, self.sample_loop):
            threading.Thread(target=target, daemon=True).start()

    def peaks(self):
        return (max((s[1] for s in self.samples), default=0),
                max((s[2] for s in self.samples), default=0))

    def _reaped(self, result):
        self.stopping.set()
        # Reaped: the id may be reused, so run.sh must not signal it any more.
        if os.path.exists(self.pid_path):
            os.unlink(self.pid_path)
        return result

    def stop(self, limit=15):
        """Ctrl-C, as the person at the terminal would; the exit status, or "killed"."""
        self.stopping.set()
        result = self.proc.returncode
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                result = self.proc.wait(limit)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
                result = "killed"
        return self._reaped(result)

    def kill(self):
        """SIGKILL: no chance to clean up, as after a crash or a power cut of the process."""
        self.stopping.set()
        if self.proc.poll() is None:
            self.proc.kill()
        return self._reaped(self.proc.wait(10))
