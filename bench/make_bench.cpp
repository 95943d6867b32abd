// What the busy-polling main thread costs: computing the grid alone (no
// drawing) on the compute-bound view, sequentially on this thread against
// 1, 2 and 4 worker slots. On 2 cores the polling thread takes a core of its
// own: one slot leaves the second core to the worker, two or more slots
// share the cores with it.
//
// The view: the 0.1-wide square with its lower-left corner at -0.75 + 0.1i,
// detail 5000 (most cells run to the limit). process_cpu counts every
// thread's CPU time, so it shows the polling too.
#include <benchmark/benchmark.h>
#include <time.h>

#include "bench/ratios.h"
#include "core/kernels.h"
#include "core/state.h"
#include "generate/row_workers.h"

namespace {

void computeBoundView() {
    resetFractalState();
    xStart = -0.75, xEnd = -0.65, yStart = 0.1, yEnd = 0.2;
    detail = 5000;
    setFractalType(MANDELBROT_TYPE);
    applyScaleRule();
}

double processCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void ignoreRow(int, void *) {}

void BM_ComputeSequential(benchmark::State &state) {
    computeBoundView();
    const double cpu0 = processCpuSeconds();
    for (auto _ : state)
        for (int row = 0; row < fracHeight; ++row) MANDELBROT_CORE(row, fractal + GRID_SIZE * row);
    state.counters["process_cpu"] = (processCpuSeconds() - cpu0) / state.iterations();
}

void BM_ComputeThreaded(benchmark::State &state) {
    computeBoundView();
    const int slots = (int)state.range(0);
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) generateRowsThreaded(slots, ignoreRow, nullptr);
    state.counters["process_cpu"] = (processCpuSeconds() - cpu0) / state.iterations();
}

BENCHMARK(BM_ComputeSequential)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_ComputeThreaded)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(3)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios("Compute only, sequential against N slots (above 1: faster than sequential)",
                         {{"BM_ComputeSequential/iterations:1/repeats:3/real_time",
                           "BM_ComputeThreaded/1/iterations:1/repeats:3/real_time"},
                          {"BM_ComputeSequential/iterations:1/repeats:3/real_time",
                           "BM_ComputeThreaded/2/iterations:1/repeats:3/real_time"},
                          {"BM_ComputeSequential/iterations:1/repeats:3/real_time",
                           "BM_ComputeThreaded/4/iterations:1/repeats:3/real_time"}});
    benchmark::Shutdown();
    return 0;
}
