#!/usr/bin/env bash
# Everything a newcomer needs on Debian 12, as root or with sudo:
#   scripts/dev.sh run    install what is missing, build, start the program
#   scripts/dev.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."

# Each package and why it is here: README.md, "Dependencies".
PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libbenchmark-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  python3 python3-dateutil
  qt6-base-dev libgl-dev qt6-multimedia-dev libqt6svg6
  dbus-daemon python3-dbusmock tzdata faketime
  xvfb xauth xdotool
  xdg-utils gstreamer1.0-plugins-base
  libcurl4-openssl-dev python3-aiosmtpd python3-pyftpdlib openssl
  desktop-file-utils appstream groff-base dpkg-dev
)

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

configure_and_build() {  # DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  ninja -C "$dir"
}

# Runs ctest and keeps its closing line for the summary.
declare -a SUMMARY=()
TOTAL_PASSED=0
TOTAL_FAILED=0
run_ctest() {  # LABEL DIR [ctest options...]
  local label=$1 dir=$2 log status=0
  shift 2
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$log" || status=$?
  local line total failed
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    SUMMARY+=("$label: no result")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    return 0
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  TOTAL_PASSED=$((TOTAL_PASSED + total - failed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
  [ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || TOTAL_FAILED=$((TOTAL_FAILED + 1))
  SUMMARY+=("$label: $line")
}

case "${1:-}" in
  run)
    install_missing
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    if [ -x build/app/ringmere ]; then
      exec build/app/ringmere "${@:2}"
    fi
    # Until the program itself lands: show what the companion reads from the sample.
    exec build/tools/ringmere-cli dump tests/data/sample/alfile.ini
    ;;
  test)
    install_missing
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_ctest "all tests" build -j2
    # core/ and ringmere-cli again under AddressSanitizer and UndefinedBehaviorSanitizer.
    configure_and_build build-asan -DRINGMERE_CORE_ONLY=ON -DRINGMERE_SANITIZE=ON \
      -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      run_ctest "sanitizers" build-asan -j2 -E '^script\.'
    # A short fuzz run of the alarm file reader.
    configure_and_build build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DRINGMERE_FUZZ=ON \
      -DRINGMERE_CORE_ONLY=ON
    run_ctest "fuzz" build-fuzz -R '^fuzz\.'
    echo
    printf '%s\n' "${SUMMARY[@]}"
    echo "ringmere: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
    [ "$TOTAL_FAILED" -eq 0 ]
    ;;
  *)
    echo "usage: scripts/dev.sh run|test" >&2
    exit 2
    ;;
esac
