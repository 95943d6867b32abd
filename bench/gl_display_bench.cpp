// Drawing the grid into the program's window (private Xvfb, llvmpipe):
//   - a whole redraw of the 800 x 800 grid (what Red, Green, Blue and a Load
//     do): one point per glBegin/glEnd with its own glColor3ub, against the
//     shipped DISPLAY_FRACTAL (the resolved picture in one glDrawPixels),
//     and against one vertex/colour array per row for comparison;
//   - the rows of a Make drawn into both buffers: one point per call with a
//     present after every row, against the shipped DISPLAY_FRACTAL_ROW with
//     its throttled presenting, against the same rows with no presenting.
// Every iteration ends with glFinish, so the drawing is done, not queued.
// Targets: the shipped redraw at most half the naive one; the shipped rows
// at most 1.5 times the rows without presenting.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <random>

#include "app/layout.h"
#include "bench/gl_bench.h"
#include "bench/ratios.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/state.h"
#include "tests/support/gl_harness.h"
#include "widgets/gfx.h"
#include "tests/support/naive_row.h"

namespace {

void fillGrid() {
    std::mt19937 random(1959);
    for (int i = 0; i < GRID_CELLS; ++i) fractal[i] = (unsigned char)(random() & 255);
    paletteR = 2;
    paletteG = 5;
    paletteB = 8;
    DISPLAY_PALLETE_APPLY();
}

// Present the front now (selecting both buffers marks it unseen).
void presentRow() {
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    gfxFlush();
}

void BM_FullRedraw_OnePointPerCall(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) naiveRow(r, MAIN_WINDOW);
        glPointSize(1.0);
        gfxSwapBuffers();
        glFinish();
    }
}

void BM_FullRedraw_Shipped(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        DISPLAY_FRACTAL(MAIN_WINDOW);
        glFinish();
    }
}

// The row drawing applied to a whole redraw: one vertex/colour array per row.
void BM_FullRedraw_RowArrays(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) drawGridRow(r, MAIN_WINDOW);
        glPointSize(1.0);
        gfxSwapBuffers();
        glFinish();
    }
}

void BM_MakeRows_OnePointPerCallPresentEveryRow(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) {
            naiveRow(r, MAIN_WINDOW);
            presentRow();
        }
        glPointSize(1.0);
        glFinish();
    }
}

void BM_MakeRows_Shipped(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
        glPointSize(1.0);
        gfxFlush();
        glFinish();
    }
}

void BM_MakeRows_NoPresenting(benchmark::State &state) {
    fillGrid();
    for (auto _ : state) {
        gfxDrawBuffer(GL_FRONT_AND_BACK);
        glPointSize(2.0);
        for (int r = 0; r < fracHeight; ++r) drawGridRow(r, MAIN_WINDOW);
        glPointSize(1.0);
        glFinish();
    }
}

BENCHMARK(BM_FullRedraw_OnePointPerCall)->Unit(benchmark::kMillisecond)->Iterations(5)
    ->Repetitions(3)->UseRealTime();
BENCHMARK(BM_FullRedraw_Shipped)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_FullRedraw_RowArrays)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_MakeRows_OnePointPerCallPresentEveryRow)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_MakeRows_Shipped)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_MakeRows_NoPresenting)->Unit(benchmark::kMillisecond)->Iterations(5)
    ->Repetitions(3)->UseRealTime();

// "name: a / b = r (target)" for one pair measured in this run.
void printAgainstTarget(const RatioReporter &reporter, const char *what, const char *a,
                        const char *b, const char *target) {
    const double ta = reporter.realTime(a), tb = reporter.realTime(b);
    if (ta <= 0 || tb <= 0) return;  // filtered out of this run
    printf("  %-58s %6.3f  (%s)\n", what, ta / tb, target);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (!openBenchWindow()) return 1;
    // A first, cold drawing costs far more than the warm ones measured here.
    fillGrid();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    glFinish();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\nTime ratios, same run (medians):\n");
    printAgainstTarget(reporter, "full redraw: shipped / one point per call",
                       "BM_FullRedraw_Shipped/iterations:5/repeats:3/real_time",
                       "BM_FullRedraw_OnePointPerCall/iterations:5/repeats:3/real_time",
                       "target at most 0.5");
    printAgainstTarget(reporter, "full redraw: row arrays / one point per call",
                       "BM_FullRedraw_RowArrays/iterations:5/repeats:3/real_time",
                       "BM_FullRedraw_OnePointPerCall/iterations:5/repeats:3/real_time",
                       "for comparison");
    printAgainstTarget(reporter, "rows of a Make: shipped / no presenting",
                       "BM_MakeRows_Shipped/iterations:5/repeats:3/real_time",
                       "BM_MakeRows_NoPresenting/iterations:5/repeats:3/real_time",
                       "target at most 1.5");
    printAgainstTarget(reporter, "rows of a Make: shipped / one point per call, present per row",
                       "BM_MakeRows_Shipped/iterations:5/repeats:3/real_time",
                       "BM_MakeRows_OnePointPerCallPresentEveryRow/iterations:1/repeats:3/real_time",
                       "lower is better");
    benchmark::Shutdown();
    return 0;
}
