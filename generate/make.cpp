#include "generate/make.h"

#include <stdio.h>

#include "colour/display.h"
#include "core/cmdline.h"
#include "core/state.h"
#include "generate/row_workers.h"
#include "widgets/gfx.h"

int processType = PROCESS_NONE;
int threads = 0;

namespace {

void sequentialRows(unsigned char *(*core)(int, unsigned char *), const WINDOW &panel) {
    for (int row = 0; row < fracHeight; ++row) {
        core(row, fractal + GRID_SIZE * row);
        DISPLAY_FRACTAL_ROW(row, panel);
    }
}

void drawFinishedRow(int row, void *panel) {
    DISPLAY_FRACTAL_ROW(row, *static_cast<WINDOW *>(panel));
}

}  // namespace

void MANDELBROT(WINDOW panel) { sequentialRows(MANDELBROT_CORE, panel); }
void JULIA(WINDOW panel) { sequentialRows(JULIA_CORE, panel); }
void M_DRAGON(WINDOW panel) { sequentialRows(M_DRAGON_CORE, panel); }
void J_DRAGON(WINDOW panel) { sequentialRows(J_DRAGON_CORE, panel); }
void M_PHOENIX(WINDOW panel) { sequentialRows(M_PHOENIX_CORE, panel); }
void J_PHOENIX(WINDOW panel) { sequentialRows(J_PHOENIX_CORE, panel); }
void M_COSINE(WINDOW panel) { sequentialRows(M_COSINE_CORE, panel); }
void J_COSINE(WINDOW panel) { sequentialRows(J_COSINE_CORE, panel); }
void M_COSH(WINDOW panel) { sequentialRows(M_COSH_CORE, panel); }
void J_COSH(WINDOW panel) { sequentialRows(J_COSH_CORE, panel); }

void THREAD_FRACTAL_GENERATE(WINDOW panel) {
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    whileRowsPending = presentMakeRowsIfDue;  // finished rows reach the screen while workers run
    const int computedHere = generateRowsThreaded(threads, drawFinishedRow, &panel);
    whileRowsPending = nullptr;
    glPointSize(1.0);
    // The picture is complete either way; say why this Make was slower.
    if (computedHere > 0)
        fprintf(stderr, "quorvex: could not start %d of %d worker threads; computed those rows "
                        "without them\n", computedHere, fracHeight);
}

void generateFractal(WINDOW panel) {
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    applyScaleRule();
    beginMakeRows(panel);
    if (processType == PROCESS_SEQUENTIAL) familyMember<SequentialDriver>(fType)(panel);
    else if (processType == PROCESS_THREADED) THREAD_FRACTAL_GENERATE(panel);
    endMakeRows();
    glPointSize(1.0);
}
