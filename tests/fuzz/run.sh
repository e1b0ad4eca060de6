#!/usr/bin/env bash
# Runs every fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer for SECONDS each (default 60), one after the
# other, and stops at the first finding with its reproducer.  Called by
# ./dev.sh fuzz, which installs clang first.
#
#   tests/fuzz/run.sh [SECONDS]
#
# Builds in build-fuzz with clang; new inputs found go to
# build-fuzz/fuzz-corpus/NAME (the seed corpus in the repository is only
# read), findings to build-fuzz/fuzz-findings/NAME/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: ./dev.sh fuzz [SECONDS]" >&2; exit 2; }

cc=clang-14; cxx=clang++-14
command -v "$cxx" >/dev/null 2>&1 || { cc=clang; cxx=clang++; }
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
CC="$cc" CXX="$cxx" cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRAVIK_FUZZ=ON -DBRAVIK_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target bravik_fuzz_all

# Leaks are findings too; tests/sanitize/lsan.supp would name a library's own.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

summary=()
while IFS='|' read -r name exe corpus regressions dict; do
  [ -n "$name" ] || continue
  work="build-fuzz/fuzz-corpus/$name"
  findings="build-fuzz/fuzz-findings/$name"
  mkdir -p "$work" "$findings"
  inputs=("$work" "$corpus")
  [ -d "$regressions" ] && inputs+=("$regressions")
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" -timeout=10 -rss_limit_mb=2048)
  [ -n "$dict" ] && options+=(-dict="$dict")
  echo "== $name: ${seconds} s"
  log="build-fuzz/fuzz-$name.log"
  if ! "$exe" "${options[@]}" "${inputs[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    finding=$(ls -t "$findings"/* 2>/dev/null | head -n 1 || true)
    echo
    echo "FINDING in $name: ${finding:-see $log}"
    echo "Reproduce:  $exe $finding"
    echo "Once fixed: keep it as a regression: mkdir -p tests/fuzz/regressions/$name && cp $finding tests/fuzz/regressions/$name/"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
  summary+=("$(printf '%-16s %12s inputs  %s' "$name" "${runs:-?}" "$cov")")
done < build-fuzz/fuzz-targets.txt

echo
echo "No finding; inputs executed per target (${seconds} s each):"
printf '  %s\n' "${summary[@]}"
