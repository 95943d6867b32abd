// A whole Make, computing and drawing into the program's window (private
// Xvfb, llvmpipe), sequentially against two worker slots, at the start view
// with detail 50 (drawing-bound) and at the 0.1-wide square with its
// lower-left corner at -0.75 + 0.1i with detail 5000 (compute-bound).
// The button's 50 ms flash is switched off: it is the same in both modes.
// main_cpu is the main thread's CPU time over the wall time of the Makes:
// while workers compute it should sleep, not hold a core.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <time.h>

#include "app/app_state.h"
#include "app/dispatch.h"
#include "bench/gl_bench.h"
#include "bench/ratios.h"
#include "core/state.h"
#include "generate/make.h"
#include "tests/support/gl_harness.h"
#include "widgets/button.h"
#include "widgets/gl.h"

namespace {

double seconds(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// range(0): the view; range(1): 0 sequential, N worker slots.
void BM_Make(benchmark::State &state) {
    const int slots = (int)state.range(1);
    processType = slots == 0 ? 1 : 2;
    threads = slots == 0 ? 1 : slots;
    clickFlashMicroseconds = 0;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setBenchView((int)state.range(0));
        const double cpu0 = seconds(CLOCK_THREAD_CPUTIME_ID), wall0 = seconds(CLOCK_MONOTONIC);
        state.ResumeTiming();
        MAKE_COMMAND();
        glFinish();  // the drawing is done, not just queued
        cpu += seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0, wall += seconds(CLOCK_MONOTONIC) - wall0;
    }
    state.counters["main_cpu"] = cpu / wall;
    pumpEvents(5);
}

BENCHMARK(BM_Make)->ArgNames({"view", "slots"})->Args({START_VIEW, 0})->Args({START_VIEW, 2})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_Make)->ArgNames({"view", "slots"})->Args({DEEP_SQUARE, 0})->Args({DEEP_SQUARE, 2})
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (!openBenchWindow()) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios("A whole Make, sequential against t 2 (above 1: t 2 faster)",
                         {{"BM_Make/view:0/slots:0/iterations:5/repeats:3/real_time",
                           "BM_Make/view:0/slots:2/iterations:5/repeats:3/real_time"},
                          {"BM_Make/view:1/slots:0/iterations:1/repeats:3/real_time",
                           "BM_Make/view:1/slots:2/iterations:1/repeats:3/real_time"}});
    benchmark::Shutdown();
    return 0;
}
