// A whole Make in the program's window (private Xvfb, llvmpipe) measured
// against what it cannot do without, and against the plain kernels.
//
// 1. The start view at detail 50, sequential: the Make (compute, draw every
//    row into both buffers, present) against its floor, the sum of
//      - the kernels alone: computeRow over all 800 rows, no drawing;
//      - one whole redraw of the finished grid (DISPLAY_FRACTAL);
//      - one present of a changed front buffer (gfxFlush).
//    DISPLAY_FRACTAL ends with a swap, which presents too, so the floor
//    counts a present twice; a tighter floor without the separate present
//    is printed beside it. Target: the Make at most 1.5 x the floor.
// 2. The start view at detail 50 and the 0.1-wide square with its lower-left
//    corner at -0.75 + 0.1i at detail 5000, sequential and on 2 worker
//    slots: a Make on the fastest kernel path against the same Make with
//    every row computed by the plain loop (the kernels before the vector
//    paths), forced through overrideKernelPath between Makes.
//
// The button's 50 ms flash is switched off for every measurement: it is a
// fixed wait, not work. The parts of a Make (what comes before its rows,
// its rows with and without presenting) are measured too, to show where the
// time beyond the floor goes. Every iteration ends with glFinish, so the drawing
// is done, not just queued.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "bench/gl_bench.h"
#include "bench/ratios.h"
#include "colour/display.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"
#include "core/state.h"
#include "generate/make.h"
#include "tests/support/gl_harness.h"
#include "widgets/button.h"
#include "widgets/gfx.h"
#include "widgets/gl.h"

namespace {

enum { FASTEST, PLAIN };

// 0 slots: sequential; otherwise that many worker slots.
void setMode(int slots) {
    processType = slots == 0 ? 1 : 2;
    threads = slots == 0 ? 1 : slots;
}

void setPath(int path) {
    if (path == PLAIN) {
        if (!overrideKernelPath(PLAIN_PATH)) {
            fprintf(stderr, "could not force the plain kernels\n");
            exit(1);
        }
    } else {
        clearKernelPathOverride();
    }
}

void computeWholeGrid() {
    const KernelView view = currentKernelView();
    for (int r = 0; r < fracHeight; ++r) computeRow(fType, view, r, fractal + GRID_SIZE * r);
}

// --- the floor of a Make at the start view --------------------------------

void BM_Floor_Kernels(benchmark::State &state) {
    setBenchView(START_VIEW);
    for (auto _ : state) computeWholeGrid();
    benchmark::DoNotOptimize(fractal[GRID_CELLS / 2]);
}

void BM_Floor_Redraw(benchmark::State &state) {
    setBenchView(START_VIEW);
    computeWholeGrid();
    for (auto _ : state) {
        DISPLAY_FRACTAL(MAIN_WINDOW);
        glFinish();
    }
}

// Selecting both buffers marks the front as changed, so the flush presents.
void BM_Floor_Present(benchmark::State &state) {
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        gfxFlush();
        glFinish();
    }
    gfxDrawBuffer(GL_BACK);
}

// --- where a Make's time goes beyond the floor -----------------------------

// What a Make does before its first row: the button's animation and redraw,
// the panel cleared, both buffers selected.
void BM_Part_BeforeRows(benchmark::State &state) {
    setBenchView(START_VIEW);
    for (auto _ : state) {
        MAKE_BUTTON.CLICK();
        MAKE_BUTTON.DRAW();
        MAIN_WINDOW.CLEAR();
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        gfxFlush();
        glFinish();
    }
    gfxDrawBuffer(GL_BACK);
}

// The rows of a sequential Make: each computed, then drawn into both
// buffers with the throttled presenting, and the last ones presented.
void BM_Part_Rows(benchmark::State &state) {
    setBenchView(START_VIEW);
    const KernelView view = currentKernelView();
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) {
            computeRow(fType, view, r, fractal + GRID_SIZE * r);
            DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
        }
        glPointSize(1.0);
        gfxFlush();
        glFinish();
    }
    gfxDrawBuffer(GL_BACK);
}

// The same rows drawn with no presenting at all.
void BM_Part_RowsNoPresenting(benchmark::State &state) {
    setBenchView(START_VIEW);
    computeWholeGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) drawGridRow(r, MAIN_WINDOW);
        glPointSize(1.0);
        glFinish();
    }
    gfxDrawBuffer(GL_BACK);
}

// --- whole Makes ----------------------------------------------------------

// range(0): the view; range(1): worker slots (0 sequential); range(2): path.
void BM_Make(benchmark::State &state) {
    setMode((int)state.range(1));
    setPath((int)state.range(2));
    for (auto _ : state) {
        state.PauseTiming();
        setBenchView((int)state.range(0));
        state.ResumeTiming();
        MAKE_COMMAND();
        glFinish();
    }
    clearKernelPathOverride();
    pumpEvents(5);
}

BENCHMARK(BM_Floor_Kernels)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)
    ->UseRealTime();
BENCHMARK(BM_Floor_Redraw)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)
    ->UseRealTime();
BENCHMARK(BM_Floor_Present)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)
    ->UseRealTime();
BENCHMARK(BM_Part_BeforeRows)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_Part_Rows)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_Make)->ArgNames({"view", "slots", "plain"})
    ->Args({START_VIEW, 0, FASTEST})->Args({START_VIEW, 0, PLAIN})
    ->Args({START_VIEW, 2, FASTEST})->Args({START_VIEW, 2, PLAIN})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_Make)->ArgNames({"view", "slots", "plain"})
    ->Args({DEEP_SQUARE, 0, FASTEST})->Args({DEEP_SQUARE, 2, FASTEST})
    ->Args({DEEP_SQUARE, 2, PLAIN})
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();
// Several seconds each: the fewest repetitions that still give a median.
BENCHMARK(BM_Make)->ArgNames({"view", "slots", "plain"})->Args({DEEP_SQUARE, 0, PLAIN})
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

// Last: 4000 rows drawn with no present in between leave the process in a
// state where every later Make runs about 4 times faster (the allocator
// stops handing memory back to the system and faulting it in again), so the
// Makes above are measured as a freshly started program runs them.
BENCHMARK(BM_Part_RowsNoPresenting)->Unit(benchmark::kMillisecond)->Iterations(5)
    ->Repetitions(3)->UseRealTime();

std::string makeName(int view, int slots, int plain) {
    const bool deep = view == DEEP_SQUARE;
    const bool slowest = deep && slots == 0 && plain;
    return "BM_Make/view:" + std::to_string(view) + "/slots:" + std::to_string(slots) +
           "/plain:" + std::to_string(plain) + (deep ? "/iterations:1" : "/iterations:5") +
           (slowest ? "/repeats:3" : "/repeats:5") + "/real_time";
}

const char *const KERNELS = "BM_Floor_Kernels/iterations:5/repeats:5/real_time";
const char *const REDRAW = "BM_Floor_Redraw/iterations:5/repeats:5/real_time";
const char *const PRESENT = "BM_Floor_Present/iterations:10/repeats:5/real_time";
const char *const BEFORE_ROWS = "BM_Part_BeforeRows/iterations:5/repeats:3/real_time";
const char *const ROWS = "BM_Part_Rows/iterations:5/repeats:3/real_time";
const char *const ROWS_UNSHOWN = "BM_Part_RowsNoPresenting/iterations:5/repeats:3/real_time";

void printFloor(const RatioReporter &reporter) {
    const double kernels = reporter.realTime(KERNELS), redraw = reporter.realTime(REDRAW);
    const double present = reporter.realTime(PRESENT);
    const double make = reporter.realTime(makeName(START_VIEW, 0, FASTEST));
    if (kernels <= 0 || redraw <= 0 || present <= 0 || make <= 0) return;  // filtered out
    const double floor = kernels + redraw + present, tight = kernels + redraw;
    printf("\nA Make at the start view, detail 50, sequential, against its floor (medians, ms):\n");
    printf("  kernels %.2f + redraw %.2f + present %.2f = floor %.2f; Make %.2f\n", kernels,
           redraw, present, floor, make);
    printf("  %-58s %6.3f  (target at most 1.5)\n", "Make / floor", make / floor);
    printf("  %-58s %6.3f  (for comparison)\n", "Make / (kernels + redraw), the redraw presents",
           make / tight);
    const double before = reporter.realTime(BEFORE_ROWS), rows = reporter.realTime(ROWS);
    const double unshown = reporter.realTime(ROWS_UNSHOWN);
    if (before <= 0 || rows <= 0 || unshown <= 0) return;
    printf("  parts: before the rows %.2f; rows computed, drawn and presented %.2f;\n"
           "         the same rows drawn with no presenting %.2f\n", before, rows, unshown);
}

void printPlainAgainstFastest(const RatioReporter &reporter) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int view : {START_VIEW, DEEP_SQUARE})
        for (int slots : {0, 2})
            pairs.push_back({makeName(view, slots, PLAIN), makeName(view, slots, FASTEST)});
    reporter.printRatios("A whole Make, plain kernels against the fastest path (above 1: the "
                         "fastest path faster)", pairs);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (!openBenchWindow()) return 1;
    clickFlashMicroseconds = 0;
    printf("Button flash switched off (clickFlashMicroseconds = 0) for every measurement.\n");
    printf("Fastest kernel path on this processor: %s\n", kernelPathName(fastestKernelPath()));
    // A first, cold drawing costs far more than the warm ones measured here.
    setBenchView(START_VIEW);
    setMode(0);
    MAKE_COMMAND();
    glFinish();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printFloor(reporter);
    printPlainAgainstFastest(reporter);
    benchmark::Shutdown();
    return 0;
}
