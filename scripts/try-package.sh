#!/usr/bin/env bash
# Builds the Debian package and tries it on a fresh Debian 12, as root:
#   scripts/try-package.sh [ROOT]   (ROOT defaults to /var/tmp/ringmere-deb12)
# Makes ROOT with debootstrap if it is missing, installs the package there with
# apt, starts the program from its launcher under Xvfb (pictures of the first
# start and of the main window in ROOT/tmp/user/), presses F1, then removes and
# purges the package and checks that nothing of it is left. Tools used only for the check are installed after the
# package and purged again, so they cannot stand in for a missing dependency.
# MIRROR=... picks the Debian mirror. Not run by CI: it needs network and minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

ROOT=${1:-/var/tmp/ringmere-deb12}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
BUILD=${BUILD:-build-package}
CHECK_TOOLS="xvfb xauth x11-utils xdotool imagemagick desktop-file-utils man-db dbus-daemon"

[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot)" >&2; exit 2; }

echo "== Building the package in $BUILD (Release)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRINGMERE_BENCH=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
ninja -C "$BUILD" -j2 ringmere ringmere-cli ringmere_icons
rm -f "$BUILD"/ringmere_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/ringmere_*.deb)
echo "   $DEB"

if [ ! -x "$ROOT/usr/bin/apt-get" ]; then
  echo "== Making a fresh Debian 12 in $ROOT"
  debootstrap --variant=minbase bookworm "$ROOT" "$MIRROR"
fi

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap unmount_all EXIT
for m in proc sys dev dev/pts; do
  mountpoint -q "$ROOT/$m" && continue
  case $m in
    proc) mount -t proc proc "$ROOT/proc" ;;
    sys) mount -t sysfs sys "$ROOT/sys" ;;
    *) mount --bind "/$m" "$ROOT/$m" ;;
  esac
  mounted+=("$ROOT/$m")
done
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
cp "$DEB" "$ROOT/tmp/"
cp tests/data/golden/empty.ini "$ROOT/tmp/alfile.ini"  # no alarm that could go off

# Everything below runs inside the fresh system.
chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive CHECK_TOOLS="$CHECK_TOOLS" DEB="/tmp/$(basename "$DEB")" \
  /bin/bash -s <<'INSIDE'
set -uo pipefail
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
snapshot() {  # what is installed and which files exist outside the caches
  dpkg-query -W -f='${Package}\n' | sort >"/tmp/$1.pkgs"
  find / -xdev \( -path /tmp -o -path /root -o -path /var/cache -o -path /var/lib/apt \
    -o -path /var/lib/dpkg -o -path /var/log -o -path /proc -o -path /sys -o -path /dev \
    -o -path /run \) -prune -o -print 2>/dev/null | sort >"/tmp/$1.files"
}

if dpkg-query -W ringmere >/dev/null 2>&1; then
  echo "ringmere is already installed here; not a fresh system"; exit 1
fi
apt-get update -qq
snapshot before

echo "== Installing the package with nothing but its declared dependencies"
if apt-get install -y -q "$DEB" >/tmp/install.log 2>&1; then ok "apt-get install"; else
  cat /tmp/install.log; fail "apt-get install"; exit 1; fi
grep -i "ringmere:" /tmp/install.log
if grep -q "could not grant" /tmp/install.log; then
  fail "postinst could not grant the wake-up capability"
fi
caps=$(getcap /usr/bin/ringmere 2>&1)
case $caps in *cap_wake_alarm*) ok "getcap: $caps" ;; *) fail "getcap: '$caps'" ;; esac
# Without setcap the maintainer script still succeeds, and says what is missing.
out=$(env PATH=/nonexistent /bin/sh /var/lib/dpkg/info/ringmere.postinst configure 2>&1) &&
  case $out in *"could not grant"*) ok "postinst without setcap: $out" ;;
    *) fail "postinst without setcap says: $out" ;; esac || fail "postinst without setcap fails: $out"

# Every library the programs and the plugins Qt loads at run time need is there.
plugins=/usr/lib/x86_64-linux-gnu/qt6/plugins
for f in /usr/bin/ringmere /usr/bin/ringmere-cli $plugins/platforms/libqxcb.so \
         $plugins/xcbglintegrations/libqxcb-glx-integration.so \
         $plugins/iconengines/libqsvgicon.so $plugins/imageformats/libqsvg.so \
         $plugins/multimedia/libgstreamermediaplugin.so $plugins/tls/libqopensslbackend.so; do
  if [ ! -e "$f" ]; then fail "missing $f"; continue; fi
  missing=$(ldd "$f" | grep "not found")
  if [ -n "$missing" ]; then fail "$f: $missing"; else ok "libraries of $f"; fi
done
# The media player's elements: decoding, conversion, the sound server's sink and
# its fallback, and the common file formats.
for g in coreelements playback audioconvert audioresample volume pulseaudio autodetect wavparse mpg123; do
  f=/usr/lib/x86_64-linux-gnu/gstreamer-1.0/libgst$g.so
  [ -f "$f" ] && ok "$f" || fail "missing $f (sound files other than wave stay silent)"
done
for f in /usr/share/ringmere/help/index.html /usr/share/icons/hicolor/scalable/apps/org.ringmere.Ringmere.svg \
         /usr/share/icons/hicolor/48x48/apps/org.ringmere.Ringmere.png; do
  [ -f "$f" ] && ok "$f" || fail "missing $f"
done

echo "== The programs answer on the command line"
for cmd in "ringmere --version" "ringmere --help" "ringmere-cli --version"; do
  out=$(timeout 20 $cmd 2>&1); rc=$?
  if [ $rc -eq 0 ] && [ -n "$out" ]; then ok "$cmd: $(echo "$out" | head -1)"; else
    fail "$cmd (exit $rc): $out"; fi
done

echo "== Tools for the check only: $CHECK_TOOLS"
apt-get install -y -q --no-install-recommends $CHECK_TOOLS >/tmp/tools.log 2>&1 ||
  { cat /tmp/tools.log; fail "installing the check tools"; exit 1; }

for page in ringmere ringmere-cli; do
  f=/usr/share/man/man1/$page.1
  [ -f "$f" ] || f=$f.gz
  out=$(MANWIDTH=80 man -l "$f" 2>&1 | col -b)
  if echo "$out" | grep -q "^NAME" && ! echo "$out" | grep -qi "warning"; then
    ok "man -l $f"; else fail "man -l $f: $(echo "$out" | head -5)"; fi
done

launcher=$(dpkg -L ringmere | grep '^/usr/share/applications/.*\.desktop$')
out=$(desktop-file-validate "$launcher" 2>&1)
[ -z "$out" ] && ok "desktop-file-validate $launcher" || fail "desktop-file-validate: $out"
exec_line=$(sed -n 's/^Exec=//p' "$launcher" | head -1 | sed 's/ *%[a-zA-Z]//g')
echo "   launcher runs: $exec_line"

echo "== Starting the launcher's command under Xvfb, as a user"
# An ordinary user, so that the program starts with the capability in effect.
userdel tester 2>/dev/null; useradd -M -d /tmp/user -s /bin/sh tester
export HOME=/tmp/user XDG_RUNTIME_DIR=/tmp/user/run
rm -rf /tmp/user; mkdir -p -m 700 /tmp/user /tmp/user/run
# The desktop's opener ends with $BROWSER when nothing else claims a file.
printf '#!/bin/sh\necho "$@" >/tmp/user/opened.txt\n' >/tmp/browser; chmod +x /tmp/browser
cat >/tmp/session.sh <<'SESSION'
# $1: the launcher's command; $2: the picture; $3: press F1 once the window shows
$1 >>/tmp/user/program.log 2>&1 &
pid=$!
for i in $(seq 60); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Ringmere' && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.5
done
sleep 2  # the first paint, before the picture
xwininfo -root -tree | grep '"Ringmere' | grep -v ' 1x1+' >>/tmp/user/windows.txt
import -window root "$2"
if [ -n "$3" ]; then
  xdotool windowfocus --sync "$(xdotool search --name '^Ringmere$' | head -1)" key F1
  for i in $(seq 40); do [ -s /tmp/user/opened.txt ] && break; sleep 0.5; done
fi
grep -i '^CapEff' /proc/$pid/status >/tmp/user/caps.txt
kill $pid 2>/dev/null; wait $pid
SESSION
session() {
  chown -R tester:tester /tmp/user
  BROWSER=/tmp/browser setpriv --reuid=tester --regid=tester --init-groups \
    dbus-run-session -- xvfb-run -a -s "-screen 0 1024x640x24" \
    sh /tmp/session.sh "$exec_line" "$@" 2>/dev/null
}
: >/tmp/user/windows.txt
session /tmp/user/first-start.png
grep -q '"Ringmere StartUp Wizard"' /tmp/user/windows.txt && ok "first start: the start-up wizard" ||
  fail "first start shows no wizard: $(cat /tmp/user/windows.txt /tmp/user/program.log)"
# With an alarm file in place the main window comes up by itself.
mkdir -p /tmp/user/.local/share/ringmere && cp /tmp/alfile.ini /tmp/user/.local/share/ringmere/
: >/tmp/user/windows.txt
session /tmp/user/installed.png F1
if grep -q '"Ringmere": ("ringmere"' /tmp/user/windows.txt; then ok "main window: $(tr -s ' ' </tmp/user/windows.txt)"
else fail "no main window: $(cat /tmp/user/windows.txt /tmp/user/program.log)"; fi
# cap_wake_alarm is bit 35
grep -q '0000000800000000' /tmp/user/caps.txt && ok "the program runs with cap_wake_alarm" ||
  fail "capabilities of the running program: $(cat /tmp/user/caps.txt)"
case $(cat /tmp/user/opened.txt 2>/dev/null) in
  */usr/share/ringmere/help/index.html) ok "F1 opens $(cat /tmp/user/opened.txt)" ;;
  *) fail "F1 opened '$(cat /tmp/user/opened.txt 2>/dev/null)', not the installed help" ;;
esac
[ -s /tmp/user/program.log ] && { echo "   program's output:"; sed 's/^/     /' /tmp/user/program.log | head -20; echo; }
echo "   pictures: ROOT/tmp/user/first-start.png, ROOT/tmp/user/installed.png"

echo "== Removing and purging"
dpkg -L ringmere | sort >/tmp/ringmere.files
apt-get purge -y -q --autoremove $CHECK_TOOLS >/tmp/remove.log 2>&1 || fail "purging the check tools"
apt-get remove -y -q ringmere >>/tmp/remove.log 2>&1 || fail "apt-get remove"
[ ! -e /usr/bin/ringmere ] && ok "removed" || fail "/usr/bin/ringmere still there after remove"
# A local package without conffiles is gone from dpkg's books once removed;
# apt no longer knows its name, dpkg --purge still answers.
dpkg --purge ringmere >>/tmp/remove.log 2>&1 || fail "dpkg --purge"
apt-get autoremove -y -q --purge >>/tmp/remove.log 2>&1 || fail "apt-get autoremove"
state=$(dpkg-query -W -f='${Status}' ringmere 2>/dev/null)
[ -z "$state" ] || [ "$state" = "unknown ok not-installed" ] && ok "dpkg has forgotten ringmere" ||
  fail "dpkg still has ringmere: $state"
userdel tester
snapshot after
# Files the package held, and new files no package owns that name the program.
left=$(while read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done </tmp/ringmere.files)
new=$(comm -13 /tmp/before.files /tmp/after.files)
stray=$(echo "$new" | grep -i ringmere)
if [ -z "$left$stray" ]; then ok "no files of ringmere left"; else
  fail "left behind: $left $stray"; fi
# apt keeps what a base package recommends (apt recommends ca-certificates,
# which pulls openssl and perl): shown, not judged.
extra=$(comm -13 /tmp/before.pkgs /tmp/after.pkgs | tr '\n' ' ')
echo "   packages kept after purge and autoremove: ${extra:-none}"

echo "== $failures failed"
[ "$failures" -eq 0 ]
INSIDE
