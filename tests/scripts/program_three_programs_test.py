#!/usr/bin/env python3
"""Three real programs on one virtual display: a server on a shared folder, a
client on that folder's file and a web client on a URL serving it.

An alarm added to the server's file reaches both clients and runs on each;
neither client changes the server's file; the web client keeps its alarms
while the web server is down and takes a newer file once it is back.

Every wait polls for what must happen, with a bound that only guards against
a hang. The clients reload once a minute (the shortest interval), so the test
takes a few minutes. Prints the delays from a change to each client's read
and the bytes of a check that finds nothing new."""
import datetime
import errno
import hashlib
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from email.utils import formatdate
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(__file__))
import alarmfiles  # noqa: E402

PROGRAM = os.environ.get("RINGMERE_PROGRAM")
GUARD = 180  # seconds; a guard against hangs, never a measure
FAILED = "Download of configuration from web server failed."


class Site:
    """The server's folder over HTTP on 127.0.0.1, in this process. Reads
    without touching access times (which tell when the file client read the
    file) and notes every request. Stopping it also cuts kept-alive
    connections, as a server going away would."""

    def __init__(self, folder):
        self.folder = folder
        self.requests = []  # (time, method, path, status, bytes sent, bytes received)
        self.lock = threading.Lock()
        self.port = 0
        self.server = None
        self.open_sockets = set()

    def handler(self):
        site = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def setup(self):
                super().setup()
                with site.lock:
                    site.open_sockets.add(self.connection)

            def finish(self):
                with site.lock:
                    site.open_sockets.discard(self.connection)
                super().finish()

            def answer(self):
                received = len(self.raw_requestline) + len(str(self.headers))
                path = os.path.join(site.folder, self.path.lstrip("/"))
                try:
                    fd = os.open(path, os.O_RDONLY | os.O_NOATIME)
                except OSError:
                    head = self.head(404, 0, None)
                    site.note(self.command, 404, len(head), received, self.path)
                    return
                with os.fdopen(fd, "rb") as f:
                    body = f.read()
                    stamp = os.fstat(f.fileno()).st_mtime
                head = self.head(200, len(body), stamp)
                sent = len(head)
                if self.command == "GET":
                    self.wfile.write(body)
                    sent += len(body)
                site.note(self.command, 200, sent, received, self.path)

            def head(self, code, length, stamp):
                lines = [f"HTTP/1.1 {code} {'OK' if code == 200 else 'Not Found'}",
                         f"Date: {formatdate(usegmt=True)}", f"Content-Length: {length}"]
                if stamp is not None:
                    lines.append(f"Last-Modified: {formatdate(stamp, usegmt=True)}")
                data = ("\r\n".join(lines) + "\r\n\r\n").encode()
                self.wfile.write(data)
                return data

            do_GET = answer
            do_HEAD = answer

        return Handler

    def note(self, method, status, sent, received, path):
        with self.lock:
            self.requests.append((time.time(), method, path, status, sent, received))

    def since(self, moment, method):
        with self.lock:
            return [r for r in self.requests if r[0] >= moment and r[1] == method]

    def start(self):
        # Back on the same port: the web client's URL names it. Another
        # program may hold it for a moment; the bound only guards a hang.
        deadline = time.time() + 60
        while True:
            try:
                self.server = ThreadingHTTPServer(("127.0.0.1", self.port), self.handler())
                break
            except OSError as e:
                if e.errno != errno.EADDRINUSE or time.time() > deadline:
                    raise
                time.sleep(0.5)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        with self.lock:
            for s in self.open_sockets:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass


def start_display():
    """An Xvfb of the test's own on a free display number; (process, display)
    or (None, None) where there is none."""
    if not shutil.which("Xvfb"):
        return None, None
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                             "-screen", "0", "1024x768x24"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    os.close(write_end)
    number = b""
    deadline = time.time() + GUARD
    while not number.endswith(b"\n") and time.time() < deadline:
        ready, _, _ = select.select([read_end], [], [], 1)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip().isdigit():
        alarmfiles.stop(proc)
        raise RuntimeError("Xvfb did not say its display")
    return proc, ":" + number.strip().decode()


def start(work, name, display, **settings):
    """A program with folders of its own under work/name; its program folder
    holds an alarm file with the given settings and no alarms of its own,
    unless it is the server's (settings["data"])."""
    home = os.path.join(work, name)
    data = settings.pop("data", os.path.join(home, "data"))
    for sub in ("config", "sys", "run", "share", "cache"):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
    os.makedirs(data, mode=0o700, exist_ok=True)
    if settings:
        alarmfiles.write(os.path.join(data, "alfile.ini"), [], logging=True, **settings)
    env = dict(os.environ, HOME=home, RINGMERE_DIR=data,
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_CONFIG_DIRS=os.path.join(home, "sys"),
               XDG_RUNTIME_DIR=os.path.join(home, "run"),
               XDG_DATA_HOME=os.path.join(home, "share"),
               XDG_CACHE_HOME=os.path.join(home, "cache"),
               RINGMERE_STARTUP_PROBE=os.path.join(home, "probe"))
    if display:
        env["DISPLAY"] = display
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    proc = subprocess.Popen([PROGRAM, "startup"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    return proc, data, os.path.join(home, "probe"), env


def xdotool(display, *args):
    done = subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display),
                          capture_output=True, text=True, timeout=GUARD)
    return done.stdout.split()


def shown(display, pid, title=None):
    """The program's visible windows, those named by the pattern when given
    (an open menu is one without a name)."""
    named = ["--all", "--name", title] if title else []
    return xdotool(display, "search", "--onlyvisible", "--pid", str(pid), *named)


def show_window(proc, env, display):
    """Starting the program again shows the running one's window, as from the menu."""
    subprocess.run([PROGRAM], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=GUARD)
    return until(lambda: shown(display, proc.pid, "^Ringmere"), limit=30)


def accept_from_options(display, proc, window, downs, dialog):
    """Opens the item `downs` below the first of the Options menu with the
    keyboard and presses Return in the dialog it opens; True once the dialog
    has closed. A key lost to a window that was not ready is tried again."""
    for _ in range(3):
        xdotool(display, "windowfocus", "--sync", window)
        xdotool(display, "key", "alt+o")
        if not until(lambda: len(shown(display, proc.pid)) > 1, limit=10):
            continue
        xdotool(display, "key", *(["Down"] * downs), "Return")
        box = until(lambda: shown(display, proc.pid, f"^{dialog}$"), limit=20)
        if not box:
            xdotool(display, "key", "Escape")
            continue
        xdotool(display, "windowfocus", "--sync", box[0])
        xdotool(display, "key", "Return")
        return until(lambda: not shown(display, proc.pid, f"^{dialog}$"), limit=20)
    return False


def until(condition, limit=GUARD, step=0.2):
    """Polls condition until it holds; its last value."""
    deadline = time.time() + limit
    while True:
        value = condition()
        if value or time.time() > deadline:
            return value
        time.sleep(step)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except FileNotFoundError:
        return ""


def fingerprint(path):
    """Hash, modification time and inode, read without touching the access time."""
    fd = os.open(path, os.O_RDONLY | os.O_NOATIME)
    with os.fdopen(fd, "rb") as f:
        st = os.fstat(f.fileno())
        return hashlib.sha256(f.read()).hexdigest(), st.st_mtime_ns, st.st_ino


def first_read_after(path, written):
    """Waits for the first read of a file written at `written` (its access
    time moves on: a new file's first read updates it even under relatime);
    the seconds it took, or None."""
    def read_at():
        at = os.stat(path).st_atime
        return at if at > written + 1e-6 else None
    at = until(read_at, limit=120, step=0.05)
    return at - written if at else None


def rewrite(path, alarms):
    """The server's file with `alarms`, replaced as the program saves it, and
    dated in a later whole second than the copy it replaces and the web
    client's last download: the web client compares whole seconds. Returns
    its access time."""
    before = os.stat(path).st_mtime
    alarmfiles.replace(path, alarms, logging=True, mode="Server")
    st = os.stat(path)
    os.utime(path, (st.st_atime, max(int(time.time()) + 1, before + 2)))
    return os.stat(path).st_atime


def runs(log, name):
    return log.count(f"{name} executing.")


def main():
    if not PROGRAM or not os.path.exists(PROGRAM):
        print(f"no program at {PROGRAM!r}")
        print("0 passed, 1 failed")
        return 1
    failures = []
    figures = []
    procs = []

    def check(ok, what):
        if not ok:
            failures.append(what)
        return ok

    with tempfile.TemporaryDirectory() as work:
        xvfb, display = start_display()
        if not display:
            print("no Xvfb: the programs run on the offscreen platform")
        shared = os.path.join(work, "shared")
        os.makedirs(shared)
        served = os.path.join(shared, "alfile.ini")
        site = Site(shared)
        try:
            # The server's own file, no alarms yet; the clients reload every minute.
            alarmfiles.write(served, [], logging=True, mode="Server")
            site.start()
            url = f"http://127.0.0.1:{site.port}/alfile.ini"
            server, _, server_probe, _ = start(work, "server", display, data=shared)
            procs.append(server)
            client, client_dir, client_probe, client_env = start(
                work, "client", display, mode="Client", alarm_file=served, interval=1)
            procs.append(client)
            web, web_dir, web_probe, web_env = start(
                work, "web", display, mode="WClient", alarm_file=url, interval=1)
            procs.append(web)
            for name, probe in (("server", server_probe), ("client", client_probe),
                                ("web client", web_probe)):
                text = until(lambda p=probe: "shown=" in read(p) and read(p))
                check(text and "box=" not in text, f"the {name} did not start quietly: {text!r}")
            check(len(site.since(0, "GET")) >= 1, "the web client did not download at start")
            if failures:
                return report(failures, figures)

            # An alarm every minute, from yesterday: it runs within a minute of
            # reaching a client, wherever the clock stands.
            start_at = (datetime.datetime.now() - datetime.timedelta(days=1)).replace(
                hour=0, minute=0, second=30, microsecond=0)
            beacon = alarmfiles.every_minutes(1, "Beacon", start_at, 1, [alarmfiles.sleep_step(1)])
            changed = time.time()
            written = rewrite(served, [beacon])
            before = fingerprint(served)
            # Only a figure: a folder mounted without access times cannot tell.
            client_read = first_read_after(served, written)
            gets = until(lambda: site.since(changed, "GET"))
            check(gets, "the web client never downloaded the changed file")
            figures.append("client: read the changed file " + (
                f"{client_read:.1f} s after it" if client_read is not None else "at an unknown time"))
            if gets:
                figures.append(f"web client: downloaded it {gets[0][0] - changed:.1f} s after")
            client_log = os.path.join(client_dir, "allog.txt")
            web_log = os.path.join(web_dir, "allog.txt")
            for name, log in (("client", client_log), ("web client", web_log)):
                check(until(lambda lg=log: runs(read(lg), "Beacon") >= 1),
                      f"the alarm did not run on the {name}: {read(log)!r}")

            # Each client saves its e-mail settings and options as a user would:
            # into its own file, never the server's.
            if display and shutil.which("xdotool"):
                for name, proc, data, env in (("client", client, client_dir, client_env),
                                              ("web client", web, web_dir, web_env)):
                    window = show_window(proc, env, display)
                    if not check(window, f"the {name}'s window did not show"):
                        continue
                    local = os.path.join(data, "alfile.ini")
                    for downs, dialog in ((0, "email Settings"), (2, "Additional Options")):
                        saved = os.stat(local).st_mtime_ns
                        check(accept_from_options(display, proc, window[0], downs, dialog)
                              and until(lambda: os.stat(local).st_mtime_ns != saved, limit=20),
                              f"the {name} did not save its {dialog} into its own file")
            else:
                print("no Xvfb or xdotool: the clients' own saves are not driven")
            check(fingerprint(served) == before, "a client changed the server's file")
            if failures:
                return report(failures, figures)

            # A check that finds nothing new asks for the head only.
            pickup = gets[-1][0] if gets else changed
            heads = until(lambda: [h for h in site.since(pickup + 0.001, "HEAD")])
            check(heads, "the web client did not check again")
            check(not site.since(pickup + 0.001, "GET"),
                  "the web client downloaded an unchanged file again")
            if heads:
                figures.append(f"web client: an unchanged check, {heads[0][5]} bytes of request "
                               f"and {heads[0][4]} of answer (HEAD only)")

            # The web server goes away: the failure is logged and the alarm runs on.
            site.stop()
            failed_at = until(lambda: FAILED in read(web_log) and len(read(web_log)))
            check(failed_at, f"the web client did not log the failed download: {read(web_log)!r}")
            if failed_at:
                check(until(lambda: runs(read(web_log)[failed_at:], "Beacon") >= 1),
                      "the web client lost its alarm with the web server down")
            check(os.path.exists(os.path.join(web_dir, "webtmp.ini")),
                  "the web client's kept copy is gone")
            check(fingerprint(served) == before, "a client changed the server's file")
            if failures:
                return report(failures, figures)

            # Back on the same port, and a newer file with another alarm.
            site.start()
            second = alarmfiles.every_minutes(2, "Afterglow", start_at, 1,
                                              [alarmfiles.sleep_step(1)])
            changed = time.time()
            rewrite(served, [beacon, second])
            after = fingerprint(served)
            gets = until(lambda: site.since(changed, "GET"))
            check(gets, "the web client did not download after the web server came back")
            if gets:
                figures.append("web client: with the web server back, downloaded the newer "
                               f"file {gets[0][0] - changed:.1f} s after its change")
            for name, log in (("client", client_log), ("web client", web_log)):
                check(until(lambda lg=log: runs(read(lg), "Afterglow") >= 1),
                      f"the second alarm did not run on the {name}: {read(log)!r}")

            # Leaving writes nothing either.
            for proc in (web, client):
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(GUARD)
                except subprocess.TimeoutExpired:
                    failures.append("a client went on after SIGTERM")
            check(fingerprint(served) == after, "a client changed the server's file")
        finally:
            for proc in procs:
                alarmfiles.stop(proc)
            if xvfb:
                alarmfiles.stop(xvfb)
            if site.server:
                site.server.server_close()
    return report(failures, figures)


def report(failures, figures):
    for f in figures:
        print("figure:", f)
    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
