// Dives with quorvex-render, in-process: a 60-frame 640 x 360 Mandelbrot dive
// at detail 1000 from the whole set into the seahorse valley, written as
// .ppm frames (one file a frame, as a user would write them).
//   - frames per second on one and two threads;
//   - the dive against the same 60 views rendered as 60 separate stills;
//   - --smooth and --aa 3 against the plain colours, on the same views;
//   - a million-frame deep dive from its command to its first frame.
// Ratios of real time, measured in this one run, are printed at the end,
// each beside its target; the process CPU time of each run is reported
// too, since the machine may be shared.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "bench/ratios.h"
#include "render/dive.h"
#include "render/run.h"

namespace {

const int FRAMES = 60;

// Process CPU seconds of each benchmark, by name: on a shared machine the
// ratios of these are steadier than those of real time (threads aside).
std::map<std::string, double> processCpu;

double seconds(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

RenderOptions diveOptions(int threads) {
    RenderOptions o = defaultRenderOptions();
    o.params = FractalParams{MANDELBROT_TYPE, 1000, -2.5, 1.0, -0.984375, 0.984375, 0, 0};
    o.width = 640, o.height = 360;
    o.ramps[0] = 2, o.ramps[1] = 4, o.ramps[2] = 6;
    o.threads = threads;
    o.given = GIVEN_ZOOM | GIVEN_FRAMES;
    const double last[4] = {-0.74365, -0.74363, 0.1318203, 0.1318315};
    for (int k = 0; k < 4; ++k) o.zoomTo[k] = last[k];
    o.frames = FRAMES;
    o.firstFrame = 0, o.lastFrame = FRAMES - 1;
    o.outputKind = OUTPUT_PPM;
    o.framePattern = 1;
    return o;
}

// A fresh directory for each run: frames that exist would be kept, not made.
struct Scratch {
    std::string dir;
    Scratch() {
        char pattern[] = "/tmp/quorvex-dive-bench-XXXXXX";
        dir = mkdtemp(pattern) ? pattern : "/tmp";
    }
    ~Scratch() {
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
};

void runOrSkip(benchmark::State &state, const RenderOptions &o) {
    char reason[RENDER_REASON_SIZE] = "";
    if (runRender(o, nullptr, nullptr, reason) != RUN_WRITTEN) state.SkipWithError(reason);
}

// A dive of `threads` threads with `smooth` and `aa`; its CPU time under `key`.
void runDive(benchmark::State &state, const char *key, int threads, int smooth, int aa) {
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        const std::string pattern = scratch.dir + "/f-%02d.ppm";
        RenderOptions o = diveOptions(threads);
        o.smooth = smooth, o.aa = aa;
        o.outputPath = pattern.c_str();
        state.ResumeTiming();
        runOrSkip(state, o);
    }
    const double cpu = (seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / (double)state.iterations();
    state.counters["process_cpu_s"] = cpu;
    processCpu[key] = cpu;
    state.counters["frames_per_s"] = benchmark::Counter(FRAMES, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Dive(benchmark::State &state) {
    runDive(state, state.range(0) == 2 ? "plain" : "plain, 1 thread", (int)state.range(0), 0, 1);
}
void BM_DiveSmooth(benchmark::State &state) { runDive(state, "smooth", 2, 1, 1); }
void BM_DiveAa3(benchmark::State &state) { runDive(state, "aa 3", 2, 0, 3); }

// The same 60 views, each a still of its own run.
void BM_Stills(benchmark::State &state) {
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        const RenderOptions dive = diveOptions((int)state.range(0));
        Dive d = {dive.params, {dive.zoomTo[0], dive.zoomTo[1], dive.zoomTo[2], dive.zoomTo[3]}, FRAMES};
        state.ResumeTiming();
        for (int k = 0; k < FRAMES; ++k) {
            RenderOptions o = dive;
            o.given = 0, o.frames = 0, o.framePattern = 0;
            o.params = diveFrameParams(d, k);
            const std::string path = scratch.dir + "/still-" + std::to_string(k) + ".ppm";
            o.outputPath = path.c_str();
            runOrSkip(state, o);
        }
    }
    const double cpu = (seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / (double)state.iterations();
    state.counters["process_cpu_s"] = cpu;
    processCpu["stills"] = cpu;
}

// A million-frame dive from doubles to 1e-4000, 8 x 8, from its command to
// the start of its first frame: the listing of the frames and the check of
// those drawn in doubles (the stop ends the run there).
void stopAtFirstFrame(void *stop, const char *label, const char *) {
    if (strcmp(label, "rendering") == 0) ((std::atomic<int> *)stop)->store(1);
}

void BM_PlanAMillionFrames(benchmark::State &state) {
    const char *centre = "-0.743643887037158704752191506114774,0.131825904205311970493132056385139";
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        const std::string pattern = scratch.dir + "/%07d.png";
        RenderOptions o = defaultRenderOptions();
        o.width = o.height = 8, o.params.detail = 10, o.threads = 1;
        o.given = GIVEN_ZOOM | GIVEN_FRAMES | GIVEN_CENTER | GIVEN_WIDTH | GIVEN_ZOOM_CENTER | GIVEN_ZOOM_WIDTH;
        setCentre(o.location, centre, nullptr), setWidth(o.location, "1e-13", nullptr);
        setCentre(o.zoomLocation, centre, nullptr), setWidth(o.zoomLocation, "1e-4000", nullptr);
        o.zoomLocated = 1, o.frames = 1000000, o.firstFrame = 0, o.lastFrame = o.frames - 1;
        o.framePattern = 1, o.outputPath = pattern.c_str();
        std::atomic<int> stop{0};
        const RunWatch watch = {&stop, nullptr, stopAtFirstFrame, nullptr, nullptr, nullptr};
        char reason[RENDER_REASON_SIZE] = "";
        state.ResumeTiming();
        std::unique_ptr<RenderPlan> plan(new RenderPlan());
        if (planRender(o, *plan, &stop, reason) != PLAN_READY || runPlan(*plan, &stop, &watch, reason) != RUN_INTERRUPTED)
            state.SkipWithError(reason);
    }
}

BENCHMARK(BM_PlanAMillionFrames)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Dive)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Stills)->ArgName("threads")->Arg(2)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DiveSmooth)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DiveAa3)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

const char *const ONE = "BM_Dive/threads:1/iterations:1/real_time";
const char *const TWO = "BM_Dive/threads:2/iterations:1/real_time";
const char *const STILLS = "BM_Stills/threads:2/iterations:1/real_time";
const char *const SMOOTH = "BM_DiveSmooth/iterations:1/real_time";
const char *const AA3 = "BM_DiveAa3/iterations:1/real_time";

// Real time of a over b, with the process CPU ratio beside it when `cpu`
// names the two (the thread speed-up has none: both use the same CPU).
void printTarget(const RatioReporter &r, const char *what, const char *a, const char *b, const char *target,
                 const char *cpuA = nullptr, const char *cpuB = nullptr) {
    const double ta = r.realTime(a), tb = r.realTime(b);
    if (ta <= 0 || tb <= 0) return;
    printf("  %-40s %6.2f", what, ta / tb);
    if (cpuA && processCpu[cpuA] > 0 && processCpu[cpuB] > 0)
        printf("   CPU %6.2f", processCpu[cpuA] / processCpu[cpuB]);
    else
        printf("             ");
    printf("   (%s)\n", target);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\nDive ratios of real time (and of process CPU time), this run\n");
    printTarget(reporter, "two threads against one (speed)", ONE, TWO, "at least 1.8");
    printTarget(reporter, "the dive against 60 stills (time)", TWO, STILLS, "at most 1.1", "plain", "stills");
    printTarget(reporter, "--smooth against plain (time)", SMOOTH, TWO, "at most 1.25", "smooth", "plain");
    printTarget(reporter, "--aa 3 against plain (time)", AA3, TWO, "at most 9.9", "aa 3", "plain");
    printf("  %-40s %6.2f s (well under 1 s)\n", "a million deep frames to the first",
           reporter.realTime("BM_PlanAMillionFrames/iterations:3/real_time"));
    benchmark::Shutdown();
    return 0;
}
