#!/usr/bin/env bash
# Fuzzes the file readers and the dive's frame patterns: builds the GL-free
# libraries with clang, AddressSanitizer and libFuzzer coverage in
# build-fuzz, links one program per tests/fuzz/*_fuzz.cpp, and runs each for
# a bounded time on a copy of its seed corpus (tests/fuzz/corpus/<name>; new inputs go to the copy, the
# repository's corpus is never written). Any crash, sanitizer report, leak,
# timeout or memory blow-up fails the script, whether or not libFuzzer's
# exit status says so: its output is searched for every such report. The
# input that caused it is kept in build-fuzz/artifacts.
#   QUORVEX_FUZZ_SECONDS  time per target (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-fuzz"
seconds=${QUORVEX_FUZZ_SECONDS:-10}
jobs=$(nproc)

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_GUI=OFF -DQUORVEX_TESTS=OFF -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=address \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$build" -j"$jobs" --target quorvex_render >/dev/null
# Every GL-free layer up to render/, top first, and what they link.
libraries=()
for layer in render deep files colour core; do libraries+=("$build/libquorvex_$layer.a"); done

work=$(mktemp -d /tmp/quorvex-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts" "$build/logs"

# What libFuzzer and the sanitizers print for a fault of any kind: a
# sanitizer's error line, any SUMMARY line (printed for faults only),
# libFuzzer's own errors (deadly signal, timeout, out-of-memory, leak,
# malloc limit), and the saved input.
faults='==[0-9]+==ERROR|ERROR: libFuzzer|SUMMARY: |runtime error:|out-of-memory|Test unit written to'

failed=0
for source in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  program="$build/$name"
  clang++ -std=c++17 -g -O1 -Wall -Wextra -Werror -ffp-contract=off -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address -I"$root" "$source" "${libraries[@]}" -lmpfr -lgmp -lpng -lz -lpthread -lm -o "$program"

  corpus="$work/$name"
  mkdir -p "$corpus"
  seeds="tests/fuzz/corpus/${name%_fuzz}"
  [ -d "$seeds" ] && cp "$seeds"/* "$corpus"/

  log="$build/logs/$name.log"
  status=0
  (cd "$work" && TMPDIR="$work" "$program" "$corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1) >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ] && ! grep -Eq "$faults" "$log"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name: ${runs:-?} inputs in ${seconds} s, no fault"
  else
    echo "fuzz: $name FAILED, status $status (log: $log, input: $build/artifacts/$name-*)" >&2
    grep -E -m 5 "$faults" "$log" >&2 || true
    tail -n 40 "$log" >&2
    failed=1
  fi
done
exit "$failed"
