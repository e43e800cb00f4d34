#!/usr/bin/env python3
"""The installed program: `cmake --install` into a temporary DESTDIR under an
unusual prefix, then the tree, the launcher and metadata through the desktop's
own validators, the manual pages through groff, the version and help options,
and the start-at-log-on entry written by the installed program, which must
name the installed program."""
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time

from tally import Tally

BUILD = os.environ["RINGMERE_BUILD_DIR"]
PREFIX = "/opt/rm"
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
TIME_LIMIT = 60  # seconds: a guard against hangs, never a measurement

TALLY = Tally()
check = TALLY.check


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=TIME_LIMIT, **kw)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def check_tree(root, top):
    apps = os.listdir(os.path.join(top, "share/applications"))
    check(len(apps) == 1 and apps[0].endswith(".desktop"), f"one launcher: {apps}")
    app_id = apps[0][: -len(".desktop")]
    check(re.fullmatch(r"[a-z][a-z0-9]*(\.[a-z][a-z0-9]*)+\.[A-Za-z][A-Za-z0-9]*", app_id)
          is not None, f"reverse-DNS id: {app_id}")
    wanted = [
        "bin/ringmere", "bin/ringmere-cli", "share/ringmere/help/index.html",
        f"share/applications/{app_id}.desktop", f"share/metainfo/{app_id}.metainfo.xml",
        f"share/icons/hicolor/scalable/apps/{app_id}.svg",
        "share/man/man1/ringmere.1", "share/man/man1/ringmere-cli.1",
    ] + [f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png" for s in ICON_SIZES]
    for rel in wanted:
        check(os.path.isfile(os.path.join(top, rel)), f"installed: {rel}")
    for rel in ("bin/ringmere", "bin/ringmere-cli"):
        check(os.access(os.path.join(top, rel), os.X_OK), f"runnable: {rel}")
    for s in ICON_SIZES:
        path = os.path.join(top, f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png")
        if os.path.isfile(path):
            check(png_size(path) == (s, s), f"{s}x{s} icon is {png_size(path)}")
    # Nothing outside the prefix, and no test or benchmark program.
    for dirpath, _, files in os.walk(root):
        for name in files:
            path = os.path.join(dirpath, name)
            check(path.startswith(top + "/"), f"outside the prefix: {path}")
            check(not re.search(r"_tests?$|_bench$|peer$", name), f"not for users: {path}")
    return app_id


def check_desktop_files(top, app_id):
    launcher = os.path.join(top, f"share/applications/{app_id}.desktop")
    r = run(["desktop-file-validate", launcher])
    check(r.returncode == 0 and not r.stdout.strip(), f"desktop-file-validate: {r.stdout}{r.stderr}")
    with open(launcher, encoding="utf-8") as f:
        text = f.read()
    check(f"\nIcon={app_id}\n" in text, "the launcher names the installed icon")
    metainfo = os.path.join(top, f"share/metainfo/{app_id}.metainfo.xml")
    r = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(r.returncode == 0, f"appstreamcli validate: {r.stdout}{r.stderr}")
    with open(metainfo, encoding="utf-8") as f:
        meta = f.read()
    check(f"<id>{app_id}</id>" in meta and f">{app_id}.desktop</launchable>" in meta,
          "the metadata names the launcher")
    m = re.search(r'<release version="([^"]+)"', meta)
    return m.group(1) if m else None


def check_manual_pages(top):
    for page in ("ringmere.1", "ringmere-cli.1"):
        path = os.path.join(top, "share/man/man1", page)
        r = run(["groff", "-man", "-Tutf8", "-ww", "-z", path])
        check(r.returncode == 0 and not r.stderr.strip(), f"groff on {page}: {r.stderr}")
        text = open(path, encoding="utf-8").read()
        check("@" not in text, f"{page} has an unfilled value")


def check_options(top, version):
    program = os.path.join(top, "bin/ringmere")
    cli = os.path.join(top, "bin/ringmere-cli")
    # No display at all: the answers come before the program needs one.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QT_QPA_PLATFORM"] = "xcb"
    for args, expected in (([program, "--version"], f"ringmere {version}\n"),
                           ([program, "-v"], f"ringmere {version}\n"),
                           ([cli, "--version"], f"ringmere-cli {version}\n")):
        r = run(args, env=env)
        check(r.returncode == 0 and r.stdout == expected, f"{args[1:]}: {r.returncode} {r.stdout!r}")
    r = run([program, "--help"], env=env)
    check(r.returncode == 0 and r.stdout.startswith("Usage: ringmere") and "startup" in r.stdout,
          f"ringmere --help: {r.returncode} {r.stdout!r} {r.stderr!r}")


def check_autostart_entry(root, top):
    """The installed program, started with start at log-on on, names itself."""
    home = os.path.join(root, "home")
    for sub in ("data", "config", "sys", "run"):
        os.makedirs(os.path.join(home, sub), mode=0o700)
    with open(os.path.join(home, "sys/ringmere.ini"), "w") as f:
        f.write("[Main]\nAutoStart=1\n")
    probe = os.path.join(home, "probe")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", RINGMERE_DIR=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_CONFIG_DIRS=os.path.join(home, "sys"),
               XDG_RUNTIME_DIR=os.path.join(home, "run"), RINGMERE_STARTUP_PROBE=probe)
    program = os.path.join(top, "bin/ringmere")
    p = subprocess.Popen([program, "startup"], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + TIME_LIMIT
        while not os.path.exists(probe) and time.monotonic() < deadline and p.poll() is None:
            time.sleep(0.1)
        check(os.path.exists(probe), "the installed program started")
    finally:
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(TIME_LIMIT)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
    entry = os.path.join(home, "config/autostart/ringmere.desktop")
    check(os.path.isfile(entry), "start-at-log-on entry written")
    if not os.path.isfile(entry):
        return
    text = open(entry, encoding="utf-8").read()
    check(f"\nExec={program} startup\n" in text, f"the entry names the installed program: {text}")
    r = run(["desktop-file-validate", entry])
    check(r.returncode == 0 and not r.stdout.strip(), f"desktop-file-validate (autostart): {r.stdout}")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        root = os.path.join(tmp, "root")
        r = run(["cmake", "--install", BUILD, "--prefix", PREFIX],
                env=dict(os.environ, DESTDIR=root))
        check(r.returncode == 0, f"cmake --install: {r.stdout}{r.stderr}")
        if r.returncode != 0:
            return
        top = root + PREFIX
        app_id = check_tree(root, top)
        version = check_desktop_files(top, app_id)
        check_manual_pages(top)
        check_options(top, version)
        check_autostart_entry(tmp, top)


if __name__ == "__main__":
    main()
    sys.exit(TALLY.report())
