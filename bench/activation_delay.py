#!/usr/bin/env python3
"""The delay from an alarm's time to its run window being shown, over 20
activations of the real program on a virtual display.

Usage: bench/activation_delay.py [PROGRAM] (default build-rel/app/ringmere)."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "scripts"))
import alarmfiles  # noqa: E402

COUNT = 20


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build-rel/app/ringmere"
    program = os.path.abspath(program)
    if not os.path.exists(program):
        sys.exit(f"no program at {program}")
    with tempfile.TemporaryDirectory() as work:
        for sub in ("data", "config", "sys", "run"):
            os.makedirs(os.path.join(work, sub), mode=0o700)
        first = alarmfiles.next_whole_second(3)
        dues = [first.timestamp() + 2 * i for i in range(COUNT)]
        alarms = [alarmfiles.once(i + 1, f"Alarm {i + 1}",
                                  first.fromtimestamp(dues[i]), message="Time!")
                  for i in range(COUNT)]
        alarmfiles.write(os.path.join(work, "data", "alfile.ini"), alarms, logging=False)
        probe = os.path.join(work, "probe")
        env = dict(os.environ, RINGMERE_DIR=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_CONFIG_DIRS=os.path.join(work, "sys"),
                   XDG_RUNTIME_DIR=os.path.join(work, "run"), RINGMERE_ACTIVATION_PROBE=probe)
        env.pop("QT_QPA_PLATFORM", None)
        command = [program, "startup"]
        if shutil.which("xvfb-run"):
            command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24"] + command
        else:
            env["QT_QPA_PLATFORM"] = "offscreen"
        proc = subprocess.Popen(command, env=env, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        time.sleep(dues[-1] - time.time() + 3)
        alarmfiles.stop(proc)
        shown = {}
        with open(probe) as f:
            for line in f:
                index, ms = line.split()
                shown.setdefault(int(index), int(ms) / 1000.0)
    delays = [shown[i + 1] - dues[i] for i in range(COUNT) if i + 1 in shown]
    if len(delays) != COUNT:
        sys.exit(f"only {len(delays)} of {COUNT} alarms were shown")
    print(f"{COUNT} activations: median {statistics.median(delays) * 1000:.0f} ms, "
          f"max {max(delays) * 1000:.0f} ms, min {min(delays) * 1000:.0f} ms")


if __name__ == "__main__":
    main()
