#include "generate/make.h"

#include <stdio.h>

#include "app/app_state.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "core/kernels.h"
#include "core/state.h"
#include "generate/row_workers.h"
#include "widgets/gfx.h"

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

void generateSequentially(const WINDOW &panel) {
    if (fType == 0) MANDELBROT(panel);
    else if (fType == 1) JULIA(panel);
    else if (fType == 2) M_DRAGON(panel);
    else if (fType == 3) J_DRAGON(panel);
    else if (fType == 4) M_PHOENIX(panel);
    else if (fType == 5) J_PHOENIX(panel);
    else if (fType == 6) M_COSINE(panel);
    else if (fType == 7) J_COSINE(panel);
    else if (fType == 8) M_COSH(panel);
    else J_COSH(panel);
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

void MAKE_COMMAND() {
    // After the flash, the restored button, its plain redraw and the black
    // panel reach the screen together with the first rows.
    gfxHoldPresents(true);
    MAKE_BUTTON.CLICK();
    MAKE_BUTTON.DRAW();
    MAIN_WINDOW.CLEAR();
    gfxHoldPresents(false);
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    applyScaleRule();
    rememberShownView();
    beginMakeRows(MAIN_WINDOW);
    if (processType == 1) generateSequentially(MAIN_WINDOW);
    else if (processType == 2) THREAD_FRACTAL_GENERATE(MAIN_WINDOW);
    endMakeRows();
    glPointSize(1.0);
    noFractal = 0;
    gfxFlush();
}
