// Threaded generation against sequential: computing the grid alone (no
// drawing) on the compute-bound view, sequentially on this thread against
// 1, 2 and 4 worker slots. The main thread sleeps while the workers
// compute, so one slot should cost about what sequential costs and two
// slots should use both cores of this machine.
//
// The view: the 0.1-wide square with its lower-left corner at -0.75 + 0.1i,
// detail 5000 (most cells run to the limit). process_cpu counts every
// thread's CPU time; main_cpu is the main thread's share of the wall time.
//
// BM_EmptyRows is the floor of one worker per row on this machine: the same
// 800 rows with workers that compute nothing, so its time is what starting,
// ending and waiting for 800 threads costs, whatever the kernels.
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

void ignoreRow(int, void *) {}

double seconds(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void BM_ComputeSequential(benchmark::State &state) {
    computeBoundView();
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state)
        for (int row = 0; row < fracHeight; ++row) MANDELBROT_CORE(row, fractal + GRID_SIZE * row);
    state.counters["process_cpu"] = (seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / state.iterations();
}

void BM_ComputeThreaded(benchmark::State &state) {
    computeBoundView();
    const int slots = (int)state.range(0);
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double main0 = seconds(CLOCK_THREAD_CPUTIME_ID), wall0 = seconds(CLOCK_MONOTONIC);
    for (auto _ : state) generateRowsThreaded(slots, ignoreRow, nullptr);
    state.counters["process_cpu"] = (seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / state.iterations();
    state.counters["main_cpu"] =
        (seconds(CLOCK_THREAD_CPUTIME_ID) - main0) / (seconds(CLOCK_MONOTONIC) - wall0);
}

void *emptyWorker(void *arg) {
    static_cast<RowSlot *>(arg)->done.store(1, std::memory_order_release);
    pthread_exit(nullptr);
}
void nothingHere(int) {}

void BM_EmptyRows(benchmark::State &state) {
    const double wall0 = seconds(CLOCK_MONOTONIC);
    for (auto _ : state) runRowWorkers((int)state.range(0), GRID_SIZE, emptyWorker, nothingHere, ignoreRow, nullptr);
    state.counters["us_per_row"] = (seconds(CLOCK_MONOTONIC) - wall0) * 1e6 / (double)(state.iterations() * GRID_SIZE);
}

BENCHMARK(BM_ComputeSequential)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_ComputeThreaded)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(3)->UseRealTime();
BENCHMARK(BM_EmptyRows)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();

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
