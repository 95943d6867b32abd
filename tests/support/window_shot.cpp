// docs-window-shot - the explorer's window as the README shows it.
//
//   docs-window-shot OUTPUT.png
//
// Starts the real quorvex in a private X server (as the end-to-end tests
// do), raises the detail, makes the whole view, drags a zoom rectangle over
// the valley between the main cardioid and the disc to its left, makes
// that picture, recolours
// it with Red, Green and Blue, and writes what the X server shows of the
// window as an 8-bit RGB PNG. Every step is the program's own exact
// drawing, so the same build always gives the same pixels.
//
// Exit status 0 when the file is written, 1 otherwise (one line on
// standard error says why).
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "e2e_session.h"

namespace {

struct Spot {
    int X, Y;
};
// Button centres in window coordinates (origin bottom-left).
const Spot MAKE = {45, 780}, RED = {45, 655}, GREEN = {45, 630}, BLUE = {45, 605},
           DETAIL_PLUS = {140, 755}, ZOOM_IN = {140, 705}, EXIT = {140, 605};

void click(E2eSession &s, Spot p, int times = 1) {
    for (int k = 0; k < times; ++k) {
        s.x.click(p.X, p.Y);
        s.x.settle(150);
    }
}

// The window once two grabs half a second apart agree (the Make is done).
Image settledWindow(E2eSession &s) {
    Image last = s.x.grab();
    for (int tries = 0; tries < 60; ++tries) {
        usleep(500000);
        s.x.settle(50);
        Image now = s.x.grab();
        if (now.rgb == last.rgb) return now;
        last = now;
    }
    return Image();
}

bool writePng(const std::string &path, const Image &image) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = (png_uint_32)image.width;
    png.height = (png_uint_32)image.height;
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

int fail(const char *what) {
    fprintf(stderr, "docs-window-shot: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return fail("usage: docs-window-shot OUTPUT.png");
    const std::string dir = makeTempDir("docs-shot");
    E2eSession s;
    if (dir.empty() || !s.start({}, dir)) return fail("cannot start quorvex in a private X server");
    click(s, DETAIL_PLUS);     // 100
    click(s, MAKE);            // Zoom In needs a picture to point at
    s.x.settle(500);
    click(s, ZOOM_IN);
    s.x.drag(505, 420, 545, 380);  // -1..-0.5 x -0.075..0.425
    s.x.settle(200);
    click(s, MAKE);
    click(s, RED, 4);
    click(s, GREEN, 6);
    click(s, BLUE, 3);
    const Image window = settledWindow(s);
    click(s, EXIT);
    s.stop();
    if (system(("rm -rf '" + dir + "'").c_str()) != 0) { /* a stray empty directory in /tmp */ }
    if (window.width == 0) return fail("the window never settled");
    if (!writePng(argv[1], window)) return fail("cannot write the PNG");
    return 0;
}
