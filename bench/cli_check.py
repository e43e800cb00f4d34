#!/usr/bin/env python3
"""Time of `ringmere-cli check` on a file of ALARMS simple alarms (10,000
unless given, about 14 MB): wall and CPU time over RUNS runs (20 unless
given), best and median. For 10,000 alarms the median wall time must stay
under 0.1 s on an otherwise idle machine; the CPU time says what the run
cost when the machine is busy.
Usage: bench/cli_check.py [BUILD_DIR] [ALARMS] [RUNS]"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-rel"
    alarms = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    cli = os.path.join(ROOT, build, "tools", "ringmere-cli")
    if not os.access(cli, os.X_OK):
        sys.exit(f"build the tool first: ninja -C {build} ringmere-cli")
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "alfile.ini")
        with open(path, "wb") as out:
            subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_alarm_file.py"),
                            "--simple", str(alarms)], stdout=out, check=True)
        walls, cpus = [], []
        for _ in range(runs + 1):  # the first run only warms the page cache
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            done = subprocess.run([cli, "check", path], capture_output=True, text=True)
            wall = time.perf_counter() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            if done.returncode != 0:
                sys.exit(f"check did not read the file cleanly:\n{done.stderr}")
            walls.append(wall)
            cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        walls, cpus = walls[1:], cpus[1:]
        size = os.path.getsize(path) / 1e6
    print(f"check, {alarms} simple alarms ({size:.1f} MB), {runs} runs:")
    print(f"  wall: best {min(walls) * 1000:.0f} ms, median {statistics.median(walls) * 1000:.0f} ms")
    print(f"  CPU:  best {min(cpus) * 1000:.0f} ms, median {statistics.median(cpus) * 1000:.0f} ms")


if __name__ == "__main__":
    main()
