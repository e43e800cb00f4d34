#!/usr/bin/env bash
# Start-up figures of the ringmere program with an alarm file of ALARMS alarms
# (1,000 unless given; half of them scripted, or all simple with --simple),
# under Xvfb: time from exec to the event loop, resident memory after start,
# and CPU time used over IDLE_SECONDS idle seconds (60 unless given).
# Usage: bench/startup.sh [BUILD_DIR] [IDLE_SECONDS] [ALARMS] [--simple]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--inner" ]; then  # runs inside the virtual display
  program=$2 idle=$3 work=$4
  run_once() {
    rm -f "$work/probe"
    local start; start=$(date +%s%3N)
    RINGMERE_STARTUP_PROBE=$work/probe "$program" startup &
    pid=$!
    for _ in $(seq 200); do grep -q '^shown=' "$work/probe" 2>/dev/null && break; sleep 0.05; done
    ms=$(( $(sed -n 's/^loop_ms=//p' "$work/probe") - start ))
    rss=$(sed -n 's/^rss=//p' "$work/probe")
  }
  for i in 1 2 3 4 5; do
    run_once
    echo "run $i: start to event loop ${ms} ms, resident memory ${rss}"
    if [ "$i" -lt 5 ]; then kill "$pid"; wait "$pid" 2>/dev/null || true; fi
  done
  tick=$(getconf CLK_TCK)
  sleep 5
  read -r -a s1 < "/proc/$pid/stat"
  sleep "$idle"
  read -r -a s2 < "/proc/$pid/stat"
  cpu=$(( (s2[13] + s2[14]) - (s1[13] + s1[14]) ))
  awk -v c="$cpu" -v t="$tick" -v i="$idle" 'BEGIN { printf "CPU over %d idle seconds: %.2f s\n", i, c / t }'
  kill "$pid"; wait "$pid" 2>/dev/null || true
  exit 0
fi

build=${1:-build-rel}
idle=${2:-60}
alarms=${3:-1000}
simple=${4:-}
program=$(realpath "$build/app/ringmere" 2>/dev/null || true)
[ -x "$program" ] || {
  echo "build the program first: cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C $build ringmere" >&2
  exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/dir" "$work/config" "$work/sys" "$work/run"
chmod 700 "$work/run"
# Nothing may ring while the idle program is measured: the alarms start in 2099.
python3 bench/make_alarm_file.py $simple --start-year 2099 "$alarms" > "$work/dir/alfile.ini"
export RINGMERE_DIR=$work/dir XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/sys
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner "$program" "$idle" "$work"
