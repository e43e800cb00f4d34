#!/usr/bin/env python3
"""COUNT alarms (200 unless given) due in the same second: how many of them
start, and the time from their due moment to the first and the last start,
for the real program on a virtual display.

Usage: bench/burst_delay.py [PROGRAM] [COUNT] (default build-rel/app/ringmere)."""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "scripts"))
import alarmfiles  # noqa: E402

LEAD = 10  # seconds for the program to start and build its table
GUARD = 300  # seconds to wait for the last start; only a guard


def starts(probe):
    shown = {}
    if os.path.exists(probe):
        with open(probe) as f:
            for line in f:
                index, ms = line.split()
                shown.setdefault(int(index), int(ms) / 1000.0)
    return shown


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-rel/app/ringmere")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    if not os.path.exists(program):
        sys.exit(f"no program at {program}")
    with tempfile.TemporaryDirectory() as work:
        due = alarmfiles.next_whole_second(LEAD)
        alarms = [alarmfiles.once(i + 1, f"Alarm {i + 1}", due, message="Time!")
                  for i in range(count)]
        probe = os.path.join(work, "probe")
        proc, _ = alarmfiles.start_program(program, work, alarms,
                                           extra_env={"RINGMERE_ACTIVATION_PROBE": probe})
        try:
            deadline = due.timestamp() + GUARD
            seen, quiet_since = 0, time.time()
            # Until all have started, or none has for 10 s after the due moment.
            while time.time() < deadline:
                time.sleep(0.5)
                n = len(starts(probe))
                if n != seen:
                    seen, quiet_since = n, time.time()
                if n == count or (time.time() > due.timestamp() + 10 and
                                  time.time() - quiet_since > 10):
                    break
        finally:
            alarmfiles.stop(proc)
        shown = starts(probe)
    if not shown:
        sys.exit("no alarm started")
    first, last = min(shown.values()), max(shown.values())
    print(f"{count} alarms due at one second: {len(shown)} started; "
          f"first {1000 * (first - due.timestamp()):.0f} ms after the due moment, "
          f"last {last - due.timestamp():.1f} s after it")


if __name__ == "__main__":
    main()
