#include "colour/display.h"

#include "colour/palette.h"
#include "core/state.h"
#include "widgets/gfx.h"

namespace {

// The arrays below hold one grid row; a width or row outside the grid would
// read or write past them.
bool rowInGrid(int row, int width) {
    return row >= 0 && row < GRID_SIZE && width >= 1 && width <= GRID_SIZE;
}

}  // namespace

void drawGridRow(int row, const WINDOW &panel) {
    static GLint vertices[GRID_SIZE * 2];
    static GLubyte colours[GRID_SIZE * 3];
    const int width = fracWidth;
    if (!rowInGrid(row, width)) return;
    const unsigned char *cells = fractal + GRID_SIZE * row;
    const int y = panel.top - 3 - row;
    for (int c = 0; c < width; ++c) {
        const unsigned char v = cells[c];
        vertices[2 * c] = panel.left + 2 + c;
        vertices[2 * c + 1] = y;
        colours[3 * c] = PaletteR[v];
        colours[3 * c + 1] = PaletteG[v];
        colours[3 * c + 2] = PaletteB[v];
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_INT, 0, vertices);
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, colours);
    glDrawArrays(GL_POINTS, 0, width);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // Immediate mode would leave the last point's colour current.
    const int last = 3 * (width - 1);
    glColor3ub(colours[last], colours[last + 1], colours[last + 2]);
}

void DISPLAY_FRACTAL(WINDOW panel) {
    gfxDrawBuffer(GL_BACK);
    glPointSize(2.0);
    const int rows = fracHeight < GRID_SIZE ? fracHeight : GRID_SIZE;
    for (int r = 0; r < rows; ++r) drawGridRow(r, panel);
    glPointSize(1.0);
    gfxSwapBuffers();
}

void DISPLAY_FRACTAL_ROW(int row, WINDOW panel) {
    if (!rowInGrid(row, fracWidth)) return;
    drawGridRow(row, panel);
    if (gfxCurrentDrawBuffer() != GL_BACK) gfxRowDrawn();
}
