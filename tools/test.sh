#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier:
#   1. AddressSanitizer + UndefinedBehaviorSanitizer over the unit, gl and
#      e2e tiers (leak detection stays on except in the processes that draw
#      through the GL driver, whose own leaks at exit cannot be suppressed:
#      see tests/support/gl_main.cpp and e2e_session.cpp);
#   2. ThreadSanitizer over threaded generation;
#   3. the libFuzzer targets for the file readers, bounded in time;
#   4. the default build: unit, gl and e2e tiers (each test program starts
#      its own private Xvfb, so no display is needed), and the README's
#      many-machine recipes on an ssh server and a one-node Slurm cluster
#      that the test starts and stops itself (tests/cluster).
# Any failure stops the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: unit, gl, e2e"
# clang, the sanitizers' home compiler: it builds this tree in four fifths
# of g++'s time, and its warnings join g++'s (the default tree) in failing
# the run. -O1: the sanitizers see the same faults, and the deep and
# rendering tests run three times faster than unoptimised. -g1: line tables
# are all a sanitizer's report needs, and full debug information costs a
# quarter of this tree's compile time.
cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
  -DQUORVEX_WERROR=ON \
  -DQUORVEX_GUI=ON -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"

# The instrumented program draws several times slower: the end-to-end
# tests' fixed waits for it to draw are stretched to match.
QUORVEX_TEST_TIME_SCALE=2 ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer: threaded generation"
# clang here too: its ThreadSanitizer runs these tests in three quarters of
# g++'s time.
cmake -S . -B build-tsan -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DQUORVEX_WERROR=ON -DQUORVEX_GUI=OFF -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=thread >/dev/null
threaded=$(for t in tests/unit/threaded_*_test.cpp; do basename "$t" .cpp; done)
cmake --build build-tsan -j"$jobs" --target $threaded
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L threads

echo "== fuzzing the file readers"
bash tools/fuzz.sh

echo "== default build: unit, gl, e2e"
bash tools/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"
