#!/usr/bin/env python3
"""Hostile input and hostile surroundings, replayed against the real tools.

Each probe runs under a memory limit and a time limit, so a fault shows as a
failure here instead of a hung or swapping machine:
- a count that asks for millions of alarms, and a pipe where the file should be;
- kill -9 in the middle of 200 writes: the file is always whole, and the next
  write leaves no temporary file behind;
- a full disk (a file-size limit): the write fails with a message, the old file
  stays whole;
- a planted link in a copy's destination, and a dangling one, run by the program
  itself: neither target is written."""
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402
from tally import Tally  # noqa: E402

CLI = os.environ.get("RINGMERE_CLI")
PROGRAM = os.environ.get("RINGMERE_PROGRAM")
MEMORY_LIMIT = 1 << 30  # bytes of address space for one probe
TIME_LIMIT = 60  # seconds: a guard against hangs, never a measurement

TALLY = Tally()
check = TALLY.check


def limited(memory=MEMORY_LIMIT, file_size=None):
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (memory, memory))
        if file_size is not None:
            # A write past the limit then fails with EFBIG instead of a signal.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, file_size))
    return apply


def cli(*args, **limits):
    try:
        return subprocess.run([CLI, *args], capture_output=True, timeout=TIME_LIMIT,
                              preexec_fn=limited(**limits))
    except subprocess.TimeoutExpired:
        return None


def write_lines(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode())


def probe_count_bombs(work):
    # Each count is followed by plenty of empty lines, so a bound by lines
    # alone lets it through.
    for key in ("Alarm Count", "gExCnt"):
        path = os.path.join(work, f"bomb-{key.replace(' ', '')}.ini")
        head = alarmfiles.header()
        if key == "gExCnt":
            head = head[:-1] + ["gExCnt=3000000"]
            lines = head + [""] * 3000000
        else:
            lines = head + ["Alarm Count=3000000"] + [""] * 3000000
        write_lines(path, lines)
        r = cli("check", path)
        check(r is not None, f"{key}: check did not end")
        if r is None:
            continue
        check(r.returncode in (1, 2), f"{key}: exit {r.returncode}, stderr {r.stderr[-300:]!r}")
        check(b"Error Reading Input File" in r.stderr,
              f"{key}: no message names the damage: {r.stderr[-300:]!r}")


def probe_fifo(work):
    fifo = os.path.join(work, "alfile.fifo")
    os.mkfifo(fifo)
    r = cli("check", fifo)
    check(r is not None, "a pipe hangs check")
    if r is not None:
        check(r.returncode == 2, f"pipe: exit {r.returncode}")
        check(b"pipe" in r.stderr.lower() or b"fifo" in r.stderr.lower(),
              f"pipe: the message does not say what the file is: {r.stderr!r}")


def temporaries(folder, name):
    return [f for f in os.listdir(folder) if f.startswith(f".{name}.ringmere-tmp-")]


def probe_killed_writes(work):
    source = os.path.join(work, "many.ini")
    alarms = [alarmfiles.once(n, f"Alarm {n}", alarmfiles.next_whole_second(3600))
              for n in range(1, 401)]
    alarmfiles.write(source, alarms)
    out = os.path.join(work, "out.ini")
    ok = cli("rewrite", source, out)
    check(ok is not None and ok.returncode == 0, "the first rewrite failed")
    with open(out, "rb") as f:
        whole = f.read()
    rng = random.Random(7)
    torn = 0
    for _ in range(200):
        proc = subprocess.Popen([CLI, "rewrite", source, out], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, preexec_fn=limited())
        time.sleep(rng.uniform(0, 0.02))
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        with open(out, "rb") as f:
            if f.read() != whole:
                torn += 1
    check(torn == 0, f"{torn} of 200 killed writes left a torn file")
    ok = cli("rewrite", source, out)
    check(ok is not None and ok.returncode == 0, "the rewrite after the kills failed")
    left = temporaries(work, "out.ini")
    check(not left, f"temporary files left after the next write: {left[:3]}")


def probe_full_disk(work):
    source = os.path.join(work, "many.ini")
    out = os.path.join(work, "full.ini")
    shutil.copyfile(os.path.join(work, "out.ini"), out)
    with open(out, "rb") as f:
        before = f.read()
    r = cli("rewrite", source, out, file_size=64 * 1024)
    check(r is not None and r.returncode != 0, "a write past the size limit reported success")
    if r is not None:
        check(b"I/O error" in r.stderr or b"too large" in r.stderr.lower(),
              f"full disk: no clear message: {r.stderr!r}")
    with open(out, "rb") as f:
        check(f.read() == before, "a failed write damaged the old file")
    check(not temporaries(work, "full.ini"), "a failed write left its temporary file")


def probe_planted_links(work):
    if not PROGRAM or not os.path.exists(PROGRAM):
        check(False, f"no program at {PROGRAM!r}")
        return
    for sub in ("src", "dest", "victims"):
        os.makedirs(os.path.join(work, sub), mode=0o700)
    src, dest, victims = (os.path.join(work, d) for d in ("src", "dest", "victims"))
    for name in ("report.txt", "notes.txt"):
        with open(os.path.join(src, name), "w") as f:
            f.write(f"new {name}\n")
    victim = os.path.join(victims, "victim.txt")
    with open(victim, "w") as f:
        f.write("precious\n")
    os.symlink(victim, os.path.join(dest, "report.txt"))
    dangling = os.path.join(victims, "created.txt")
    os.symlink(dangling, os.path.join(dest, "notes.txt"))

    step = ("Copy reports", 9, ["[sw150-1]", "[fileop]", "fop=1", "[sw150-2]",
                                f"ffrom={src}/*.txt", f"fto={dest}"])
    # Lead time for the program to start; it only has to be up before then.
    due = alarmfiles.next_whole_second(8)
    log = alarmfiles.run_program_until_logged(
        PROGRAM, os.path.join(work, "program"), [alarmfiles.once(1, "Copy job", due, [step])],
        "Script Completed", TIME_LIMIT)
    # Both copies are refused, so the one step counts as failed.
    check("Script Completed with 1 failed step." in log, f"the copy job did not run: {log!r}")
    with open(victim) as f:
        check(f.read() == "precious\n", "a copy wrote through a planted link")
    check(not os.path.exists(dangling), "a copy created the target of a dangling link")


def main():
    if not CLI or not os.path.exists(CLI):
        print(f"no ringmere-cli at {CLI!r}")
        print("0 passed, 1 failed")
        return 1
    with tempfile.TemporaryDirectory() as work:
        probe_count_bombs(work)
        probe_fifo(work)
        probe_killed_writes(work)
        probe_full_disk(work)
        probe_planted_links(work)
    return TALLY.report()


if __name__ == "__main__":
    sys.exit(main())
