// journey_support.h - what the user journeys share: where things are in the
// window, the pictures and files the program must produce (built here from
// the core library's reference kernel and palette), and a session fixture
// with the person's actions (click, type a name, wait for a file).
//
// Layout at the default size (995 x 820), window coordinates, origin at the
// bottom-left. Grid cell (r, c) shows at (186 + c, 811 - r).
#ifndef QUORVEX_TESTS_E2E_JOURNEY_SUPPORT_H
#define QUORVEX_TESTS_E2E_JOURNEY_SUPPORT_H

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "core/kernels.h"
#include "e2e_session.h"
#include "image.h"
#include "test_files.h"

namespace journey {

struct Spot {
    int X, Y;
};
// Button centres.
const Spot MAKE = {45, 780}, LOAD = {45, 755}, SAVE = {45, 730}, EXPORT = {45, 705},
           RED = {45, 655}, GREEN = {45, 630}, BLUE = {45, 605}, TYPE = {140, 780},
           DETAIL_PLUS = {140, 755}, ZOOM_IN = {140, 705}, EXIT = {140, 605}, UP = {45, 535},
           DOWN = {45, 510}, CANCEL = {140, 510}, ACCEPT = {140, 535};

const int IMAGE_LEFT = 185, IMAGE_TOP = 814;
const int DIR_LEFT = 10, DIR_BOTTOM = 190, DIR_RIGHT = 175, DIR_TOP = 490;
const int DATA_LEFT = 10, DATA_BOTTOM = 10, DATA_RIGHT = 175, DATA_TOP = 160;
const int GRID = 800;
const Rgb WHITE = {255, 255, 255}, BLACK = {0, 0, 0};
const double DEFAULT_SCALE = 10.0 / GRID;

// List row k (0..14) of the "Directory" panel: its baseline, and a point
// that picks it.
inline int rowBaseline(int k) { return DIR_TOP - 15 - 20 * k; }
inline Spot listRow(int k) { return {60, rowBaseline(k)}; }

// The plane point of a window point in the default view.
inline double mapX(int X) { return (double)(X - IMAGE_LEFT) * DEFAULT_SCALE - 5.0; }
inline double mapY(int Y) { return (double)(IMAGE_TOP - Y) * DEFAULT_SCALE - 5.0; }

inline KernelView defaultView(int detail) {
    return KernelView{GRID, detail, -5.0, DEFAULT_SCALE, -5.0, DEFAULT_SCALE, 0.0, 0.0};
}

// ---- expected grids and pictures ---------------------------------------------

struct Grid {
    int width = 0, height = 0;
    std::vector<unsigned char> cells;  // packed rows
    unsigned char at(int r, int c) const { return cells[(size_t)r * width + c]; }
};

// The whole grid a Make must compute, by the reference kernel.
inline Grid referenceGrid(int type, const KernelView &view) {
    Grid g;
    g.width = g.height = GRID;
    g.cells.resize((size_t)GRID * GRID);
    for (int r = 0; r < GRID; ++r) computeRowScalar(type, view, r, &g.cells[(size_t)r * GRID]);
    return g;
}

// The channel tables for the given ramps, from the program's seeded palette.
inline void selectRamps(int red, int green, int blue) {
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = red, paletteG = green, paletteB = blue;
    DISPLAY_PALLETE_APPLY();
}

inline Image colouredGrid(const Grid &g, int red, int green, int blue) {
    selectRamps(red, green, blue);
    Image im(g.width, g.height);
    for (int r = 0; r < g.height; ++r)
        for (int c = 0; c < g.width; ++c) {
            const unsigned char v = g.at(r, c);
            im.setTop(c, r, Rgb{PaletteR[v], PaletteG[v], PaletteB[v]});
        }
    return im;
}

// The block of the image panel that shows a width x height grid.
inline Image imageOnScreen(const Image &window, int width = GRID, int height = GRID) {
    return window.region(IMAGE_LEFT + 1, IMAGE_TOP - 3 - (height - 1), width, height);
}

inline Image directoryPanel(const Image &window) {
    return window.region(DIR_LEFT, DIR_BOTTOM, DIR_RIGHT - DIR_LEFT, DIR_TOP - DIR_BOTTOM);
}
inline Image readout(const Image &window) {
    return window.region(DATA_LEFT, DATA_BOTTOM, DATA_RIGHT - DATA_LEFT, DATA_TOP - DATA_BOTTOM);
}

// White ink of one 8 x 13 text line in the "Directory" panel, by its
// baseline: the columns it spans (right < left when there is none).
struct Ink {
    int left = 1 << 20, right = -1, pixels = 0;
    bool any() const { return pixels > 0; }
};
inline Ink lineInk(const Image &window, int baseline) {
    Ink ink;
    for (int Y = baseline - 3; Y <= baseline + 11; ++Y)
        for (int X = DIR_LEFT; X < DIR_RIGHT; ++X)
            if (window.at(X, Y) == WHITE) {
                ink.left = std::min(ink.left, X);
                ink.right = std::max(ink.right, X);
                ++ink.pixels;
            }
    return ink;
}
// Whether the ink of a line is that of `characters` characters at left + 5.
inline bool lineOfLength(const Image &window, int baseline, int characters) {
    const Ink ink = lineInk(window, baseline);
    return ink.any() && ink.left >= DIR_LEFT + 5 &&
           ink.right >= DIR_LEFT + 5 + 8 * (characters - 1) &&
           ink.right < DIR_LEFT + 5 + 8 * characters;
}
// A line of `characters` characters written at the panel's left + 5.
inline void expectTextLine(const Image &window, int baseline, int characters, const char *what) {
    const Ink ink = lineInk(window, baseline);
    EXPECT_TRUE(ink.any()) << what << ": no text at baseline " << baseline;
    EXPECT_GE(ink.left, DIR_LEFT + 5) << what;
    EXPECT_GE(ink.right, DIR_LEFT + 5 + 8 * (characters - 1)) << what << ": text too short";
    EXPECT_LT(ink.right, DIR_LEFT + 5 + 8 * characters) << what << ": text too long";
}
// White pixels in the panel outside the given text lines.
inline int strayInk(const Image &window, const std::vector<int> &baselines) {
    int stray = 0;
    for (int Y = DIR_BOTTOM; Y < DIR_TOP; ++Y) {
        bool onLine = false;
        for (int b : baselines) onLine = onLine || (Y >= b - 3 && Y <= b + 11);
        if (onLine) continue;
        for (int X = DIR_LEFT; X < DIR_RIGHT; ++X) stray += window.at(X, Y) == WHITE;
    }
    return stray;
}

// ---- files --------------------------------------------------------------------


inline bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The header text a parameter file must start with, and its grid after it.
inline std::string parameterHeader(const char *type, int detail, double xStart, double xEnd,
                                   double xPivot, double yStart, double yEnd, double yPivot,
                                   int width, int height) {
    char text[512];
    snprintf(text, sizeof text, "QUORVEX\n%s\n%d\n%lf\n%lf\n%lf\n%lf\n%lf\n%lf\nP5\n%d %d\n255\n",
             type, detail, xStart, xEnd, xPivot, yStart, yEnd, yPivot, width, height);
    return text;
}

// The grid stored in a parameter file whose header is known.
inline Grid gridOfFile(const std::string &content, size_t headerSize, int width, int height) {
    Grid g;
    g.width = width, g.height = height;
    if (content.size() == headerSize + (size_t)width * height)
        g.cells.assign(content.begin() + headerSize, content.end());
    return g;
}

// A P6 file as a picture (an empty one when it is not a complete P6).
inline Image readExport(const std::string &path) {
    Image im;
    if (!readPpm(path, im)) return Image();
    return im;
}

// ---- the session --------------------------------------------------------------

class Journey : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir("journey");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        s.stop();
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
    }

    void startProgram() { ASSERT_TRUE(s.start({}, dir)) << "the program did not show its window"; }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    void click(Spot p) {
        s.x.click(p.X, p.Y);
        s.x.settle(120);
    }
    Image shot() {
        s.x.settle(60);
        return s.x.grab();
    }
    // The picture once the program has drawn everything queued: two shots
    // 300 ms apart that agree.
    Image settledShot(int timeoutMs = 20000) {
        return sameAcross([] { usleep(300000); }, shot(), timeoutMs);
    }
    // The same after quick clicks, which queue up while the program flashes
    // and redraws for each: the picture counts as settled only once it has
    // stayed the same for a whole second (stretched like every wait), so a
    // moment in which the busy machine lets the program wait cannot pass
    // for the end of the queue.
    Image settledAfterBurst() { return sameAcross([this] { s.x.settle(1000); }, settledShot(), 30000); }
    // The first shot that agrees with the one taken `wait` before it.
    template <class Wait> Image sameAcross(Wait wait, Image last, int timeoutMs) {
        for (const double end = nowMs() + timeoutMs; nowMs() < end;) {
            wait();
            Image now = shot();
            if (now.rgb == last.rgb) return now;
            last = now;
        }
        ADD_FAILURE() << "the picture kept changing";
        return last;
    }
    // Waits until `ready` holds for the picture on the screen, then until the
    // program has finished drawing (a command draws in several steps), and
    // returns that picture.
    template <class Ready>
    Image waitForScreen(Ready ready, int timeoutMs = 30000) {
        for (const double end = nowMs() + timeoutMs; nowMs() < end;)
            if (ready(shot())) return settledShot();
        ADD_FAILURE() << "the screen never showed what was expected";
        return shot();
    }
    Image waitForPrompt() {
        // "Enter filename:", 15 characters, alone in the panel.
        return waitForScreen([](const Image &w) {
            return lineOfLength(w, rowBaseline(0), 15) && strayInk(w, {rowBaseline(0)}) == 0;
        });
    }
    bool waitForFile(const std::string &name, int timeoutMs = 30000) {
        for (const double end = nowMs() + timeoutMs; nowMs() < end; usleep(50000))
            if (exists(path(name))) return true;
        return false;
    }
    // Save or Export, the name typed, Accept.
    void writeUnder(Spot command, const std::string &name) {
        click(command);
        waitForPrompt();
        s.x.typeText(name);
        s.x.settle(100);
        click(ACCEPT);
    }
    void exitWithStatusZero() {
        s.x.click(EXIT.X, EXIT.Y);
        EXPECT_EQ(0, s.waitExit(10000));
    }

    E2eSession s;
    std::string dir;
};

}  // namespace journey

#endif
