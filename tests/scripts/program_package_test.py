#!/usr/bin/env python3
"""The Debian package made by `cpack -G DEB`: its name, version and declared
run-time dependencies, the files it holds (all under /usr, nothing for
developers), and the maintainer script that grants the wake-up capability."""
import os
import re
import subprocess
import sys
import tempfile

from tally import Tally

BUILD = os.environ["RINGMERE_BUILD_DIR"]
PROGRAM = os.environ["RINGMERE_PROGRAM"]
TIME_LIMIT = 540  # seconds: a guard against hangs, never a measurement

TALLY = Tally()
check = TALLY.check


def run(args):
    return subprocess.run(args, capture_output=True, text=True, timeout=TIME_LIMIT)


def main():
    version = run([PROGRAM, "--version"]).stdout.split()[-1]
    with tempfile.TemporaryDirectory() as out:
        r = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                 "-B", out])
        check(r.returncode == 0, f"cpack: {r.stdout}{r.stderr}")
        debs = [n for n in os.listdir(out) if n.endswith(".deb")]
        check(len(debs) == 1 and debs[0].startswith(f"ringmere_{version}_"), f"package: {debs}")
        if len(debs) != 1:
            return
        deb = os.path.join(out, debs[0])

        def field(name):
            return run(["dpkg-deb", "-f", deb, name]).stdout.strip()

        check(field("Package") == "ringmere", "package name")
        check(field("Version") == version, f"version {field('Version')} is the program's")
        long_lines = [l for l in field("Description").splitlines() if len(l) >= 80]
        check(not long_lines, f"description lines under 80 columns: {long_lines}")
        depends = {re.split(r"[ (]", d.strip())[0] for d in field("Depends").split(",")}
        # Linked libraries (found by dpkg-shlibdeps) and what is loaded at run time.
        for needed in ("libqt6widgets6", "libqt6multimedia6", "libc6",
                       "qt6-qpa-plugins", "libqt6svg6", "xdg-utils"):
            check(needed in depends, f"depends on {needed}: {sorted(depends)}")
        # dpkg orders configuration by Depends only: setcap must be there before
        # the postinst runs, not merely recommended.
        check("libcap2-bin" in depends, f"depends on libcap2-bin: {sorted(depends)}")
        # The media player plays through GStreamer's PulseAudio sink (base alone
        # decodes but has nowhere to play); secure servers need the CA store.
        recommends = {re.split(r"[ (]", d.strip())[0] for d in field("Recommends").split(",")}
        for wanted in ("gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good",
                       "gstreamer1.0-pulseaudio", "ca-certificates"):
            check(wanted in recommends | depends, f"recommends {wanted}: {sorted(recommends)}")

        listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
        files = {line.split()[-1] for line in listing if not line.startswith("d")}
        check(all(f.startswith("./usr/") for f in files),
              f"everything under /usr: {sorted(f for f in files if not f.startswith('./usr/'))}")
        app_ids = [f[len("./usr/share/applications/"):-len(".desktop")] for f in files
                   if f.startswith("./usr/share/applications/") and f.endswith(".desktop")]
        check(len(app_ids) == 1, f"one launcher: {app_ids}")
        app_id = app_ids[0] if app_ids else "?"
        for wanted in ("bin/ringmere", "bin/ringmere-cli", "share/ringmere/help/index.html",
                       f"share/metainfo/{app_id}.metainfo.xml",
                       f"share/icons/hicolor/scalable/apps/{app_id}.svg",
                       f"share/icons/hicolor/48x48/apps/{app_id}.png",
                       "share/man/man1/ringmere.1", "share/man/man1/ringmere-cli.1"):
            check(f"./usr/{wanted}" in files, f"packaged: /usr/{wanted}")
        check(not any(re.search(r"\.(a|h|cmake)$|_tests?$|_bench$|/include/", f) for f in files),
              "nothing for developers")

        control = os.path.join(out, "control")
        r = run(["dpkg-deb", "-e", deb, control])
        postinst = os.path.join(control, "postinst")
        check(os.path.isfile(postinst) and os.access(postinst, os.X_OK), "postinst is runnable")
        if os.path.isfile(postinst):
            text = open(postinst, encoding="utf-8").read()
            check("setcap cap_wake_alarm+ep /usr/bin/ringmere" in text, "postinst grants the capability")
            r = run(["sh", "-n", postinst])
            check(r.returncode == 0, f"postinst is valid sh: {r.stderr}")


if __name__ == "__main__":
    main()
    sys.exit(TALLY.report())
