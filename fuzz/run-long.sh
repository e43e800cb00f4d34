#!/usr/bin/env bash
# A long fuzz run of the alarm file reader: fuzz/run-long.sh [SECONDS] (default 3600).
# Builds with clang into build-fuzz/ and keeps the corpus in build-fuzz/fuzz/corpus-long.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DRINGMERE_FUZZ=ON \
  -DRINGMERE_CORE_ONLY=ON >/dev/null
ninja -C build-fuzz alarmfile_fuzz
mkdir -p build-fuzz/fuzz/corpus-long
exec build-fuzz/fuzz/alarmfile_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -jobs="$(nproc)" -workers="$(nproc)" \
  build-fuzz/fuzz/corpus-long fuzz/seeds tests/data
