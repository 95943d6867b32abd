#include "colour/display.h"

#include <math.h>
#include <string.h>

#include "colour/palette.h"
#include "core/state.h"
#include "widgets/gfx.h"

namespace {

// The arrays below hold one grid row; a width or row outside the grid would
// read or write past them.
bool rowInGrid(int row, int width) {
    return row >= 0 && row < GRID_SIZE && width >= 1 && width <= GRID_SIZE;
}

// The picture of a whole grid: up to 801 x 801 pixels, bottom row first.
enum { PICTURE_SIDE = GRID_SIZE + 1 };
GLubyte picture[PICTURE_SIDE * PICTURE_SIDE * 3];

// One pixel row of a block: the row's cells, then its last cell once more
// (the right half of the last point). Returns the end of what it wrote.
GLubyte *pixelRow(const ChannelTables &tables, const unsigned char *cells, int width, GLubyte *out) {
    colourGridRow(tables, cells, width, out);
    memcpy(out + 3 * width, out + 3 * (width - 1), 3);
    return out + 3 * (width + 1);
}

// Drawn point by point, the last cell would leave its colour current.
void leaveColourOf(unsigned char v) { glColor3ub(PaletteR[v], PaletteG[v], PaletteB[v]); }

// Size-2 points one pixel apart: cell (r, c) lights the 2 x 2 square whose
// top-right pixel is (left + 2 + c, top - 3 - r), and the later cell (rows
// down, columns right) wins each shared pixel. So the block from
// (left + 1, top - 3 - height) to (left + 1 + width, top - 3) shows, at
// pixel column i and pixel row k counted from its bottom, the cell
// (min(height - k, height - 1), min(i, width - 1)).
void resolvePoints(int width, int height) {
    GLubyte *out = picture;
    const ChannelTables tables = programChannelTables();
    for (int k = 0; k <= height; ++k) {
        const int r = height - k < height - 1 ? height - k : height - 1;
        out = pixelRow(tables, fractal + GRID_SIZE * r, width, out);
    }
}

// Whether the projection takes (x, y) to window position (x, y) give or
// take a rounding error (the float projection of a 995-wide window puts
// 186 at 185.99997); pixels are sampled at their centres, half a pixel
// away, so such an error changes no pixel of a point or of a block.
bool landsOn(int x, int y) {
    const GLfloat slack = 1.0f / 16;
    glRasterPos2i(x, y);
    GLboolean valid = GL_FALSE;
    GLfloat position[4];
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return valid && fabsf(position[0] - x) <= slack && fabsf(position[1] - y) <= slack;
}

// True when the block of w x h pixels at (x, y) lies inside the viewport
// and the projection is one unit per pixel there: then one glDrawPixels
// puts down the same pixels the points would. Anything else (a panel partly
// outside the window, another projection) draws the points.
bool blockFitsAt(int x, int y, int w, int h) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (x < viewport[0] || y < viewport[1] || x + w > viewport[0] + viewport[2] ||
        y + h > viewport[1] + viewport[3])
        return false;
    return landsOn(x, y) && landsOn(x + w, y + h);
}

// Pixel transfers with no zoom, map, scale or bias, tightly packed rows;
// the caller's settings come back afterwards.
void drawPixelsPlainly(int w, int h, const GLubyte *pixels) {
    glPushAttrib(GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelZoom(1.0f, 1.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    static const GLenum scales[] = {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE};
    static const GLenum biases[] = {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS};
    for (GLenum scale : scales) glPixelTransferf(scale, 1.0f);
    for (GLenum bias : biases) glPixelTransferf(bias, 0.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPopClientAttrib();
    glPopAttrib();
}

// The whole used grid as one block of pixels; false when it cannot be.
bool drawGridAsPicture(const WINDOW &panel) {
    const int width = fracWidth, height = fracHeight;
    if (!rowInGrid(height - 1, width)) return false;
    if (!blockFitsAt(panel.left + 1, panel.top - 3 - height, width + 1, height + 1)) return false;
    resolvePoints(width, height);
    glWindowPos2i(panel.left + 1, panel.top - 3 - height);
    drawPixelsPlainly(width + 1, height + 1, picture);
    leaveColourOf(fractal[GRID_SIZE * (height - 1) + width - 1]);
    return true;
}

// ---- the rows of a Make ------------------------------------------------------

// Pixel row t of the panel (y = top - 3 - t, t = 0..height) is covered by
// row t as its upper half and by row t - 1 as its lower half; the one drawn
// later wins.
struct MakeRows {
    bool open = false;
    WINDOW panel{0, 0, 0, 0};
    int drawn[GRID_SIZE];          // order in which each row was reported, 0: not yet
    bool dirty[GRID_SIZE + 1];     // pixel rows to put down at the next present
    int reported = 0, lastRow = -1;
};
MakeRows makeRows;

int winnerOf(int t, int height) {
    const int upper = t < height ? makeRows.drawn[t] : 0;
    const int lower = t > 0 ? makeRows.drawn[t - 1] : 0;
    return upper >= lower ? t : t - 1;
}

// Pixel rows t0..t1 (top to bottom) as one block, bottom row first.
void putDownPixelRows(int t0, int t1, int width, int height) {
    GLubyte *out = picture;
    const ChannelTables tables = programChannelTables();
    for (int t = t1; t >= t0; --t) out = pixelRow(tables, fractal + GRID_SIZE * winnerOf(t, height), width, out);
    glWindowPos2i(makeRows.panel.left + 1, makeRows.panel.top - 3 - t1);
    drawPixelsPlainly(width + 1, t1 - t0 + 1, picture);
}

void putDownRecordedRows() {
    const int width = fracWidth, height = fracHeight;
    bool any = false;
    for (int t = 0; t <= height; ++t) {
        if (!makeRows.dirty[t]) continue;
        int end = t;
        while (end < height && makeRows.dirty[end + 1]) ++end;
        putDownPixelRows(t, end, width, height);
        for (int k = t; k <= end; ++k) makeRows.dirty[k] = false;
        t = end;
        any = true;
    }
    if (!any) return;
    leaveColourOf(fractal[GRID_SIZE * makeRows.lastRow + width - 1]);
    gfxRowDrawn();
}

void recordRow(int row) {
    makeRows.drawn[row] = ++makeRows.reported;
    makeRows.dirty[row] = makeRows.dirty[row + 1] = true;
    makeRows.lastRow = row;
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
        vertices[2 * c] = panel.left + 2 + c;
        vertices[2 * c + 1] = y;
    }
    colourGridRow(programChannelTables(), cells, width, colours);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_INT, 0, vertices);
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, colours);
    glDrawArrays(GL_POINTS, 0, width);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    leaveColourOf(cells[width - 1]);
}

void DISPLAY_FRACTAL(WINDOW panel) {
    gfxDrawBuffer(GL_BACK);
    glPointSize(2.0);
    if (!drawGridAsPicture(panel)) {
        const int rows = fracHeight < GRID_SIZE ? fracHeight : GRID_SIZE;
        for (int r = 0; r < rows; ++r) drawGridRow(r, panel);
    }
    glPointSize(1.0);
    gfxSwapBuffers();
}

void DISPLAY_FRACTAL_ROW(int row, WINDOW panel) {
    if (!rowInGrid(row, fracWidth)) return;
    if (makeRows.open && row < fracHeight) {
        recordRow(row);
        presentMakeRowsIfDue();
        return;
    }
    drawGridRow(row, panel);
    if (gfxCurrentDrawBuffer() != GL_BACK) gfxRowDrawn();
}

void beginMakeRows(const WINDOW &panel) {
    const int width = fracWidth, height = fracHeight;
    makeRows = MakeRows();
    makeRows.panel = panel;
    makeRows.open = rowInGrid(height - 1, width) &&
                    blockFitsAt(panel.left + 1, panel.top - 3 - height, width + 1, height + 1);
    memset(makeRows.drawn, 0, sizeof makeRows.drawn);
    memset(makeRows.dirty, 0, sizeof makeRows.dirty);
}

void presentMakeRowsIfDue() {
    if (makeRows.open && gfxPresentDue()) putDownRecordedRows();
    else gfxPresentIfDue();
}

void endMakeRows() {
    if (makeRows.open) putDownRecordedRows();
    makeRows.open = false;
}
