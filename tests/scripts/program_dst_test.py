#!/usr/bin/env python3
"""The ringmere program across the night the clock falls back in New York.

The program runs under libfaketime from 01:59:30 EDT on 3 November 2024; half
a minute later the clock shows 01:00 again (EST). An alarm every minute counts
real time and rings at 01:00:00 and 01:01:00 EST, without waiting an hour for
the wall clock to reach 02:00. A daily alarm at 01:00:20 had its turn at
01:00:20 EDT and must not ring again when the clock shows that time twice.
`ringmere-cli schedule` at the same moment lists what the program runs."""
import datetime
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
CLI = os.environ.get("RINGMERE_CLI", "ringmere-cli")
FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
START = 1730613570  # 2024-11-03 05:59:30 UTC, 01:59:30 EDT


def daily(n, name, start, when):
    swap = {"AlEndType=0": "AlEndType=1",
            f"AlTime={alarmfiles.long_time(start)}": f"AlTime={alarmfiles.long_time(when)}"}
    return [swap.get(line, line) for line in alarmfiles.once(n, name, start)]


def main():
    missing = [p for p in (PROGRAM, FAKETIME, "/usr/share/zoneinfo/America/New_York")
               if not p or not os.path.exists(p)]
    if missing:
        print(f"missing: {missing!r}")
        print("0 passed, 1 failed")
        return 1
    failures = []
    night = datetime.datetime(2024, 11, 3)
    alarms = [alarmfiles.every_minutes(1, "Every minute", night, 1),
              daily(2, "Daily", datetime.datetime(2024, 11, 1), datetime.time(1, 0, 20))]
    fake = {"TZ": "America/New_York", "LD_PRELOAD": FAKETIME, "FAKETIME_FMT": "%s",
            "FAKETIME": f"@{START}", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}
    saved = {k: os.environ.get(k) for k in fake}
    os.environ.update(fake)  # for the programs this test starts, not for itself
    try:
        with tempfile.TemporaryDirectory() as work:
            proc, data = alarmfiles.start_program(PROGRAM, work, alarms, virtual_display=False)
            table = subprocess.run([CLI, "schedule", os.path.join(data, "alfile.ini"),
                                    "--count", "2"], capture_output=True, text=True)
            # The second run of the every-minute alarm comes after 01:00:20 EST.
            log = alarmfiles.wait_for_log(data, "01:01:00AM - Every minute executing.", 240)
            alarmfiles.stop(proc)
    finally:
        for k, v in saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v

    entries = [line for line in log.split("\r\n") if " - " in line]
    runs = [e for e in entries if e.endswith(" executing.")]
    want = ["01:00:00AM - Every minute executing.", "01:01:00AM - Every minute executing."]
    if runs != want:
        failures.append(f"runs {runs!r}, not {want!r}; log {log!r}")
    if table.returncode != 0 or table.stdout != (
            "1\t11/3/2024 01:00:00AM\tEvery minute\n2\t11/3/2024 01:01:00AM\tEvery minute\n"):
        failures.append(f"the schedule tool disagrees: {table!r}")
    print("runs:", runs)

    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
