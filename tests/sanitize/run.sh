#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++) in build-sanitize and run, on SQLite
# and on a throwaway PostgreSQL server as ./dev.sh test does.  Any finding
# fails the test that met it.  Called by ./dev.sh test --sanitize.
set -euo pipefail
cd "$(dirname "$0")/../.."
top="$PWD"

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAVIK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-sanitize -j"$(nproc)"
cd build-sanitize

# Leak checking is on; lsan.supp names the libraries that keep memory until
# exit by design, asan.supp the one whose string calls strict checking
# misreads.  Undefined behaviour stops the test that met it.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:suppressions=$top/tests/sanitize/asan.supp}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/sanitize/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
# The install and package checks look at what a package holds, not at
# memory: they run in the normal suite only.
skip='^install_'
# A UTF-8 server whatever the caller's locale (dev.sh says why).
PG_CLUSTER_OPTIONS="${PG_CLUSTER_OPTIONS:---encoding=UTF8 --locale=C.UTF-8}"
if command -v pg_virtualenv >/dev/null 2>&1; then
  pg_virtualenv -t -c "$PG_CLUSTER_OPTIONS" env BRAVIK_TEST_PG="dbname=postgres" QT_QPA_PLATFORM=offscreen \
    ctest --output-on-failure -j"$(nproc)" --timeout 1200 -E "$skip"
else
  echo "pg_virtualenv not found: the PostgreSQL test cases are skipped" >&2
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 1200 -E "$skip"
fi
