// Quorvex: an escape-time fractal explorer.
//
// Follow a click from here: openQuorvex (app/startup.cpp) opens the window
// and registers the callbacks; myDisplay (app/layout.cpp) draws the control
// panel once; myMouse (app/dispatch.cpp) hit-tests the buttons and runs a
// command, e.g. MAKE_COMMAND (generate/make.cpp), which runs the kernels
// (core/kernels.cpp) row by row and draws each row (colour/display.cpp)
// through the drawing layer (widgets/gfx.cpp).
#include "app/startup.h"
#include "widgets/gl.h"

int main(int argc, char **argv) {
    int status;
    if (!openQuorvex(argc, argv, &status)) return status;
    glutMainLoop();
    return 0;
}
