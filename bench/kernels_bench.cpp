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
//   ray          -0.750001..-0.75 x 0.001..0.001001, detail 5000, Mandelbrot
//                only: a speck of the same valley nearer the cusp, where
//                every orbit escapes after 3137..3143 steps. Against the
//                valley it tells the steady state of the block loop from
//                what a group costs to start and end.
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
// counters are often unavailable in virtual machines. The bound each vector
// path is held against is measured too: the operations of one Mandelbrot
// step (3 multiplies, 5 adds, the compare), independent of each other, so
// only the pipes they share limit them (see printBound).
//
// Orbit ends: counts with ends against counts alone, on the shipped path.
//
// Interior proof (core/interior_proof.h), square view, shipped path: per type
// the cells at the limit, the cells proven there, the tries, and the time
// the tries take (replayed alone, fastest of 5) against the frame's time.
//
// Before and after: configured with -DQUORVEX_BENCH_BASELINE=<revision>
// (bench/CMakeLists.txt), the program also runs that revision's kernel
// paths, named "<path>-before", and prints both in one table.
#include <benchmark/benchmark.h>

#include <math.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "core/interior_proof.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"

#if defined(QUORVEX_BASELINE)
// The baseline revision's computeRowWith (bench/CMakeLists.txt renames it).
unsigned char *baselineComputeRowWith(KernelPath path, int type, const KernelView &view, int row,
                                      unsigned char *out);
#endif

namespace {

enum { WIDTH = 800, ROW_STEP_DEEP = 25 };

// The paths measured: every path of this build, then (with a baseline) the
// baseline's vector and scalar paths.
struct Contender {
    KernelPath path;
    bool before;
};

std::vector<Contender> contenders() {
    std::vector<Contender> all;
    for (int p = PLAIN_PATH; p < KERNEL_PATHS; ++p)
        if (kernelPathAvailable((KernelPath)p))
            all.push_back({(KernelPath)p, false});
#if defined(QUORVEX_BASELINE)
    for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p)
        if (kernelPathAvailable((KernelPath)p))
            all.push_back({(KernelPath)p, true});
#endif
    return all;
}

unsigned char *computeRowOf(Contender c, int type, const KernelView &v, int row, unsigned char *out) {
#if defined(QUORVEX_BASELINE)
    if (c.before)
        return baselineComputeRowWith(c.path, type, v, row, out);
#endif
    return computeRowWith(c.path, type, v, row, out);
}

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
    {"ray", viewOf(-0.750001, -0.75, 0.001, 0.001001, 5000), ROW_STEP_DEEP, MANDELBROT_TYPE, MANDELBROT_TYPE},
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

void runFrame(benchmark::State &state, const Frame *f, int type, Contender c) {
    std::vector<unsigned char> grid(WIDTH * WIDTH);
    for (auto _ : state)
        for (int row = 0; row < WIDTH; row += f->rowStep)
            computeRowOf(c, type, f->view, row, grid.data() + row * WIDTH);
    benchmark::DoNotOptimize(grid.data());
    const Work w = workOf(*f, type);
    state.counters["cells/s"] = benchmark::Counter(w.cells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["iter/s"] = benchmark::Counter(w.iterations, benchmark::Counter::kIsIterationInvariantRate);
    // The work of one frame, for the rates of the fastest repetition (the
    // "min" of a rate above is the slowest one's).
    state.counters["cells"] = w.cells;
    state.counters["iterations"] = w.iterations;
}

std::string benchName(const Frame &f, int type, KernelPath path, bool before = false) {
    return std::string(f.name) + "/" + TYPE_NAMES[type] + "/" + kernelPathName(path) + (before ? "-before" : "");
}

double fastestOf(const std::vector<double> &times) {
    double best = times[0];
    for (double t : times)
        best = t < best ? t : best;
    return best;
}

// Counts alone, or counts with orbit ends (what smooth colouring asks for),
// on the shipped path.
void runCounts(benchmark::State &state, const Frame *f, int type, bool ends) {
    std::vector<int> counts(WIDTH);
    std::vector<OrbitEnd> orbitEnds(WIDTH);
    for (auto _ : state)
        for (int row = 0; row < WIDTH; row += f->rowStep)
            if (ends)
                countRowEndsWith(fastestKernelPath(), type, f->view, row, counts.data(), orbitEnds.data());
            else
                countRowWith(fastestKernelPath(), type, f->view, row, counts.data());
    benchmark::DoNotOptimize(counts.data());
}

std::string countsName(const Frame &f, int type, bool ends) {
    return std::string(ends ? "ends/" : "counts/") + f.name + "/" + TYPE_NAMES[type];
}

void registerFrames() {
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type)
            for (const Contender c : contenders()) {
                benchmark::RegisterBenchmark(benchName(f, type, c.path, c.before).c_str(), runFrame, &f, type, c)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.05)
                    ->Repetitions(3)
                    ->ComputeStatistics("min", fastestOf)
                    ->ReportAggregatesOnly(true);
            }
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type)
            for (bool ends : {false, true})
                benchmark::RegisterBenchmark(countsName(f, type, ends).c_str(), runCounts, &f, type, ends)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.05)
                    ->Repetitions(3)
                    ->ComputeStatistics("min", fastestOf)
                    ->ReportAggregatesOnly(true);
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
            auto cells = run.counters.find("cells"), iterations = run.counters.find("iterations");
            if (cells != run.counters.end())
                r.cellsPerSecond = cells->second.value / r.seconds;
            if (iterations != run.counters.end())
                r.iterationsPerSecond = iterations->second.value / r.seconds;
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
// One Mandelbrot step of one vector, twice: first doubling zr*zi by an add
// (5 adds, 3 multiplies, the compare), then by a multiply (4 adds, 4
// multiplies, the compare), as the lane engine alternates between vectors.
// Every operation reads the constant registers 0 and 1 only, so nothing
// waits for anything: only the pipes the operations share limit them.
#define QUORVEX_STEP_PAIR(W, TEST)                                                                  \
    "vmulpd %%" W "0, %%" W "1, %%" W "2\n\t vmulpd %%" W "0, %%" W "1, %%" W "3\n\t"               \
    "vmulpd %%" W "0, %%" W "1, %%" W "4\n\t vaddpd %%" W "0, %%" W "1, %%" W "5\n\t"               \
    "vsubpd %%" W "0, %%" W "1, %%" W "6\n\t vaddpd %%" W "0, %%" W "1, %%" W "7\n\t"               \
    "vaddpd %%" W "0, %%" W "1, %%" W "8\n\t vaddpd %%" W "0, %%" W "1, %%" W "9\n\t" TEST          \
    "vmulpd %%" W "0, %%" W "1, %%" W "10\n\t vmulpd %%" W "0, %%" W "1, %%" W "11\n\t"             \
    "vmulpd %%" W "0, %%" W "1, %%" W "12\n\t vaddpd %%" W "0, %%" W "1, %%" W "13\n\t"             \
    "vsubpd %%" W "0, %%" W "1, %%" W "14\n\t vaddpd %%" W "0, %%" W "1, %%" W "15\n\t"             \
    "vmulpd %%" W "0, %%" W "1, %%" W "2\n\t vaddpd %%" W "0, %%" W "1, %%" W "3\n\t" TEST
// 2n steps, the constant registers zeroed first.
#define QUORVEX_STEP_LOOP(W, TEST)                                                                  \
    "vxorpd %%xmm0, %%xmm0, %%xmm0\n\t vxorpd %%xmm1, %%xmm1, %%xmm1\n\t"                          \
    "1:\n\t" QUORVEX_STEP_PAIR(W, TEST) "dec %0\n\t jnz 1b"
#define QUORVEX_STEP_CLOBBERS                                                                       \
    "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",        \
        "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "cc"

// Cycles one vector step takes at best, from 4 million step pairs.
template <class Run>
double stepCycles(double hz, Run run) {
    const long pairs = 4000000;
    double best = 1e9;
    for (int k = 0; k < 5; ++k) {
        const double start = threadSeconds();
        run(pairs);
        const double seconds = threadSeconds() - start;
        best = seconds < best ? seconds : best;
    }
    return best * hz / (2.0 * pairs);
}

__attribute__((target("avx512f"))) double zmmStepCycles(double hz) {
    return stepCycles(hz, [](long n) {
        asm volatile(QUORVEX_STEP_LOOP("zmm", "vcmppd $2, %%zmm0, %%zmm1, %%k1\n\t")
                     : "+r"(n) : : QUORVEX_STEP_CLOBBERS, "k1");
    });
}

// The same on 4 and 2 lanes. (These paths take one more operation a step,
// not counted here, to move the compare's lanes out of the vector.)
__attribute__((target("avx2"))) double ymmStepCycles(double hz) {
    return stepCycles(hz, [](long n) {
        asm volatile(QUORVEX_STEP_LOOP("ymm", "vcmppd $2, %%ymm0, %%ymm1, %%ymm15\n\t")
                     : "+r"(n) : : QUORVEX_STEP_CLOBBERS);
    });
}

__attribute__((target("avx2"))) double xmmStepCycles(double hz) {
    return stepCycles(hz, [](long n) {
        asm volatile(QUORVEX_STEP_LOOP("xmm", "vcmppd $2, %%xmm0, %%xmm1, %%xmm15\n\t")
                     : "+r"(n) : : QUORVEX_STEP_CLOBBERS);
    });
}
#endif

// What asking for orbit ends costs, per view and type.
void printEndsCost(const RecordingReporter &report) {
    printf("\nCounts with orbit ends against counts alone (%s path, fastest of 3, one run)\n",
           kernelPathName(fastestKernelPath()));
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type) {
            auto counts = report.results.find(countsName(f, type, false));
            auto ends = report.results.find(countsName(f, type, true));
            if (counts != report.results.end() && ends != report.results.end())
                printf("  %-12s %-11s %9.2f ms %9.2f ms %6.2fx\n", f.name, TYPE_NAMES[type],
                       counts->second.seconds * 1e3, ends->second.seconds * 1e3,
                       ends->second.seconds / counts->second.seconds);
        }
}

// Each vector path against its bound: the cycles of the step's own
// operations (measured above; the multiplies and the compare share pipes on
// some processors), per lane.
void printBound(const RecordingReporter &report) {
    const double hz = measureClock();
    if (hz <= 0) {
        printf("\nIterations per cycle: clock not measured on this processor\n");
        return;
    }
    printf("\nIterations per cycle, Mandelbrot on the valley view (clock %.3f GHz from dependent adds;"
           " %.0f cells at the limit)\n", hz / 1e9, workOf(FRAMES[4], MANDELBROT_TYPE).atLimit);
    double bound[KERNEL_PATHS] = {0, 0, 0, 0, 0};
#if defined(__x86_64__)
    if (kernelPathAvailable(AVX2_PATH)) {
        const double xmm = xmmStepCycles(hz), ymm = ymmStepCycles(hz);
        bound[SSE2_PATH] = 2 / xmm, bound[AVX2_PATH] = 4 / ymm;
        printf("  a step's operations, independent: %.2f cycles on 2 lanes, %.2f on 4", xmm, ymm);
        if (kernelPathAvailable(AVX512_PATH)) {
            const double zmm = zmmStepCycles(hz);
            bound[AVX512_PATH] = 8 / zmm;
            printf(", %.2f on 8", zmm);
        }
        printf("\n");
    }
#endif
    for (const Contender c : contenders()) {
        auto r = report.results.find(benchName(FRAMES[4], MANDELBROT_TYPE, c.path, c.before));
        if (r == report.results.end())
            continue;
        const double perCycle = r->second.iterationsPerSecond / hz;
        const std::string name = std::string(kernelPathName(c.path)) + (c.before ? "-before" : "");
        printf("  %-14s %6.3f iterations/cycle", name.c_str(), perCycle);
        if (bound[c.path] > 0)
            printf("   bound %.2f: %3.0f %%", bound[c.path], 100 * perCycle / bound[c.path]);
        auto ray = report.results.find(benchName(FRAMES[5], MANDELBROT_TYPE, c.path, c.before));
        if (bound[c.path] > 0 && ray != report.results.end())
            printf("   (ray view: %3.0f %%)", 100 * ray->second.iterationsPerSecond / hz / bound[c.path]);
        printf("\n");
    }
}

// The tries of one frame, as the kernels make them.
struct ProofLog {
    std::vector<std::pair<FractalRule, CaptureTry>> tries;
    long proven = 0;
};
ProofLog *proofLog;

void logTry(FractalRule rule, const CaptureTry &t, bool proven) {
    proofLog->tries.push_back({rule, t});
    proofLog->proven += proven;
}

// Seconds the tries take again, one after another (the fastest of 5).
double provingSeconds(const ProofLog &log) {
    double best = 1e9;
    for (int k = 0; k < 5; ++k) {
        long proven = 0;
        const double start = threadSeconds();
        for (const auto &t : log.tries)
            proven += captureProven(t.first, t.second);
        const double seconds = threadSeconds() - start;
        best = seconds < best ? seconds : best;
        benchmark::DoNotOptimize(proven);
    }
    return best;
}

void printInteriorProof(const RecordingReporter &report) {
    const Frame &f = FRAMES[1];
    const KernelPath path = fastestKernelPath();
    printf("\nInterior proof, %s view, %s path: cells at the limit, proven, tries; the tries' time of the frame's\n",
           f.name, kernelPathName(path));
    std::vector<unsigned char> grid(WIDTH);
    for (int type = f.firstType; type <= f.lastType; ++type) {
        ProofLog log;
        proofLog = &log;
        watchCaptureTries(logTry);
        for (int row = 0; row < WIDTH; row += f.rowStep)
            computeRowWith(path, type, f.view, row, grid.data());
        watchCaptureTries(nullptr);
        const double atLimit = workOf(f, type).atLimit, proving = provingSeconds(log);
        printf("  %-11s %7.0f at the limit %7ld proven (%5.1f %%) %7zu tries %8.3f ms", TYPE_NAMES[type], atLimit,
               log.proven, atLimit > 0 ? 100 * log.proven / atLimit : 0.0, log.tries.size(), proving * 1e3);
        auto frame = report.results.find(benchName(f, type, path));
        if (frame != report.results.end())
            printf(" of %8.3f ms (%4.1f %%)", frame->second.seconds * 1e3, 100 * proving / frame->second.seconds);
        printf("\n");
    }
}

// Cells per second of the baseline's paths and this build's, per view and type.
void printBeforeAfter(const RecordingReporter &report) {
#if defined(QUORVEX_BASELINE)
    printf("\nCells per second before (%s) and after, one run (fastest of 3)\n", QUORVEX_BASELINE);
    printf("%-12s %-11s", "view", "type");
    for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p)
        if (kernelPathAvailable((KernelPath)p))
            printf(" %29s", kernelPathName((KernelPath)p));
    printf("\n");
    for (const Frame &f : FRAMES)
        for (int type = f.firstType; type <= f.lastType; ++type) {
            if (!report.results.count(benchName(f, type, SCALAR_PATH, true)))
                continue;  // filtered out of this run
            printf("%-12s %-11s", f.name, TYPE_NAMES[type]);
            for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p) {
                if (!kernelPathAvailable((KernelPath)p))
                    continue;
                auto before = report.results.find(benchName(f, type, (KernelPath)p, true));
                auto after = report.results.find(benchName(f, type, (KernelPath)p));
                if (before == report.results.end() || after == report.results.end()) {
                    printf(" %29s", "-");
                    continue;
                }
                const double b = before->second.cellsPerSecond, a = after->second.cellsPerSecond;
                printf(" %9.3g > %9.3g %6.2fx", b, a, a / b);
            }
            printf("\n");
        }
#else
    (void)report;
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
    printBeforeAfter(report);
    printEndsCost(report);
    printInteriorProof(report);
    printBound(report);
    benchmark::Shutdown();
    return 0;
}
