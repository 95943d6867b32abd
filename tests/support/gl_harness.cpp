#include "gl_harness.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/layout.h"
#include "app/startup.h"
#include "app/zoom.h"
#include "colour/palette.h"
#include "core/state.h"
#include "files/dirscan.h"
#include "widgets/button.h"
#include "widgets/gfx.h"
#include "xvfb.h"

extern int lockMenu;

namespace {

PrivateXvfb server;
X11Driver x11;

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

Image readLayer(GLenum which) {
    Image image(winWidth, winHeight);
    std::vector<uint8_t> raw((size_t)winWidth * winHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gfxReadPixels(which, 0, 0, winWidth, winHeight, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    for (int Y = 0; Y < winHeight; ++Y)
        memcpy(&image.rgb[(size_t)(winHeight - 1 - Y) * winWidth * 3], &raw[(size_t)Y * winWidth * 3],
               (size_t)winWidth * 3);
    return image;
}

}  // namespace

bool startProgramInProcess(const std::vector<std::string> &args) {
    if (!server.start()) return false;
    setenv("DISPLAY", server.display().c_str(), 1);
    static std::vector<std::string> keep = args;
    static std::vector<char *> argv;
    for (auto &a : keep) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int status = 0;
    if (!openQuorvex((int)keep.size(), argv.data(), &status)) return false;
    if (!x11.open(server.display()) || !x11.findWindow("Quorvex")) return false;
    const double end = nowMs() + 5000;
    while (drawFlag && nowMs() < end) pumpEvents(20);
    pumpEvents(50);
    return drawFlag == 0;
}

void pumpEvents(int ms) {
    const double end = nowMs() + ms;
    do {
        glutMainLoopEvent();
        struct timespec t = {0, 2000000};
        nanosleep(&t, nullptr);
    } while (nowMs() < end);
}

Image backBuffer() { return readLayer(GL_BACK); }
Image frontBuffer() { return readLayer(GL_FRONT); }

Image screen() {
    glFinish();
    x11.settle(30);
    return x11.grab();
}

X11Driver &driver() { return x11; }

void restoreStartState() {
    resetFractalState();
    paletteR = paletteG = paletteB = 0;
    DISPLAY_PALLETE_APPLY();
    lockMenu = 0;
    zoomFlag = scanFlag = 0;
    fractals = scanStart = 0;
    memset(fileNames, 0, sizeof fileNames);
    shownView = PlaneMapping{-5.0, -5.0, 10.0 / GRID_SIZE, 10.0 / GRID_SIZE};
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPointSize(1.0);
    drawFlag = 1;
    myDisplay();
}
