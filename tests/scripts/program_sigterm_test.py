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

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
TRIES = 3
HANG_GUARD = 60  # seconds; only a guard, never a measure


def one_try(work):
    # Lead time for the program to start on a busy machine.
    due = alarmfiles.next_whole_second(8)
    alarms = [alarmfiles.once(1, "Long nap", due,
                              [alarmfiles.sleep_step(600), alarmfiles.repeat_step(1, 1000000)],
                              hide=False)]
    # Shown: a window that refuses to close stops Qt's quit.
    proc, data = alarmfiles.start_program(PROGRAM, work, alarms, hidden=False,
                                          virtual_display=False)
    try:
        log = alarmfiles.wait_for_log(data, "Sleeping 600 seconds.", HANG_GUARD)
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
