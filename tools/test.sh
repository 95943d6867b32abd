#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier:
#   1. AddressSanitizer + UndefinedBehaviorSanitizer over the unit, gl and
#      e2e tiers (leak detection stays on except in the processes that draw
#      through the GL driver, whose own leaks at exit cannot be suppressed:
#      see tests/support/gl_main.cpp and e2e_session.cpp);
#      while they run, the trees of the later tiers build on the idle cores;
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
# -O1: the sanitizers see the same faults, and the deep and rendering tests
# run three times faster than unoptimised. -g1: line tables are all a
# sanitizer's report needs, and full debug information costs a quarter of
# this tree's compile time.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DQUORVEX_WERROR=ON \
  -DQUORVEX_GUI=ON -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"

# The sanitizer tests spend much of their time waiting on their X servers
# and child programs, so the later trees build meanwhile, in the background
# and on idle cycles only (SCHED_IDLE: a build never takes a core a test
# wants). Their output goes to build-logs/later.log, shown if they fail.
build_later() {
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DQUORVEX_WERROR=ON -DQUORVEX_GUI=OFF -DQUORVEX_BENCH=OFF -DQUORVEX_SANITIZE=thread &&
    cmake --build build-tsan -j"$jobs" --target $threaded &&
    bash tools/fuzz.sh build &&
    bash tools/build.sh
}
threaded=$(for t in tests/unit/threaded_*_test.cpp; do basename "$t" .cpp; done)
export jobs threaded
mkdir -p build-logs
# Its own process group, so that a failing test, which stops the run here,
# stops the whole build with it.
setsid chrt --idle 0 bash -c "$(declare -f build_later); build_later" >build-logs/later.log 2>&1 &
later=$!
trap 'kill -- -$later 2>/dev/null || true' EXIT

# The instrumented program draws several times slower: the end-to-end
# tests' fixed waits for it to draw are stretched to match.
QUORVEX_TEST_TIME_SCALE=2 ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Nothing waits on the cores now: what is left of the build goes on at the
# ordinary priority, or on a shared machine anything else would starve it.
for p in $(pgrep -g "$later"); do chrt --other -p 0 "$p" 2>/dev/null || true; done
if ! wait $later; then
  tail -n 60 build-logs/later.log >&2
  echo "test.sh: building the ThreadSanitizer, fuzzing or default tree failed (build-logs/later.log)" >&2
  exit 1
fi
trap - EXIT

echo "== ThreadSanitizer: threaded generation"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L threads

echo "== fuzzing the file readers"
bash tools/fuzz.sh run

echo "== default build: unit, gl, e2e"
ctest --test-dir build --output-on-failure -j"$jobs"
