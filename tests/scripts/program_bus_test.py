#!/usr/bin/env python3
"""The running program follows another program's change of its alarm file and
answers on the session bus: an alarm added by ringmere-cli add and one added
with AddAlarm, each due a few seconds later, are run; the starts are signalled.

A private session bus (dbus-daemon --session) and gdbus, as a script would
use them; the real program on a virtual display (see alarmfiles)."""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
CLI = os.environ.get("RINGMERE_CLI")
DEST = ["--dest", "org.ringmere.Ringmere", "--object-path", "/org/ringmere/Ringmere"]


def gdbus_call(method, *args):
    r = subprocess.run(["gdbus", "call", "--session", *DEST, "--method",
                        "org.ringmere.Ringmere1." + method, *args],
                       capture_output=True, text=True, timeout=30)
    return r.returncode, (r.stdout + r.stderr).strip()


def until(check, limit=60):
    """Polls `check` until it holds; `limit` only guards against a hang."""
    deadline = time.time() + limit
    while time.time() < deadline:
        result = check()
        if result:
            return result
        time.sleep(0.2)
    return check()


def main():
    if not PROGRAM or not os.path.exists(PROGRAM) or not CLI or not os.path.exists(CLI):
        print(f"no program at {PROGRAM!r} or no ringmere-cli at {CLI!r}")
        print("0 passed, 1 failed")
        return 1
    failures = []
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, text=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    monitor = proc = None
    try:
        with tempfile.TemporaryDirectory() as work:
            monitor = subprocess.Popen(["gdbus", "monitor", "--session", *DEST],
                                       stdout=subprocess.PIPE, text=True)
            proc, data = alarmfiles.start_program(PROGRAM, work, [])
            code, out = until(lambda: (lambda r: r if r[0] == 0 else None)(gdbus_call("ListAlarms")))
            if code != 0:
                failures.append(f"the program did not answer on the bus: {out}")
            path = os.path.join(data, "alfile.ini")

            # Another program changes the file: an alarm due in 5 seconds.
            due = alarmfiles.next_whole_second(5)
            added = subprocess.run([CLI, "add", path, "--name", "Outside", "--at",
                                    due.strftime("%Y-%m-%d %H:%M:%S"), "--message", "From outside"],
                                   capture_output=True, text=True, timeout=30)
            if added.returncode != 0:
                failures.append(f"ringmere-cli add failed: {added.stderr!r}")
            log = alarmfiles.wait_for_log(data, "Outside executing.")
            if "Outside executing." not in log:
                failures.append(f"the alarm added by ringmere-cli did not run: {log!r}")

            # A script adds one over the bus, due in 5 seconds.
            due = alarmfiles.next_whole_second(5)
            code, out = gdbus_call("AddAlarm", "{'name': <'Bus'>, 'at': <'%s'>, 'message': <'Hi'>}"
                                   % due.strftime("%Y-%m-%d %H:%M:%S"))
            if (code, out) != (0, "(2,)"):
                failures.append(f"AddAlarm answered {code} {out!r}")
            code, out = gdbus_call("ListAlarms")
            want = f"(2, true, 'Bus', '{due.strftime('%Y-%m-%dT%H:%M:%S')}')"
            if want not in out or "'Outside'" not in out:
                failures.append(f"ListAlarms gave {out!r}, not {want!r} beside Outside")
            log = alarmfiles.wait_for_log(data, "Bus executing.")
            if "Bus executing." not in log:
                failures.append(f"the alarm added over the bus did not run: {log!r}")
            # The file holds it: it was saved, and the program's own save was
            # not taken for an outside change (it would log a read).
            with open(path, "rb") as f:
                if b"AlName=Bus\r\n" not in f.read():
                    failures.append("the added alarm is not in the file")
            reads = log.count("Alarm file changed by another program; read again.")
            if reads != 1:
                failures.append(f"the file was read again {reads} times, not once: {log!r}")

            code, out = gdbus_call("SetEnabled", "Nobody", "false")
            if code == 0 or "org.ringmere.Ringmere1.Error.NoSuchAlarm" not in out:
                failures.append(f"SetEnabled of no alarm answered {code} {out!r}")

            alarmfiles.stop(proc)
            proc = None
            monitor.terminate()
            signals = monitor.communicate(timeout=10)[0]
            started = [line for line in signals.splitlines() if "AlarmStarted" in line]
            for name in ("Outside", "Bus"):
                if not any(f"('{name}'," in line for line in started):
                    failures.append(f"no AlarmStarted for {name}: {started!r}")
            print("signals:", started)
    finally:
        if proc:
            alarmfiles.stop(proc)
        if monitor and monitor.poll() is None:
            monitor.kill()
        bus.terminate()
        bus.wait(10)

    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
