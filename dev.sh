#!/usr/bin/env bash
# Sets up a Debian 12 machine for the Bravik AUV Log Utility, builds it, and
# then starts the program (run) or runs the whole test suite (test).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools
          libqt6sql6-sqlite libqt6sql6-psql libgl-dev sqlite3
          postgresql postgresql-common libpq-dev pkg-config xvfb xauth x11-utils
          librsvg2-bin desktop-file-utils appstream groff-base man-db file dpkg-dev lintian
          libsqlite3-dev poppler-utils)
# GPS sources: serial receivers (Qt Serial Port); gpsd and gpsfake, socat for
# the tests of the gpsd and serial sources.
PACKAGES+=(qt6-serialport-dev gpsd gpsd-clients socat)
# Shorelines: GMT's library reads the GSHHG data; gmt-common holds GMT's own
# files (every GSHHG resolution among them), gmt-gshhg-low the package the
# program names.
PACKAGES+=(libgmt-dev gmt-common gmt-gshhg-low)
# The old Access logbook is read through the mdbtools programs.
PACKAGES+=(mdbtools)
# Attachments: when a photo was taken, from its EXIF data.
PACKAGES+=(libexif-dev)
# Only ./dev.sh fuzz needs these: clang and its libFuzzer runtime.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

# The tests' throwaway PostgreSQL server keeps its text as UTF-8 with a
# character type that folds the case of any letter, whatever locale the
# caller has (none at all in a bare root shell, where pg_virtualenv would
# make a SQL_ASCII cluster of type C).
export PG_CLUSTER_OPTIONS="--encoding=UTF8 --locale=C.UTF-8"

install_missing() {
  local missing=() wanted=("$@")
  ((${#wanted[@]})) || wanted=("${PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j"$(nproc)"
}

case "${1:-}" in
  run)
    shift
    install_missing
    build
    exec ./build/app/bravik-log "$@"
    ;;
  test)
    install_missing
    if [ "${2:-}" = "--sanitize" ]; then
      # The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
      exec tests/sanitize/run.sh
    fi
    build
    cd build
    # The logbook tests run on SQLite and, through a throwaway PostgreSQL
    # server that pg_virtualenv makes in a temporary folder and removes
    # afterwards (as root too), on PostgreSQL: it sets PGHOST, PGPORT,
    # PGUSER and PGPASSWORD, and BRAVIK_TEST_PG tells the tests to use it.
    if command -v pg_virtualenv >/dev/null 2>&1; then
      pg_virtualenv -t -c "$PG_CLUSTER_OPTIONS" env BRAVIK_TEST_PG="dbname=postgres" QT_QPA_PLATFORM=offscreen \
        ctest --output-on-failure -j"$(nproc)" --timeout 600
    else
      echo "pg_virtualenv not found: the PostgreSQL test cases are skipped" >&2
      QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 600
    fi
    ;;
  build)
    install_missing
    build
    ;;
  package)
    # build/bravik-log_VERSION_ARCH.deb; install it with
    # apt install ./build/bravik-log_*.deb
    install_missing
    build
    (cd build && cpack -G DEB)
    ;;
  fuzz)
    # Every fuzz target for SECONDS each (default 60) with libFuzzer.
    install_missing
    install_missing "${FUZZ_PACKAGES[@]}"
    exec tests/fuzz/run.sh "${2:-60}"
    ;;
  *)
    echo "usage: ./dev.sh run [program options] | test [--sanitize] | build | package | fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
