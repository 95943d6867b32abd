#include "app/zoom.h"

#include "app/app_state.h"
#include "app/layout.h"
#include "core/state.h"
#include "widgets/gfx.h"

int zoomFlag = ZOOM_NONE;
int xs = 0, ys = 0, xe = 0, ye = 0;
double xTemp = 0.0, yTemp = 0.0;
PlaneMapping shownView = {-5.0, -5.0, 10.0 / GRID_SIZE, 10.0 / GRID_SIZE};

namespace {

void armSelection(BUTTON &button, int flag) {
    button.CLICK();
    lockMenu = MENU_LOCKED;
    HIDE_COMMAND_BUTTONS();
    glutSetCursor(GLUT_CURSOR_CROSSHAIR);
    zoomFlag = flag;
}

void endSelection() {
    SHOW_COMMAND_BUTTONS();
    lockMenu = MENU_UNLOCKED;
    glutSetCursor(GLUT_CURSOR_INFO);
}

// Both faces in line mode: a rectangle dragged to the lower left (or one
// completed without motion, towards a stale corner) winds clockwise, and a
// back face left in fill mode would paint a solid grey block over the window.
void outline(int x1, int y1, int x2, int y2) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor3ub(128, 128, 128);
    glBegin(GL_QUADS);
    glVertex2i(x1, y1);
    glVertex2i(x1, y2);
    glVertex2i(x2, y2);
    glVertex2i(x2, y1);
    glEnd();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void redrawViewLines() {
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 3);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 4);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 6);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 7);
}

void takeFirstCorner(int X, int Y) {
    glFinish();
    xTemp = planeX(X);
    yTemp = planeY(Y);
    xs = X;
    ys = Y;
    zoomFlag = ZOOM_DRAGGING;
    glutSetCursor(GLUT_CURSOR_NONE);
}

void completeRectangle(int X, int Y) {
    glFinish();
    gfxDrawBuffer(GL_BACK);
    outline(xs, ys, xe, ye);  // the corner of the last motion, not the release
    gfxSwapBuffers();
    xEnd = planeX(X);
    yEnd = planeY(Y);
    xStart = xTemp;
    yStart = yTemp;
    zoomFlag = ZOOM_NONE;
    redrawViewLines();
    endSelection();
    MAKE_CUE();
}

void pickPivot(int X, int Y) {
    glFinish();
    gfxDrawBuffer(GL_BACK);
    glPointSize(10.0);
    glColor3ub(128, 128, 128);
    glBegin(GL_POINTS);
    glVertex2i(X, Y);
    glEnd();
    glPointSize(1.0);
    gfxSwapBuffers();
    xPivot = planeX(X);
    yPivot = planeY(Y);
    zoomFlag = ZOOM_NONE;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 5);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 8);
    endSelection();
}

}  // namespace

void rememberShownView() { shownView = PlaneMapping{xStart, yStart, xScale, yScale}; }

// Through the picture the user is pointing at, not the edges a completed
// rectangle has already moved: a second pick lands where it was clicked.
double planeX(int X) {
    return (double)(X - MAIN_WINDOW.left) * shownView.xScale + shownView.xStart;
}
double planeY(int Y) {
    return (double)(MAIN_WINDOW.top - Y) * shownView.yScale + shownView.yStart;
}

void ZOOM_IN_COMMAND() { armSelection(ZOMI_BUTTON, ZOOM_ARMED); }
void PIVOT_COMMAND() { armSelection(PIVT_BUTTON, PIVOT_ARMED); }

void ZOOM_OUT_COMMAND() {
    ZOMO_BUTTON.CLICK();
    resetView();
    redrawViewLines();
    MAKE_CUE();
}

void PICK_LOGIC(int button, int state, int X, int Y) {
    if (button != GLUT_LEFT_BUTTON) return;
    if (zoomFlag == ZOOM_ARMED && state == GLUT_DOWN) takeFirstCorner(X, Y);
    if (zoomFlag == ZOOM_DRAGGING && state == GLUT_UP) completeRectangle(X, Y);
    if (zoomFlag == PIVOT_ARMED && state == GLUT_DOWN) pickPivot(X, Y);
}

void myMovingMouse(int x, int y) {
    if (zoomFlag != ZOOM_DRAGGING) return;
    xe = x;
    ye = winHeight - y;
    gfxDrawBuffer(GL_FRONT);
    outline(xs, ys, xe, ye);
    gfxSwapBuffers();
    gfxFlush();
}
