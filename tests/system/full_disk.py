"""The full-disk scenario: skiff's receive folder on a 256 MiB tmpfs of its own (mounted in a
mount namespace only skiff has, so it disappears with the process whatever happens). One phone
fills it; the checks run in agents.py (`full_disk`), which sees the folder through
/proc/PID/root; here the program's side: its event line, a clean Ctrl-C, no mount left."""
import os
import time

from skiff_process import Skiff, finish_agents, log, start_agent

DISK_MIB = 256


def run(net, work, binary, profile_name):
    failures = []
    skiff = Skiff(net, work, binary, label="full-disk", home=os.path.join(work, "home-disk"),
                  disk_mib=DISK_MIB)
    base, code = skiff.wait_ready()
    skiff.start_watchers()
    log(f"full-disk skiff at {base}, code {code}, receive folder on {DISK_MIB} MiB tmpfs")
    folder = skiff.view(skiff.receive_folder())
    mounts = open(f"/proc/{skiff.proc.pid}/mounts").read()
    if f"{skiff.home}/Downloads" not in mounts:
        failures.append("the small file system is not mounted under skiff's receive folder")
    ns = net["uploaders"][0]
    job = {"base": base, "code": code, "name": "disk", "folder": folder, "seconds": 90}
    started = time.monotonic()
    proc, report_path = start_agent(ns, "full_disk", job, work, "disk")
    report = finish_agents([("disk", proc, report_path)], started + 120, failures)["disk"]
    output = skiff.text()
    if 'không đủ chỗ trống để nhận "too-big.bin"' not in output:
        failures.append("no event line for the refused init")
    peak_fds, peak_rss = skiff.peaks()
    exit_code = skiff.stop()
    if exit_code != 0:
        failures.append(f"full-disk skiff did not exit 0 on Ctrl-C: {exit_code}")
    # The tmpfs lived in skiff's own mount namespace: nothing of it may remain here.
    if f"{skiff.home}/Downloads" in open("/proc/self/mounts").read():
        failures.append("the small file system is still mounted")
    counts = report.get("counts", {})
    figures = {
        "disk_mib": DISK_MIB,
        "files_saved": counts.get("files", 0),
        "bytes_saved": counts.get("bytes", 0),
        "refused_inits_disk_full": counts.get("refused_inits", 0),
        "refused_chunks_write_failed": counts.get("refused_chunks", 0),
        "free_when_full": report.get("free_when_full"),
        "resumed_after_freeing": report.get("phone", {}).get("resumes", 0),
        "files_damaged": counts.get("damaged", 0),
        "peak_fds": peak_fds, "peak_rss_mib": round(peak_rss / 1048576, 1),
        "seconds": round(time.monotonic() - started, 1),
    }
    return figures, failures
