#!/usr/bin/env python3
"""100 ringmere-cli edits started at once on one alarm file of ALARMS simple
alarms (100 unless given, all switched off): 60 adds, 20 enables, 20 renames. Prints the wall
time until the last has ended, how many waited out the lock (they changed
nothing and are run again), and the lost edits: those that said they were done
but are not in the file afterwards. Say the machine's load beside the figure.
Usage: bench/cli_parallel_edits.py [BUILD_DIR] [ALARMS]"""
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-rel"
    alarms = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    cli = os.path.join(ROOT, build, "tools", "ringmere-cli")
    if not os.access(cli, os.X_OK):
        sys.exit(f"build the tool first: ninja -C {build} ringmere-cli")
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "alfile.ini")
        with open(path, "wb") as out:
            subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_alarm_file.py"),
                            "--simple", str(alarms)], stdout=out, check=True)
        edits = [["add", path, "--name", f"P{i}", "--at", "2030-01-01 09:00"] for i in range(60)]
        edits += [["enable", path, f"Alarm {i}"] for i in range(1, 21)]
        edits += [["rename", path, f"Alarm {i}", f"Renamed {i}"] for i in range(21, 41)]
        start = time.perf_counter()
        running = [subprocess.Popen([cli] + e, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, text=True) for e in edits]
        waited = [e for e, p in zip(edits, running) if p.wait() != 0 and
                  "stayed locked" in p.stderr.read()]
        wall = time.perf_counter() - start
        failed = [e for e, p in zip(edits, running) if p.returncode != 0 and e not in waited]
        for e in waited:
            subprocess.run([cli] + e, check=True, capture_output=True)
        listed = json.loads(subprocess.run([cli, "list", path, "--json"], check=True,
                                           capture_output=True, text=True).stdout)
        names = {a["name"]: a["enabled"] for a in listed}
        lost = sum(f"P{i}" not in names for i in range(60))
        lost += sum(not names.get(f"Alarm {i}", False) for i in range(1, 21))
        lost += sum(f"Renamed {i}" not in names for i in range(21, 41))
        torn = subprocess.run([cli, "check", path], capture_output=True).returncode != 0
    print(f"100 parallel edits on {alarms} alarms: {wall:.2f} s wall, "
          f"{len(waited)} waited out the lock, {len(failed)} failed otherwise, "
          f"lost edits {lost}, file {'TORN' if torn else 'whole'}, "
          f"{len(listed)} alarms afterwards (expected {alarms + 60})")
    return 1 if lost or failed or torn or len(listed) != alarms + 60 else 0


if __name__ == "__main__":
    sys.exit(main())
