// kernels_bench.cpp - kernel throughput per type and path, on one core, and
// the best Mandelbrot path against the machine's issue bound.
//
// A frame is some rows of an 800-wide view (every row at detail 50, every
// ROW_STEP_DEEP-th at 5000, where the plain loop needs seconds per frame):
//   default      -5..5 both ways, detail 50
//   square       -0.75..-0.65 x 0.1..0.2, detail 5000
//   julia        -2..2 both ways, pivot -0.8 + 0.156i, detail 5000
//   default5000  the default view at detail 5000 (the cosine types' target)
//   valley       -0.7505..-0.75 x 0.02..0.0205, detail 5000, Mandelbrot
//                only: a strip of the seahorse valley between the cardioid
//                and the period-2 disc, wholly outside the set; every orbit
//                escapes after 152..158 steps. Raw step throughput with no
//                cycle to credit (the table says if any count reached the limit).
//
// Counters: cells/s, and iterations/s counted as the plain loop's loop
// bodies (count + 1 per cell), so a path that ends an orbit early by cycle
// detection is credited with the work the plain loop would have done.
// Times are CPU times of the benchmark thread (the machine may be shared).
// Each benchmark runs 3 times; the table after the runs uses the fastest,
// with every ratio taken within this one run.
//
// Iterations per cycle: the processor's clock is measured with a chain of
// dependent integer adds (one cycle each on every x86-64 core), since cycle
// counters are often unavailable in virtual machines.
#include <benchmark/benchmark.h>

#include <math.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "core/kernels_simd.h"

namespace {

enum { WIDTH = 800, ROW_STEP_DEEP = 25 };

const char *const TYPE_NAMES[] = {"Mandelbrot", "Julia",    "M-Dragon", "J-Dragon", "M-Phoenix",
                                  "J-Phoenix",  "M-Cosine", "J-Cosine", "M-Cosh",   "J-Cosh"};

struct Frame {
    const char *name;
    KernelView view;
    int rowStep;
    int firstType, lastType;
};

KernelView viewOf(double x0, double x1, double y0, double y1, int detail, double px = 0.0,
                  double py = 0.0) {
    return KernelView{WIDTH, detail, x0, (x1 - x0) / WIDTH, y0, (y1 - y0) / WIDTH, px, py};
}

const Frame FRAMES[] = {
    {"default", viewOf(-5, 5, -5, 5, 50), 1, MANDELBROT_TYPE, J_COSH_TYPE},
    {"square", viewOf(-0.75, -0.65, 0.1, 0.2, 5000), ROW_STEP_DEEP, MANDELBROT_TYPE, J_COSH_TYPE},
    {"julia", viewOf(-2, 2, -2, 2, 5000, -0.8, 0.156), ROW_STEP_DEEP, MANDELBROT_TYPE, J_COSH_TYPE},
    {"default5000", viewOf(-5, 5, -5, 5, 5000), ROW_STEP_DEEP, MANDELBROT_TYPE, J_COSH_TYPE},
    {"valley", viewOf(-0.7505, -0.75, 0.02, 0.0205, 5000), 2, MANDELBROT_TYPE, MANDELBROT_TYPE},
};

// Cells and plain-loop iterations of one frame of one type.
struct Work {
    double cells = 0, iterations = 0, atLimit = 0;
};

Work workOf(const Frame &f, int type) {
    static std::map<std::string, Work> known;
    const std::string key = std::string(f.name) + TYPE_NAMES[type];
    auto found = known.find(key);
    if (found != known.end())
        return found->second;
    Work w;
    std::vector<int> counts(WIDTH);
    for (int row = 0; row < WIDTH; row += f.rowStep) {
        countRowWith(SCALAR_PATH, type, f.view, row, counts.data());
        for (int j : counts) {
            w.iterations += j + 1.0;
            w.atLimit += j == f.view.detail;
        }
        w.cells += WIDTH;
    }
    return known[key] = w;
}

void runFrame(benchmark::State &state, const Frame *f, int type, KernelPath path) {
    std::vector<unsigned char> grid(WIDTH * WIDTH);
    for (auto _ : state)
        for (int row = 0; row < WIDTH; row += f->rowStep)
            computeRowWith(path, type, f->view, row, grid.data() + row * WIDTH);
    benchmark::DoNotOptimize(grid.data());
    const Work w = workOf(*f, type);
    state.counters["cells/s"] = benchmark::Counter(w.cells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["iter/s"] = benchmark::Counter(w.iterations, benchmark::Counter::kIsIterationInvariantRate);
}

std::string benchName(const Frame &f, int type, KernelPath path) {
    return std::string(f.name) + "/" + TYPE_NAMES[type] + "/" + kernelPathName(path);
}

double fastestOf(const std::vector<double> &times) {
    double best = times[0];
    for (double t : times)
        best = t < best ? t : best;
    return best;
}

void registerFrames() {
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type)
            for (int p = PLAIN_PATH; p < KERNEL_PATHS; ++p) {
                const KernelPath path = (KernelPath)p;
                if (!kernelPathAvailable(path))
                    continue;
                benchmark::RegisterBenchmark(benchName(f, type, path).c_str(), runFrame, &f, type, path)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.05)
                    ->Repetitions(3)
                    ->ComputeStatistics("min", fastestOf)
                    ->ReportAggregatesOnly(true);
            }
}

// The console report, keeping each benchmark's fastest repetition.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;
    struct Result {
        double seconds, cellsPerSecond, iterationsPerSecond;
    };
    std::map<std::string, Result> results;

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name != "min")
                continue;
            Result r = {run.GetAdjustedCPUTime() / 1000.0, 0, 0};
            auto cells = run.counters.find("cells/s"), iterations = run.counters.find("iter/s");
            if (cells != run.counters.end())
                r.cellsPerSecond = cells->second.value;
            if (iterations != run.counters.end())
                r.iterationsPerSecond = iterations->second.value;
            results[run.run_name.function_name] = r;
        }
    }
};

void printSpeedups(const RecordingReporter &report) {
    printf("\nSpeed-up against the plain loop (fastest of 3, one run; shipped path: %s)\n",
           kernelPathName(fastestKernelPath()));
    printf("%-12s %-11s %10s", "view", "type", "plain ms");
    for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p)
        printf(" %8s", kernelPathName((KernelPath)p));
    printf(" %12s %12s\n", "cells/s", "iter/s");
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type) {
            auto plain = report.results.find(benchName(f, type, PLAIN_PATH));
            auto shipped = report.results.find(benchName(f, type, fastestKernelPath()));
            if (plain == report.results.end() || shipped == report.results.end())
                continue;
            printf("%-12s %-11s %10.2f", f.name, TYPE_NAMES[type], plain->second.seconds * 1e3);
            for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p) {
                auto r = report.results.find(benchName(f, type, (KernelPath)p));
                if (r == report.results.end())
                    printf(" %8s", "-");
                else
                    printf(" %7.2fx", plain->second.seconds / r->second.seconds);
            }
            printf(" %12.4g %12.4g\n", shipped->second.cellsPerSecond, shipped->second.iterationsPerSecond);
        }
}

// CPU time of this thread: the machine may be shared, and time spent
// descheduled is no time spent computing.
double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Cycles per second, from a chain of dependent adds (one cycle each).
double measureClock() {
#if defined(__x86_64__)
    const long loops = 50000000;
    double best = 1e9;
    for (int k = 0; k < 5; ++k) {
        long x = 0;
        const double start = threadSeconds();
        for (long i = 0; i < loops; ++i)
            asm volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                         "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                         : "+r"(x));
        const double seconds = threadSeconds() - start;
        best = seconds < best ? seconds : best;
    }
    return loops * 8.0 / best;
#else
    return 0.0;
#endif
}

#if defined(__x86_64__)
// 512-bit adds or multiplies per second: 12 independent chains, more than
// latency times pipes, so only the number of pipes limits them.
#define QUORVEX_TWELVE(OP)                                                                      \
    OP " %%zmm0, %%zmm20, %%zmm20\n\t" OP " %%zmm0, %%zmm21, %%zmm21\n\t"                       \
    OP " %%zmm0, %%zmm22, %%zmm22\n\t" OP " %%zmm0, %%zmm23, %%zmm23\n\t"                       \
    OP " %%zmm0, %%zmm24, %%zmm24\n\t" OP " %%zmm0, %%zmm25, %%zmm25\n\t"                       \
    OP " %%zmm0, %%zmm26, %%zmm26\n\t" OP " %%zmm0, %%zmm27, %%zmm27\n\t"                       \
    OP " %%zmm0, %%zmm28, %%zmm28\n\t" OP " %%zmm0, %%zmm29, %%zmm29\n\t"                       \
    OP " %%zmm0, %%zmm30, %%zmm30\n\t" OP " %%zmm0, %%zmm31, %%zmm31\n\t"
#define QUORVEX_ZEROED                                                                          \
    "vxorpd %%xmm0, %%xmm0, %%xmm0\n\t vxorpd %%xmm20, %%xmm20, %%xmm20\n\t"                   \
    "vmovapd %%zmm20, %%zmm21\n\t vmovapd %%zmm20, %%zmm22\n\t vmovapd %%zmm20, %%zmm23\n\t"    \
    "vmovapd %%zmm20, %%zmm24\n\t vmovapd %%zmm20, %%zmm25\n\t vmovapd %%zmm20, %%zmm26\n\t"    \
    "vmovapd %%zmm20, %%zmm27\n\t vmovapd %%zmm20, %%zmm28\n\t vmovapd %%zmm20, %%zmm29\n\t"    \
    "vmovapd %%zmm20, %%zmm30\n\t vmovapd %%zmm20, %%zmm31\n\t"
#define QUORVEX_CLOBBERS                                                                        \
    "xmm0", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25", "xmm26", "xmm27", "xmm28",    \
        "xmm29", "xmm30", "xmm31", "cc"

__attribute__((target("avx512f"))) double vectorOpsPerSecond(bool multiply) {
    double best = 1e9;
    for (int k = 0; k < 3; ++k) {
        long loops = 4000000;
        const double start = threadSeconds();
        if (multiply)
            asm volatile(QUORVEX_ZEROED "1:\n\t" QUORVEX_TWELVE("vmulpd") "dec %0\n\t jnz 1b"
                         : "+r"(loops) : : QUORVEX_CLOBBERS);
        else
            asm volatile(QUORVEX_ZEROED "1:\n\t" QUORVEX_TWELVE("vaddpd") "dec %0\n\t jnz 1b"
                         : "+r"(loops) : : QUORVEX_CLOBBERS);
        const double seconds = threadSeconds() - start;
        best = seconds < best ? seconds : best;
    }
    return 4000000 * 12.0 / best;
}
#endif

// The bound of the AVX-512 Mandelbrot step, from the pipes measured here.
// Per step of 8 lanes: 3 multiplies (zr*zi, zr^2, zi^2) and 5 adds
// (zr^2 - zi^2, + cr, zri + zri, + ci, zr^2 + zi^2); then the test (one
// compare, a mask test and a branch) and, every 4th step, two compares with
// the checkpoint.
void printBound(const RecordingReporter &report) {
    const double hz = measureClock();
    if (hz <= 0) {
        printf("\nIterations per cycle: clock not measured on this processor\n");
        return;
    }
    printf("\nIterations per cycle, Mandelbrot on the valley view (clock %.3f GHz from dependent adds;"
           " %.0f cells at the limit)\n", hz / 1e9, workOf(FRAMES[4], MANDELBROT_TYPE).atLimit);
    for (int p = PLAIN_PATH; p < KERNEL_PATHS; ++p) {
        auto r = report.results.find(benchName(FRAMES[4], MANDELBROT_TYPE, (KernelPath)p));
        if (r != report.results.end())
            printf("  %-7s %6.3f iterations/cycle\n", kernelPathName((KernelPath)p),
                   r->second.iterationsPerSecond / hz);
    }
#if defined(__x86_64__)
    if (!kernelPathAvailable(AVX512_PATH))
        return;
    const double adds = vectorOpsPerSecond(false) / hz, multiplies = vectorOpsPerSecond(true) / hz;
    const double addCycles = 5 / adds, multiplyCycles = 3 / multiplies;
    const double stepCycles = addCycles > multiplyCycles ? addCycles : multiplyCycles;
    printf("  machine: %.2f 512-bit adds and %.2f multiplies per cycle (independent chains)\n", adds,
           multiplies);
    printf("  bound: a step of 8 lanes needs 5 adds (%.2f cycles) and 3 multiplies (%.2f cycles),\n"
           "  so at least %.2f cycles: %.2f iterations/cycle before the compares and mask tests\n",
           addCycles, multiplyCycles, stepCycles, 8 / stepCycles);
#endif
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    registerFrames();
    RecordingReporter report(isatty(1) ? benchmark::ConsoleReporter::OO_ColorTabular
                                       : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&report);
    printSpeedups(report);
    printBound(report);
    benchmark::Shutdown();
    return 0;
}
