#!/usr/bin/env bash
# Fuzzes the file readers and the dive's frame patterns: builds the GL-free
# libraries with clang, AddressSanitizer and libFuzzer coverage in
# build-fuzz, links one program per tests/fuzz/*_fuzz.cpp, and runs each for
# a bounded time on a copy of its seed corpus (tests/fuzz/corpus/<name>; new inputs go to the copy, the
# repository's corpus is never written). Any crash, sanitizer report, leak,
# timeout or memory blow-up fails the script, whether or not libFuzzer's
# exit status says so: its output is searched for every such report. The
# input that caused it is kept in build-fuzz/artifacts.
#   bash tools/fuzz.sh          builds, then fuzzes
#   bash tools/fuzz.sh build    only builds
#   bash tools/fuzz.sh run      only fuzzes what was built
#   QUORVEX_FUZZ_SECONDS  time per target (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-fuzz"
seconds=${QUORVEX_FUZZ_SECONDS:-10}
jobs=$(nproc)
mode=${1:-all}
case "$mode" in
  all | build | run) ;;
  *) echo "usage: bash tools/fuzz.sh [build | run]" >&2; exit 2 ;;
esac

# Every GL-free layer up to render/, top first, and what they link.
libraries=()
for layer in render deep files colour core; do libraries+=("$build/libquorvex_$layer.a"); done

# What libFuzzer and the sanitizers print for a fault of any kind: a
# sanitizer's error line, any SUMMARY line (printed for faults only),
# libFuzzer's own errors (deadly signal, timeout, out-of-memory, leak,
# malloc limit), and the saved input.
faults='==[0-9]+==ERROR|ERROR: libFuzzer|SUMMARY: |runtime error:|out-of-memory|Test unit written to'

# One program a target. They are independent and each compile or fuzzing
# run keeps one core busy, so they go $jobs at a time: every target still
# fuzzes for its full time on a core of its own.
build_one() {
  local name=$1
  clang++ -std=c++17 -g1 -O1 -Wall -Wextra -Werror -ffp-contract=off -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address -I"$root" "tests/fuzz/$name.cpp" "${libraries[@]}" \
    -lmpfr -lgmp -lpng -lz -lpthread -lm -o "$build/$name"
}

fuzz_one() {
  local name=$1 corpus="$work/$1" seeds="tests/fuzz/corpus/${1%_fuzz}" status=0
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp "$seeds"/* "$corpus"/
  (cd "$work" && TMPDIR="$work" "$build/$name" "$corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1) \
    >"$build/logs/$name.log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$name.status"
}

# Runs "$1 NAME" for every name, $jobs at a time; fails when any failed.
each_target() {
  local step=$1 name failed=0 running=0
  for name in "${names[@]}"; do
    if [ "$running" -ge "$jobs" ]; then wait -n || failed=1; running=$((running - 1)); fi
    "$step" "$name" &
    running=$((running + 1))
  done
  while [ "$running" -gt 0 ]; do wait -n || failed=1; running=$((running - 1)); done
  return "$failed"
}

names=()
for source in tests/fuzz/*_fuzz.cpp; do names+=("$(basename "$source" .cpp)"); done

if [ "$mode" != run ]; then
  # -g1: line tables are all a sanitizer's report needs, and fuller debug
  # information makes the instrumented build markedly slower. -O1: the
  # libraries build in two thirds of -O2's time (57 s against 83 s), which
  # outweighs the inputs -O2 would add in a run of a few seconds.
  cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DQUORVEX_GUI=OFF -DQUORVEX_TESTS=OFF \
    -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=address \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
  cmake --build "$build" -j"$jobs" --target quorvex_render >/dev/null
  each_target build_one
fi
[ "$mode" != build ] || exit 0

work=$(mktemp -d /tmp/quorvex-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts" "$build/logs"
rm -f "$build"/logs/*.status

each_target fuzz_one || true

# Judged from the logs, whatever libFuzzer's exit status said.
failed=0
for name in "${names[@]}"; do
  log="$build/logs/$name.log"
  status=$(cat "$build/logs/$name.status" 2>/dev/null || echo "not run")
  if [ "$status" = 0 ] && ! grep -Eq "$faults" "$log"; then
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
