// Quorvex: an escape-time fractal explorer.
//
// A click on Make, from the mouse to a pixel, file by file:
//   app/startup.cpp      openQuorvex opens the window and registers the
//                        callbacks; myDisplay (app/layout.cpp) draws the
//                        control panel once.
//   app/dispatch.cpp     myMouse turns GLUT's position into window
//                        coordinates, tests the buttons in order and runs
//                        MAKE_COMMAND: the button's flash, the image panel
//                        cleared, then generation into MAIN_WINDOW.
//   generate/make.cpp    generateFractal: scales from the view, then by
//                        processType the sequential driver of fType
//                        (generate/families.h picks it), e.g. MANDELBROT(panel),
//                        or the worker threads (generate/row_workers.cpp).
//   core/kernels.cpp     MANDELBROT_CORE computes a row on the fastest path
//                        (core/kernels_simd.cpp, core/kernels_plain.cpp, with
//                        the rules of core/kernel_steps.h) into the grid.
//   colour/display.cpp   DISPLAY_FRACTAL_ROW colours the row through the
//                        channel tables (colour/palette.cpp) and puts it down.
//   widgets/gfx.cpp      the drawing layer presents it on the screen.
// Includes point only down the layers app, generate, render, deep, files,
// colour, widgets, core (README: Layout of the source).
#include "app/startup.h"
#include "widgets/gl.h"

int main(int argc, char **argv) {
    int status;
    if (!openQuorvex(argc, argv, &status)) return status;
    glutMainLoop();
    return 0;
}
