#!/usr/bin/env bash
# Start-up figures of the ringmere program with a 1,000-alarm file, under Xvfb:
# time from exec to the event loop, resident memory after start, and CPU time
# used over 60 idle seconds. Usage: bench/startup.sh [BUILD_DIR] [IDLE_SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-rel}
idle=${2:-60}
program=$build/app/ringmere
[ -x "$program" ] || { echo "build $program first (Release: cmake -B build-rel -DCMAKE_BUILD_TYPE=Release)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/dir" "$work/config" "$work/sys"
python3 bench/make_alarm_file.py 1000 > "$work/dir/alfile.ini"
export RINGMERE_DIR=$work/dir XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/sys
export XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb
run_once() {
  rm -f "$work/probe"
  local start; start=$(date +%s%3N)
  RINGMERE_STARTUP_PROBE=$work/probe "$program" startup &
  local pid=$!
  for _ in $(seq 100); do [ -s "$work/probe" ] && break; sleep 0.1; done
  local loop; loop=$(sed -n 's/^loop_ms=//p' "$work/probe")
  echo "$((loop - start)) $(sed -n 's/^rss=//p' "$work/probe") $pid"
}
export -f run_once
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -e
  program='"$program"' work='"$work"' idle='"$idle"'
  best=""
  for i in 1 2 3 4 5; do
    read -r ms rss pid < <(run_once)
    echo "run $i: start to event loop ${ms} ms, resident memory ${rss}"
    if [ "$i" -lt 5 ]; then kill "$pid"; wait "$pid" 2>/dev/null || true; fi
  done
  tick=$(getconf CLK_TCK)
  sleep 5
  read -r -a s1 < "/proc/$pid/stat"
  sleep "$idle"
  read -r -a s2 < "/proc/$pid/stat"
  cpu=$(( (s2[13] + s2[14]) - (s1[13] + s1[14]) ))
  echo "CPU over ${idle} idle seconds: $(awk -v c=$cpu -v t=$tick "BEGIN{printf \"%.3f\", c/t}") s"
  kill "$pid"; wait "$pid" 2>/dev/null || true
'
