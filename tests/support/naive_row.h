// naive_row.h - the reference drawing of one grid row: one point per cell,
// one glBegin/glEnd and one glColor3ub each, in column order. The batched
// drawing must match it pixel for pixel (tests) and beat it (benchmarks).
#ifndef QUORVEX_TESTS_NAIVE_ROW_H
#define QUORVEX_TESTS_NAIVE_ROW_H

#include "colour/palette.h"
#include "core/state.h"
#include "widgets/gl.h"
#include "widgets/window.h"

inline void naiveRow(int r, const WINDOW &panel) {
    for (int c = 0; c < fracWidth; ++c) {
        const unsigned char v = fractal[GRID_SIZE * r + c];
        glColor3ub(PaletteR[v], PaletteG[v], PaletteB[v]);
        glBegin(GL_POINTS);
        glVertex2i(panel.left + 2 + c, panel.top - 3 - r);
        glEnd();
    }
}

#endif
