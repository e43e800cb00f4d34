#!/usr/bin/env python3
"""SIGTERM ends the program while a run window waits in a long, repeated sleep step.

A run's waits are nested event loops; the signal must end them all, and the
program with status 0. Each try starts the real program on the offscreen
platform with a program folder of its own."""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
TRIES = 3
HANG_GUARD = 60  # seconds; only a guard, never a measure


def one_try(work):
    data = os.path.join(work, "data")
    for sub in ("data", "config", "sys", "run"):
        os.makedirs(os.path.join(work, sub), mode=0o700, exist_ok=True)
    # Lead time for the program to start on a busy machine.
    due = alarmfiles.next_whole_second(8)
    alarmfiles.write(os.path.join(data, "alfile.ini"),
                     [alarmfiles.once(1, "Long nap", due,
                                      [alarmfiles.sleep_step(600),
                                       alarmfiles.repeat_step(1, 1000000)],
                                      hide=False)],
                     logging=True)
    env = dict(os.environ, RINGMERE_DIR=data, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_CONFIG_DIRS=os.path.join(work, "sys"), XDG_RUNTIME_DIR=os.path.join(work, "run"),
               QT_QPA_PLATFORM="offscreen")
    # Shown: a window that refuses to close stops Qt's quit.
    proc = subprocess.Popen([PROGRAM], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        log_path = os.path.join(data, "allog.txt")
        deadline = time.time() + HANG_GUARD
        log = ""
        while time.time() < deadline and "Sleeping 600 seconds." not in log:
            if os.path.exists(log_path):
                with open(log_path, "rb") as f:
                    log = f.read().decode("utf-8", "replace")
            time.sleep(0.2)
        if "Sleeping 600 seconds." not in log:
            return f"the run never started: {log!r}"
        proc.send_signal(signal.SIGTERM)
        try:
            status = proc.wait(HANG_GUARD)
        except subprocess.TimeoutExpired:
            return "the program went on after SIGTERM"
        if status != 0:
            return f"the program ended with status {status}"
        return None
    finally:
        alarmfiles.stop(proc)


def main():
    if not PROGRAM or not os.path.exists(PROGRAM):
        print(f"no program at {PROGRAM!r}")
        print("0 passed, 1 failed")
        return 1
    failures = []
    for i in range(TRIES):
        with tempfile.TemporaryDirectory() as work:
            problem = one_try(work)
            if problem:
                failures.append(f"try {i + 1}: {problem}")
    for f in failures:
        print("FAIL:", f)
    print(f"{TRIES - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
