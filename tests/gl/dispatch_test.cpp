// The mouse dispatch driven in-process: synthetic GLUT events go through
// myMouse exactly as GLUT would deliver them (y counted from the top), and
// the effects are read from the program's state and its drawing buffers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/state.h"
#include "files/paramfile.h"
#include "gl_harness.h"
#include "widgets/button.h"
#include "widgets/gfx.h"

namespace {

const Rgb MAGENTA = {255, 0, 255};
const Rgb WHITE = {255, 255, 255};
const Rgb FACE_GREY = {153, 153, 153};

// Readout baselines below the panel top, by line number.
const int LINE_DROP[9] = {0, 20, 40, 60, 75, 90, 110, 125, 145};

int exitRequests = 0;

void pressAt(int X, int Y, int button = GLUT_LEFT_BUTTON) {
    myMouse(button, GLUT_DOWN, X, winHeight - Y);
}
void releaseAt(int X, int Y, int button = GLUT_LEFT_BUTTON) {
    myMouse(button, GLUT_UP, X, winHeight - Y);
}
void clickAt(int X, int Y) {
    pressAt(X, Y);
    releaseAt(X, Y);
}
void clickOn(const BUTTON &b) { clickAt(b.x + 35, b.y + 10); }

// A one-pixel mark in the back buffer (and shown, as the program would).
void mark(int X, int Y) {
    fillQuad(1, 0, 1, X, Y + 1, X + 1, Y + 1, X + 1, Y, X, Y);
    gfxSwapBuffers();
}

// Marks every readout line at its right end, where no text reaches; a line
// that is redrawn blanks its strip and so loses its mark.
int markX() { return DATA_WINDOW.right - 2; }
int markY(int line) { return DATA_WINDOW.top - LINE_DROP[line] + 5; }
void markReadout() {
    for (int line = 1; line <= 8; ++line) mark(markX(), markY(line));
}
std::vector<int> redrawnLines() {
    const Image back = backBuffer();
    std::vector<int> lines;
    for (int line = 1; line <= 8; ++line)
        if (back.at(markX(), markY(line)) != MAGENTA) lines.push_back(line);
    return lines;
}

Rgb makeFace() { return backBuffer().at(MAKE_BUTTON.x + 6, MAKE_BUTTON.y + 10); }

// The pixel that shows grid cell (r, c): points of size 2 cover the pixels
// left+1+c..left+2+c and top-4-r..top-3-r, and later points win.
Rgb cellOnScreen(const Image &im, int r, int c) {
    return im.at(MAIN_WINDOW.left + 1 + c, MAIN_WINDOW.top - 3 - r);
}
Rgb cellColour(int r, int c) {
    const unsigned char v = fractal[GRID_SIZE * r + c];
    return Rgb{PaletteR[v], PaletteG[v], PaletteB[v]};
}

// A grid with every value in every row, drawn as if a Make had produced it.
void showPatternImage() {
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) fractal[GRID_SIZE * r + c] = (unsigned char)(c + r);
    noFractal = 0;
    DISPLAY_FRACTAL(MAIN_WINDOW);
    rememberShownView();
}

struct Snapshot {
    int fType, detail, paletteR, paletteG, paletteB, lockMenu, zoomFlag, scanFlag, noFractal;
    double xStart, xEnd, yStart, yEnd, xPivot, yPivot, xScale, yScale;
    bool operator==(const Snapshot &o) const { return memcmp(this, &o, sizeof o) == 0; }
};
Snapshot snapshot() {
    Snapshot s;
    memset(&s, 0, sizeof s);
    s.fType = fType;
    s.detail = detail;
    s.paletteR = paletteR;
    s.paletteG = paletteG;
    s.paletteB = paletteB;
    s.lockMenu = lockMenu;
    s.zoomFlag = zoomFlag;
    s.scanFlag = scanFlag;
    s.noFractal = noFractal;
    s.xStart = xStart;
    s.xEnd = xEnd;
    s.yStart = yStart;
    s.yEnd = yEnd;
    s.xPivot = xPivot;
    s.yPivot = yPivot;
    s.xScale = xScale;
    s.yScale = yScale;
    return s;
}

// Asserts that a press did nothing at all: no state change, no drawing, no
// presenting (so no click animation either).
void expectPressIgnored(const BUTTON &b, const char *what) {
    SCOPED_TRACE(what);
    const Snapshot before = snapshot();
    const Image back = backBuffer();
    const long presents = gfxPresentCount();
    clickOn(b);
    EXPECT_TRUE(before == snapshot());
    EXPECT_EQ(presents, gfxPresentCount());
    EXPECT_EQ(0, comparePictures(std::string("ignored-") + what, back, backBuffer()));
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        clickFlashMicroseconds = 1000;
        exitRequests = 0;
        savedEnd = endProgram;
        endProgram = [] { ++exitRequests; };
        char pattern[] = "/tmp/quorvex-dispatch-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        workDir = pattern;
        ASSERT_NE(nullptr, getcwd(oldDir, sizeof oldDir));
        ASSERT_EQ(0, chdir(workDir.c_str()));
    }
    void TearDown() override {
        endProgram = savedEnd;
        if (chdir(oldDir) != 0) ADD_FAILURE() << "cannot return to " << oldDir;
        const std::string rm = "rm -rf '" + workDir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << workDir;
    }
    void (*savedEnd)() = nullptr;
    std::string workDir;
    char oldDir[4096] = "";
};

TEST_F(Dispatch, OnlyLeftPressesRunCommands) {
    const BUTTON *targets[] = {&TYPE_BUTTON, &DETP_BUTTON, &EXIT_BUTTON, &LOAD_BUTTON};
    for (const BUTTON *b : targets) {
        const int X = b->x + 35, Y = b->y + 10;
        const Snapshot before = snapshot();
        const long presents = gfxPresentCount();
        for (int button : {GLUT_RIGHT_BUTTON, GLUT_MIDDLE_BUTTON}) {
            pressAt(X, Y, button);
            releaseAt(X, Y, button);
        }
        releaseAt(X, Y);  // a left release alone
        EXPECT_TRUE(before == snapshot()) << b->label;
        EXPECT_EQ(presents, gfxPresentCount()) << b->label;
    }
    EXPECT_EQ(0, exitRequests);
}

TEST_F(Dispatch, EveryEdgeOfAButtonHitsItAndOnePixelOutsideMisses) {
    const BUTTON &t = TYPE_BUTTON;
    const int edges[4][2] = {{t.x, t.y}, {t.x + 70, t.y}, {t.x, t.y + 20}, {t.x + 70, t.y + 20}};
    for (const auto &p : edges) {
        const int before = fType;
        pressAt(p[0], p[1]);
        EXPECT_EQ((before + 1) % 10, fType) << "(" << p[0] << ", " << p[1] << ")";
    }
    const int outside[4][2] = {
        {t.x - 1, t.y + 10}, {t.x + 71, t.y + 10}, {t.x + 35, t.y - 1}, {t.x + 35, t.y + 21}};
    for (const auto &p : outside) {
        const int before = fType;
        pressAt(p[0], p[1]);
        EXPECT_EQ(before, fType) << "(" << p[0] << ", " << p[1] << ")";
    }
    const BUTTON &e = EXIT_BUTTON;
    pressAt(e.x, e.y);
    pressAt(e.x + 70, e.y + 20);
    EXPECT_EQ(2, exitRequests);
}

TEST_F(Dispatch, CommandsNeedingAnImageDoNothingBeforeTheFirst) {
    ASSERT_EQ(1, noFractal);
    xStart = -1.0;  // so that a Zoom Out that ran would show
    const BUTTON *gated[] = {&SAVE_BUTTON, &EXPT_BUTTON, &PALR_BUTTON, &PALG_BUTTON,
                             &PALB_BUTTON, &ZOMI_BUTTON, &ZOMO_BUTTON, &PIVT_BUTTON};
    for (const BUTTON *b : gated) expectPressIgnored(*b, b->label);
}

TEST_F(Dispatch, CommandsWithoutImageGateActBeforeTheFirstImage) {
    ASSERT_EQ(1, noFractal);
    long presents = gfxPresentCount();
    clickOn(TYPE_BUTTON);
    EXPECT_EQ(1, fType);
    clickOn(DETP_BUTTON);
    EXPECT_EQ(100, detail);
    clickOn(DETM_BUTTON);
    EXPECT_EQ(50, detail);
    clickOn(REST_BUTTON);
    EXPECT_EQ(0, fType);
    clickOn(EXIT_BUTTON);
    EXPECT_EQ(1, exitRequests);
    EXPECT_GT(gfxPresentCount(), presents);

    clickOn(LOAD_BUTTON);
    EXPECT_EQ(1, scanFlag);
    EXPECT_EQ(1, lockMenu);
    clickOn(CNCL_BUTTON);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);

    presents = gfxPresentCount();
    clickOn(MAKE_BUTTON);
    EXPECT_EQ(0, noFractal);
    EXPECT_GT(gfxPresentCount(), presents);
    // The Mandelbrot set holds the plane's origin: cell (400, 400) never escapes.
    EXPECT_EQ(255, fractal[GRID_SIZE * 400 + 400]);
}

TEST_F(Dispatch, MakeIsRefusedWhileTheMenuIsLocked) {
    lockMenu = 1;
    expectPressIgnored(MAKE_BUTTON, "Make");
    EXPECT_EQ(1, noFractal);
}

TEST_F(Dispatch, DetailKeepsItsBoundsButStillAnimatesAndCues) {
    detail = 5000;
    markReadout();
    long presents = gfxPresentCount();
    clickOn(DETP_BUTTON);
    EXPECT_EQ(5000, detail);
    EXPECT_GT(gfxPresentCount(), presents);
    EXPECT_EQ(std::vector<int>{2}, redrawnLines());
    EXPECT_EQ(WHITE, makeFace());

    restoreStartState();
    markReadout();
    presents = gfxPresentCount();
    clickOn(DETM_BUTTON);
    EXPECT_EQ(50, detail);
    EXPECT_GT(gfxPresentCount(), presents);
    EXPECT_EQ(std::vector<int>{2}, redrawnLines());
    EXPECT_EQ(WHITE, makeFace());

    clickOn(MAKE_BUTTON);
    EXPECT_EQ(FACE_GREY, makeFace()) << "Make draws itself plainly";
}

TEST_F(Dispatch, DetailStepsKeepTheOffsetOfALoadedValue) {
    detail = 75;  // as a parameter file may give it
    clickOn(DETP_BUTTON);
    EXPECT_EQ(125, detail);
    clickOn(DETM_BUTTON);
    clickOn(DETM_BUTTON);
    EXPECT_EQ(50, detail) << "75 - 50 = 25 is raised to the floor";
    detail = 4975;
    clickOn(DETP_BUTTON);
    EXPECT_EQ(5000, detail);
    detail = 1000000;  // a file may hold any detail of 1 or more
    clickOn(DETP_BUTTON);
    EXPECT_EQ(5000, detail);
}

TEST_F(Dispatch, DetailStepsAfterARealLoad) {
    showPatternImage();
    detail = 75;
    ASSERT_EQ(1, SAVE_FRACTAL((char *)"odd.frc")) << fileError;
    detail = 50;
    clickOn(LOAD_BUTTON);
    ASSERT_EQ(0, fractals) << "one file in the directory";
    clickAt(50, FILE_WINDOW.top - 15);  // list row 0
    ASSERT_EQ(75, detail);
    clickOn(DETP_BUTTON);
    EXPECT_EQ(125, detail);
    clickOn(DETM_BUTTON);
    clickOn(DETM_BUTTON);
    EXPECT_EQ(50, detail);
}

TEST_F(Dispatch, TypeCyclesThroughTheTenNamesWithoutCue) {
    const char *names[] = {"Julia",     "M-Dragon", "J-Dragon", "M-Phoenix", "J-Phoenix",
                           "M-Cosine",  "J-Cosine", "M-Cosh",   "J-Cosh",    "Mandelbrot"};
    for (const char *name : names) {
        markReadout();
        clickOn(TYPE_BUTTON);
        EXPECT_STREQ(name, fracType);
        EXPECT_EQ(std::vector<int>{1}, redrawnLines()) << name;
    }
    EXPECT_EQ(0, fType);
    EXPECT_EQ(FACE_GREY, makeFace());
}

TEST_F(Dispatch, PaletteButtonsCycleTheirOwnRampAndRedrawTheImage) {
    showPatternImage();
    const int startR = paletteR;
    for (int press = 1; press <= 9; ++press) {
        mark(MAIN_WINDOW.left + 100, MAIN_WINDOW.top - 100);
        clickOn(PALR_BUTTON);
        EXPECT_EQ((startR + press) % 9, paletteR);
        const Image back = backBuffer();
        EXPECT_NE(MAGENTA, back.at(MAIN_WINDOW.left + 100, MAIN_WINDOW.top - 100)) << press;
        EXPECT_EQ(cellColour(200, 300), cellOnScreen(back, 200, 300)) << press;
        EXPECT_EQ(cellColour(5, 17), cellOnScreen(back, 5, 17)) << press;
    }
    EXPECT_EQ(startR, paletteR);
    EXPECT_EQ(0, paletteG);
    EXPECT_EQ(0, paletteB);

    clickOn(PALG_BUTTON);
    clickOn(PALB_BUTTON);
    clickOn(PALB_BUTTON);
    EXPECT_EQ(startR, paletteR);
    EXPECT_EQ(1, paletteG);
    EXPECT_EQ(2, paletteB);
    for (int v = 0; v < 255; ++v) {
        ASSERT_EQ(palette[RAMP_LENGTH * 1 + v], PaletteG[v]) << v;
        ASSERT_EQ(palette[RAMP_LENGTH * 2 + v], PaletteB[v]) << v;
    }
    EXPECT_EQ(cellColour(123, 456), cellOnScreen(backBuffer(), 123, 456));
}

TEST_F(Dispatch, ResetRestoresTheParametersBlanksThePanelAndKeepsTheGrid) {
    showPatternImage();
    fracWidth = 400;
    fracHeight = 300;
    paletteR = 3, paletteG = 4, paletteB = 8;
    DISPLAY_PALLETE_APPLY();
    detail = 700;
    xStart = 0.25, xEnd = 0.5, yStart = -0.75, yEnd = -0.5;
    xPivot = 0.3, yPivot = -0.6;
    xScale = yScale = 1e-3;
    setFractalType(7);
    // Modes Reset must leave alone; with the list open the Reset press goes
    // on to the list test (an index before the first name: no pick).
    zoomFlag = 1;
    scanFlag = 1;
    std::vector<unsigned char> grid(fractal, fractal + GRID_CELLS);
    markReadout();

    clickOn(REST_BUTTON);
    EXPECT_EQ(0, paletteR);
    EXPECT_EQ(0, paletteG);
    EXPECT_EQ(0, paletteB);
    EXPECT_EQ(50, detail);
    EXPECT_EQ(-5.0, xStart);
    EXPECT_EQ(5.0, xEnd);
    EXPECT_EQ(-5.0, yStart);
    EXPECT_EQ(5.0, yEnd);
    EXPECT_EQ(0.0, xPivot);
    EXPECT_EQ(0.0, yPivot);
    EXPECT_EQ(10.0 / 400, xScale);
    EXPECT_EQ(10.0 / 300, yScale);
    EXPECT_EQ(0, fType);
    EXPECT_STREQ("Mandelbrot", fracType);
    for (int v = 0; v < 255; ++v) ASSERT_EQ(palette[v], PaletteR[v]) << v;

    // What Reset keeps.
    EXPECT_EQ(0, noFractal);
    EXPECT_EQ(400, fracWidth);
    EXPECT_EQ(300, fracHeight);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(1, zoomFlag);
    EXPECT_EQ(1, scanFlag);
    EXPECT_TRUE(std::equal(grid.begin(), grid.end(), fractal)) << "the grid keeps the image";

    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}), redrawnLines());
    EXPECT_EQ(FACE_GREY, makeFace()) << "no Make cue";
    const Image back = backBuffer();
    long lit = 0;
    for (int Y = MAIN_WINDOW.bottom; Y < MAIN_WINDOW.top; ++Y)
        for (int X = MAIN_WINDOW.left; X < MAIN_WINDOW.right; ++X)
            lit += back.at(X, Y) != Rgb{0, 0, 0};
    EXPECT_EQ(0, lit) << "the image panel is black";

    zoomFlag = scanFlag = 0;
    clickOn(PALR_BUTTON);
    EXPECT_EQ(cellColour(100, 200), cellOnScreen(backBuffer(), 100, 200))
        << "Red redraws the kept grid";
}

TEST_F(Dispatch, TypeAndResetGoOnToThePickLogicOthersDoNot) {
    showPatternImage();
    // A zoom armed, then its lock released by Cancel: buttons act again and
    // the armed corner pick is still waiting.
    clickOn(ZOMI_BUTTON);
    clickOn(CNCL_BUTTON);
    ASSERT_EQ(1, zoomFlag);
    ASSERT_EQ(0, lockMenu);

    clickOn(DETP_BUTTON);
    EXPECT_EQ(100, detail);
    EXPECT_EQ(1, zoomFlag) << "Detail+ ends the dispatch";

    pressAt(TYPE_BUTTON.x + 35, TYPE_BUTTON.y + 10);
    EXPECT_EQ(1, fType);
    EXPECT_EQ(2, zoomFlag) << "the Type press also took the first corner";
    EXPECT_EQ(TYPE_BUTTON.x + 35, xs);
    releaseAt(TYPE_BUTTON.x + 35, TYPE_BUTTON.y + 10);
    EXPECT_EQ(0, zoomFlag);

    clickOn(PIVT_BUTTON);
    clickOn(CNCL_BUTTON);
    ASSERT_EQ(-1, zoomFlag);
    clickOn(REST_BUTTON);
    EXPECT_EQ(0, zoomFlag) << "the Reset press went on to the pivot pick";
    EXPECT_DOUBLE_EQ((REST_BUTTON.x + 35 - MAIN_WINDOW.left) * (10.0 / GRID_SIZE) - 5.0, xPivot);
}

TEST_F(Dispatch, RefusedTypeAndResetEndTheDispatch) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    ASSERT_EQ(1, lockMenu);
    clickOn(TYPE_BUTTON);
    clickOn(REST_BUTTON);
    EXPECT_EQ(1, zoomFlag) << "no corner taken";
    EXPECT_EQ(0, fType);
}

TEST_F(Dispatch, HiddenGatedButtonsDoNothingDuringASelection) {
    showPatternImage();
    for (int flag : {1, -1}) {
        clickOn(flag == 1 ? ZOMI_BUTTON : PIVT_BUTTON);
        ASSERT_EQ(flag, zoomFlag);
        ASSERT_EQ(1, lockMenu);
        const BUTTON *gated[] = {&MAKE_BUTTON, &SAVE_BUTTON, &EXPT_BUTTON, &PALR_BUTTON,
                                 &PALG_BUTTON, &PALB_BUTTON, &TYPE_BUTTON, &DETP_BUTTON,
                                 &DETM_BUTTON, &ZOMI_BUTTON, &ZOMO_BUTTON, &PIVT_BUTTON,
                                 &REST_BUTTON};
        for (const BUTTON *b : gated) expectPressIgnored(*b, b->label);
        EXPECT_EQ(flag, zoomFlag) << "the selection stays armed";

        clickOn(EXIT_BUTTON);
        EXPECT_EQ(1, exitRequests) << "Exit acts during a selection";
        EXPECT_EQ(flag, zoomFlag) << "and its press is no pick";
        exitRequests = 0;

        clickAt(MAIN_WINDOW.left + 300, MAIN_WINDOW.top - 300);
        EXPECT_EQ(0, zoomFlag);
        EXPECT_EQ(0, lockMenu);
    }
}

TEST_F(Dispatch, ExitActsDuringAFileDialogWithoutSaving) {
    showPatternImage();
    clickOn(SAVE_BUTTON);
    ASSERT_EQ(-1, scanFlag);
    ASSERT_EQ(1, lockMenu);
    const long presents = gfxPresentCount();
    clickOn(EXIT_BUTTON);
    EXPECT_EQ(1, exitRequests);
    EXPECT_GT(gfxPresentCount(), presents) << "the click is animated";
    EXPECT_EQ(0, system("test -z \"$(ls -A)\"")) << "nothing was written";
}

}  // namespace
