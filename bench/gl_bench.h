// gl_bench.h - what the drawing benchmarks share: the program's window in a
// private Xvfb, and the two views they measure.
//   START_VIEW   the default view at detail 50 (drawing-bound)
//   DEEP_SQUARE  the 0.1-wide square with its lower-left corner at
//                -0.75 + 0.1i, detail 5000 (compute-bound)
#ifndef QUORVEX_BENCH_GL_BENCH_H
#define QUORVEX_BENCH_GL_BENCH_H

#include <stdio.h>

#include "core/state.h"
#include "tests/support/gl_harness.h"

enum BenchView { START_VIEW, DEEP_SQUARE };

inline void setBenchView(int view) {
    resetFractalState();
    if (view == DEEP_SQUARE) {
        xStart = -0.75, xEnd = -0.65, yStart = 0.1, yEnd = 0.2;
        detail = 5000;
    }
    applyScaleRule();
}

// Opens the window as the program does; false (with a message) if it cannot.
inline bool openBenchWindow() {
    if (startProgramInProcess({"quorvex"})) return true;
    fprintf(stderr, "could not start Xvfb and open the program's window\n");
    return false;
}

#endif
