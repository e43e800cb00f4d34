#!/usr/bin/env python3
"""`ringmere-cli schedule` as a user runs it: arguments, output and exit status."""

import os
import subprocess
import sys
import tempfile
from datetime import date, datetime, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from schedule_rrule_test import file_text  # noqa: E402  (the alarm file layout)

CLI = os.environ.get("RINGMERE_CLI", "ringmere-cli")

passed = failed = 0


def check(what, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAIL {what}\n{detail}")


def run(*args):
    return subprocess.run([CLI, "schedule", *args], capture_output=True, text=True)


def alarm(name, kind_type, start, at, x=1, **more):
    a = {"name": name, "enabled": True, "time": at, "end_type": 1, "x": x, "weekdays": [],
         "dates": [], "monthdays": [], "mweekdays": [], "weeks": [], "mtype": 0, "rules": [],
         "type": kind_type, "start": start, "end": datetime(2004, 1, 1)}
    a.update(more)
    return a


def main():
    with tempfile.TemporaryDirectory(prefix="ringmere-schedule-") as tmp:
        path = os.path.join(tmp, "alfile.ini")
        alarms = [
            alarm("Tea", 0, date(2004, 3, 1), time(16, 0)),
            alarm("Stand up", 4, date(2004, 3, 10), time(9, 0), x=30),
            alarm("Also tea", 0, date(2004, 3, 1), time(16, 0)),
        ]
        with open(path, "w", newline="") as f:
            f.write(file_text(alarms, [], path))

        r = run(path, "--now", "3/10/2004 03:00:00PM", "--count", "5")
        check("a table", r.returncode == 0 and r.stderr == "" and r.stdout == (
            "1\t3/10/2004 03:00:00PM\tStand up\n"
            "2\t3/10/2004 03:30:00PM\tStand up\n"
            "3\t3/10/2004 04:00:00PM\tTea\n"
            "4\t3/10/2004 04:00:00PM\tStand up\n"
            "5\t3/10/2004 04:00:00PM\tAlso tea\n"), repr(r))

        r = run(path, "--now", "3/10/2004")
        rows = r.stdout.splitlines()
        check("40 rows unless told, the date alone is its midnight",
              r.returncode == 0 and len(rows) == 40 and rows[0] == "1\t3/10/2004 09:00:00AM\tStand up",
              repr(r))
        r = run("--count", "120", path, "--now", "3/10/2004 9:00 PM")
        rows = r.stdout.splitlines()
        check("more rows than the program keeps, options before FILE",
              r.returncode == 0 and len(rows) == 120 and rows[0].startswith("1\t3/10/2004 09:00:00PM")
              and rows[-1].startswith("120\t"), repr(r)[:400])
        r = run(path)
        check("the current time by default", r.returncode == 0 and len(r.stdout.splitlines()) == 40,
              repr(r)[:400])

        r = run("--help")
        check("help", r.returncode == 0 and "--now" in r.stdout and "--count" in r.stdout, repr(r))

        bad = [
            [],
            [path, "--now"],
            [path, "--now", "13/40/2004 09:00:00AM"],
            [path, "--now", "3/10/2004 25:00:00"],
            [path, "--now", "tomorrow"],
            [path, "--count"],
            [path, "--count", "0"],
            [path, "--count", "-3"],
            [path, "--count", "ten"],
            [path, "--count", "100001"],
            [path, "--count", "99999999999999999999"],
            [path, "--colour"],
            [path, path],
            [os.path.join(tmp, "missing.ini")],
        ]
        for args in bad:
            r = run(*args)
            check(f"refused: {args}", r.returncode == 2 and r.stdout == ""
                  and len(r.stderr.strip().splitlines()) == 1, repr(r))

        damaged = os.path.join(tmp, "damaged.ini")
        with open(damaged, "w") as f:
            f.write("this is not an alarm file\n")
        r = run(damaged, "--now", "3/10/2004")
        check("not an alarm file", r.returncode == 1 and r.stdout == "" and r.stderr != "", repr(r))

        # A date the reader cannot convert is reported; the rest still counts.
        odd = os.path.join(tmp, "odd.ini")
        with open(odd, "w", newline="") as f:
            f.write(file_text(alarms[:1], [], odd).replace("AlEndDate=1/1/2004", "AlEndDate=soon"))
        r = run(odd, "--now", "3/10/2004 03:00:00PM", "--count", "1")
        check("read with messages", r.returncode == 1 and r.stdout == "1\t3/10/2004 04:00:00PM\tTea\n"
              and "soon" in r.stderr, repr(r))

    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
