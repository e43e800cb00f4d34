#!/usr/bin/env python3
"""The ringmere program runs a scripted alarm when it falls due and logs the run.

Starts the real program on a virtual display (xvfb-run, or the offscreen
platform where there is none) with a program folder of its own."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")


def main():
    if not PROGRAM or not os.path.exists(PROGRAM):
        print(f"no program at {PROGRAM!r}")
        print("0 passed, 1 failed")
        return 1
    failures = []
    with tempfile.TemporaryDirectory() as work:
        # Lead time for the program to start on a busy machine.
        due = alarmfiles.next_whole_second(8)
        steps = [alarmfiles.sleep_step(1), alarmfiles.repeat_step(1, 1)]
        log = alarmfiles.run_program_until_logged(
            PROGRAM, work, [alarmfiles.once(1, "Nightly job", due, steps)], "Script Completed.")

        entries = [line.split(" - ", 1)[1] for line in log.split("\r\n") if " - " in line]
        for want in ("Nightly job executing.", "Script Completed."):
            if want not in entries:
                failures.append(f"log lacks {want!r}: {log!r}")
        if entries and entries[0] != "Nightly job executing.":
            failures.append(f"the run's first line is {entries[0]!r}")
        # The window that closes itself after its run may log so before the stop.
        run = entries[:-1] if entries and entries[-1] == "Window closed." else entries
        if run and run[-1] != "Script Completed.":
            failures.append(f"the run's last line is {run[-1]!r}")
        # The date line first, CR LF everywhere.
        if log and not log.startswith(alarmfiles.short_date(due) + "\r\n"):
            failures.append(f"no date line first: {log[:40]!r}")
        if "\n" in log.replace("\r\n", ""):
            failures.append("a line does not end in CR LF")
        # The sleep step runs twice: once, and once more for the repeat.
        if entries.count("Sleeping 1 seconds.") != 2:
            failures.append(f"the sleep step did not run twice: {entries!r}")
        print("logged:", entries)

    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
