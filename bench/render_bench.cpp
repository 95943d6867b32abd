// The headless renderer's compute phase: a 4096 x 4096 Mandelbrot at detail
// 1000 on the deep square (-0.75..-0.65, 0.1..0.2, most cells near the set's
// edge), on one thread against two, rows taken from the shared counter.
// Reports cells per second (real time) and, at the end, how many times
// faster two threads ran than one in this same run.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "render/rows.h"

namespace {

const int SIDE = 4096;
const FractalParams DEEP_SQUARE = {MANDELBROT_TYPE, 1000, -0.75, -0.65, 0.1, 0.2, 0.0, 0.0};

double processCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

// process_cpu counts every thread: against the real time it shows how much
// of the two cores the render really had on a shared machine.
void BM_RenderDeepSquare(benchmark::State &state) {
    std::vector<unsigned char> cells((size_t)SIDE * SIDE);
    const RenderGrid grid = {SIDE, SIDE, SIDE, cells.data()};
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) {
        renderGrid(DEEP_SQUARE, grid, (int)state.range(0), nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(cells.data());
    }
    state.counters["process_cpu_s"] = (processCpuSeconds() - cpu0) / (double)state.iterations();
    state.counters["cells_per_s"] =
        benchmark::Counter((double)SIDE * SIDE, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_RenderDeepSquare)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(3)->UseRealTime();

// Keeps the median real time of each benchmark for the closing ratio.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.str()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double one = 0, two = 0;
    for (const auto &m : reporter.medians) {
        if (m.first.find("/threads:1/") != std::string::npos) one = m.second;
        if (m.first.find("/threads:2/") != std::string::npos) two = m.second;
    }
    if (one > 0 && two > 0)
        printf("2 threads against 1 (median real time): %.2f times as fast\n", one / two);
    benchmark::Shutdown();
    return 0;
}
