#!/usr/bin/env python3
"""Alarms that fall due while the computer sleeps: each runs once, late, or is
listed as missed; none is dropped, none runs twice.

The real program runs on the offscreen platform under libfaketime, with logind
played by python3-dbusmock on a private bus. It hears PrepareForSleep(true),
its wall clock jumps two hours ahead (the monotonic clock runs on, as across a
real suspend), then PrepareForSleep(false). Its log must then tell what ran
and what was missed."""
import datetime
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

try:
    import dbus
except ImportError:
    dbus = None

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
LOGIND = "org.freedesktop.login1"
LOGIND_PATH = "/org/freedesktop/login1"
MANAGER = "org.freedesktop.login1.Manager"
MOCK = "org.freedesktop.DBus.Mock"
JUMP = datetime.timedelta(hours=2)
BURST = 8  # more than one check starts
GUARD = 90  # seconds; only a guard against hangs, never a measure


def system_python():
    """Debian's python3-dbusmock lives with the system's Python, which need
    not be the python3 first on the PATH."""
    for python in ("/usr/bin/python3", "python3"):
        if subprocess.call([python, "-c", "import dbus, dbusmock"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL) == 0:
            return python
    return None


def until(done, limit=GUARD):
    deadline = time.monotonic() + limit
    while not done():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


class Logind:
    """A bus of the test's own, with dbusmock's logind on it as the system
    bus's: no system bus is touched."""

    def __init__(self, work):
        conf = os.path.join(work, "bus.conf")
        with open(conf, "w") as f:
            f.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"'
                    ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">'
                    f"<busconfig><type>session</type><listen>unix:dir={work}</listen>"
                    "<auth>EXTERNAL</auth><policy context=\"default\">"
                    "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                    "<allow own=\"*\"/></policy></busconfig>\n")
        self.bus = self.mock = None
        self.daemon = subprocess.Popen(["dbus-daemon", f"--config-file={conf}", "--nofork",
                                        "--print-address=1"], stdout=subprocess.PIPE)
        try:
            self.address = self.daemon.stdout.readline().decode().strip()
            self.mock = subprocess.Popen(
                [sys.executable, "-m", "dbusmock", "--system", "--template", "logind"],
                env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address),
                stdout=subprocess.DEVNULL)
            self.bus = dbus.bus.BusConnection(self.address)
            if not until(lambda: self.bus.name_has_owner(LOGIND), 20):
                raise RuntimeError("dbusmock did not come up as logind")
            self.logind = self.bus.get_object(LOGIND, LOGIND_PATH)
        except BaseException:
            self.close()
            raise

    def prepare_for_sleep(self, start):
        self.logind.EmitSignal(MANAGER, "PrepareForSleep", "b", [dbus.Boolean(start)],
                               dbus_interface=MOCK)

    def locks(self):
        return len(self.logind.ListInhibitors(dbus_interface=MANAGER))

    def close(self):
        if self.bus:
            self.bus.close()
        for proc in filter(None, (self.mock, self.daemon)):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()


class FakeClock:
    """The program's wall clock, as libfaketime reads it from a file at every
    call: an offset from the real time."""

    def __init__(self, work):
        self.path = os.path.join(work, "faketime.rc")
        self.set_offset(0)

    def set_offset(self, seconds):
        scratch = self.path + ".new"
        with open(scratch, "w") as f:
            f.write(f"{int(seconds):+d}\n")
        os.replace(scratch, self.path)  # never a half-written setting

    def env(self):
        library = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
        if not library:
            raise RuntimeError("libfaketime is missing (the faketime package)")
        return {"LD_PRELOAD": library[0], "FAKETIME_TIMESTAMP_FILE": self.path,
                "FAKETIME_NO_CACHE": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def log_time(t):
    """A moment as the missed alarms' log lines give it: M/d/yyyy h:mm:ss AM."""
    return (f"{alarmfiles.short_date(t)} {t.hour % 12 or 12}:{t.minute:02d}:{t.second:02d} "
            f"{'AM' if t.hour < 12 else 'PM'}")


def parse_log_time(text):
    return datetime.datetime.strptime(text, "%m/%d/%Y %I:%M:%S %p")


def check(work):
    base = alarmfiles.next_whole_second(0)
    after_resume = base + JUMP + datetime.timedelta(seconds=25)
    last = after_resume + datetime.timedelta(seconds=5)
    asleep_once = base + datetime.timedelta(minutes=10)
    every_five = base + datetime.timedelta(minutes=5)
    alarms = [
        # Due some 24 times while asleep, the last within the late limit.
        alarmfiles.every_minutes(1, "Every five", every_five, 5),
        # Due once while asleep, far beyond the late limit (10 minutes by default).
        alarmfiles.once(2, "Asleep once", asleep_once),
        # Never run, never listed.
        alarmfiles.every_minutes(3, "Disabled", base + datetime.timedelta(minutes=1), 1,
                                 enabled=False),
    ]
    burst = [f"Burst {i}" for i in range(1, BURST + 1)]
    alarms += [alarmfiles.once(4 + i, name, after_resume) for i, name in enumerate(burst)]
    # Due after everything else: once it has run, all before it has.
    alarms.append(alarmfiles.once(len(alarms) + 1, "Last", last))

    logind = Logind(work)
    clock = FakeClock(work)
    proc = None
    try:
        env = dict(clock.env(), DBUS_SYSTEM_BUS_ADDRESS=logind.address,
                   DBUS_SESSION_BUS_ADDRESS=logind.address)
        proc, data = alarmfiles.start_program(PROGRAM, work, alarms, virtual_display=False,
                                              extra_env=env)
        # The program's delay lock: it hears logind.
        if not until(lambda: logind.locks() == 1):
            return [f"the program took no delay lock from logind: {logind.locks()} locks"]
        logind.prepare_for_sleep(True)
        if not until(lambda: logind.locks() == 0):
            return ["the program kept its delay lock across the suspend"]
        clock.set_offset(JUMP.total_seconds())
        logind.prepare_for_sleep(False)
        log = alarmfiles.wait_for_log(data, "Last executing.", GUARD)
    finally:
        if proc:
            alarmfiles.stop(proc)
        logind.close()

    entries = [line.split(" - ", 1)[1] for line in log.split("\r\n") if " - " in line]
    print("logged:", entries)
    failures = []
    runs = {"Every five": 1, "Asleep once": 0, "Disabled": 0, "Last": 1}
    runs.update({name: 1 for name in burst})
    for name, want in runs.items():
        got = entries.count(f"{name} executing.")
        if got != want:
            failures.append(f"{name!r} ran {got} times, not {want}")
    started = [e[:-len(" executing.")] for e in entries if e.endswith(" executing.")]
    order = [n for n in started if n in burst]
    if order != sorted(order, key=burst.index):
        failures.append(f"the burst did not start in order: {order}")
    listed = [e for e in entries if e.startswith("Missed: ")]
    # Beyond the late limit (10 minutes by default): listed with its moment.
    if f"Missed: Asleep once at {log_time(asleep_once)}" not in listed:
        failures.append(f"'Asleep once' is not listed at {log_time(asleep_once)}: {listed}")
    # Every five: those beyond the limit listed from the first on, the rest
    # folded into its one late run; between them every occurrence once.
    five = [re.fullmatch(r"Missed: Every five at (.+) \((\d+) times\)", e) for e in listed]
    late = [re.fullmatch(r"Late by [^:]+: Every five at (.+?)(?: \((\d+) times\))?", e)
            for e in entries]
    five, late = [m for m in five if m], [m for m in late if m]
    if len(five) != 1 or len(late) != 1:
        failures.append(f"'Every five' is not listed missed and late once each: {entries}")
    else:
        first_missed, first_late = (parse_log_time(m.group(1)) for m in (five[0], late[0]))
        if first_missed != every_five:
            failures.append(f"'Every five' missed from {first_missed}, not {every_five}")
        if first_late != every_five + int(five[0].group(2)) * datetime.timedelta(minutes=5):
            failures.append(f"'Every five' missed {five[0].group(2)} times, then ran from "
                            f"{first_late}")
    others = [e for e in listed if not e.startswith(("Missed: Asleep once ", "Missed: Every five "))]
    if others:
        failures.append(f"listed as missed: {others}")
    return failures


def main():
    if not PROGRAM or not os.path.exists(PROGRAM):
        print(f"no program at {PROGRAM!r}")
        print("0 passed, 1 failed")
        return 1
    if dbus is None:
        python = system_python()
        if python and os.path.realpath(python) != os.path.realpath(sys.executable):
            os.execv(python, [python] + sys.argv)
        print("python3-dbusmock is missing (scripts/dev.sh installs it)")
        print("0 passed, 1 failed")
        return 1
    with tempfile.TemporaryDirectory() as work:
        failures = check(work)
    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
