// Zoom rectangle, Zoom Out and the pivot pick, driven in-process through
// the program's own mouse and motion callbacks.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <vector>

#include "app/app_state.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/kernels.h"
#include "core/state.h"
#include "files/paramfile.h"
#include "gl_harness.h"
#include "widgets/button.h"
#include "widgets/gfx.h"

namespace {

const Rgb GREY = {128, 128, 128};
const Rgb WHITE = {255, 255, 255};
const Rgb FACE_GREY = {153, 153, 153};
const Rgb MAGENTA = {255, 0, 255};
const int LINE_DROP[9] = {0, 20, 40, 60, 75, 90, 110, 125, 145};

void pressAt(int X, int Y, int button = GLUT_LEFT_BUTTON) {
    myMouse(button, GLUT_DOWN, X, winHeight - Y);
}
void releaseAt(int X, int Y, int button = GLUT_LEFT_BUTTON) {
    myMouse(button, GLUT_UP, X, winHeight - Y);
}
void moveTo(int X, int Y) { myMovingMouse(X, winHeight - Y); }
void clickAt(int X, int Y) {
    pressAt(X, Y);
    releaseAt(X, Y);
}
void clickOn(const BUTTON &b) { clickAt(b.x + 35, b.y + 10); }

void drag(int X0, int Y0, int X1, int Y1) {
    pressAt(X0, Y0);
    for (int s = 1; s <= 4; ++s) moveTo(X0 + (X1 - X0) * s / 4, Y0 + (Y1 - Y0) * s / 4);
    releaseAt(X1, Y1);
}

// The plane point of a window point through a view of the whole grid, the
// mapping written out independently of the program's code.
double mapX(int X, double start, double scale) { return (double)(X - 185) * scale + start; }
double mapY(int Y, double start, double scale) { return (double)(814 - Y) * scale + start; }
const double DEFAULT_SCALE = 10.0 / 800;

void mark(int X, int Y) {
    fillQuad(1, 0, 1, X, Y + 1, X + 1, Y + 1, X + 1, Y, X, Y);
    gfxSwapBuffers();
}
int markY(int line) { return DATA_WINDOW.top - LINE_DROP[line] + 5; }
void markReadout() {
    for (int line = 1; line <= 8; ++line) mark(DATA_WINDOW.right - 2, markY(line));
}
std::vector<int> redrawnLines() {
    const Image back = backBuffer();
    std::vector<int> lines;
    for (int line = 1; line <= 8; ++line)
        if (back.at(DATA_WINDOW.right - 2, markY(line)) != MAGENTA) lines.push_back(line);
    return lines;
}

Rgb makeFace() { return backBuffer().at(MAKE_BUTTON.x + 6, MAKE_BUTTON.y + 10); }

// Pixels of the label colour on a button face: none when it is hidden.
int labelPixels(const Image &im, const BUTTON &b, Rgb colour) {
    int n = 0;
    for (int Y = b.y + 3; Y < b.y + 18; ++Y)
        for (int X = b.x + 3; X < b.x + 68; ++X) n += im.at(X, Y) == colour;
    return n;
}

int cursor() { return glutGet(GLUT_WINDOW_CURSOR); }

void showPatternImage() {
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) fractal[GRID_SIZE * r + c] = (unsigned char)(c ^ r);
    noFractal = 0;
    DISPLAY_FRACTAL(MAIN_WINDOW);
    rememberShownView();
}

// Pixels of the image panel that differ between two pictures.
struct PanelDiff {
    std::vector<std::pair<int, int>> at;
    bool allGrey = true;
};
PanelDiff panelDiff(const Image &before, const Image &after) {
    PanelDiff d;
    for (int Y = MAIN_WINDOW.bottom; Y < MAIN_WINDOW.top; ++Y)
        for (int X = MAIN_WINDOW.left; X < MAIN_WINDOW.right; ++X)
            if (before.at(X, Y) != after.at(X, Y)) {
                d.at.push_back({X, Y});
                d.allGrey = d.allGrey && after.at(X, Y) == GREY;
            }
    return d;
}
bool nearEdge(int X, int Y, int x0, int y0, int x1, int y1) {
    const int left = std::min(x0, x1), right = std::max(x0, x1);
    const int bottom = std::min(y0, y1), top = std::max(y0, y1);
    const bool inX = left - 1 <= X && X <= right + 1, inY = bottom - 1 <= Y && Y <= top + 1;
    const bool onVertical = inY && (std::abs(X - left) <= 1 || std::abs(X - right) <= 1);
    const bool onHorizontal = inX && (std::abs(Y - bottom) <= 1 || std::abs(Y - top) <= 1);
    return onVertical || onHorizontal;
}
// An outline from (x0, y0) to (x1, y1) and nothing else changed the panel.
void expectOnlyOutline(const Image &before, const Image &after, int x0, int y0, int x1, int y1) {
    const PanelDiff d = panelDiff(before, after);
    EXPECT_TRUE(d.allGrey);
    EXPECT_GE(d.at.size(), 2u * (std::abs(x1 - x0) + std::abs(y1 - y0)) - 8);
    for (auto p : d.at) {
        ASSERT_TRUE(nearEdge(p.first, p.second, x0, y0, x1, y1))
            << "changed pixel off the outline at (" << p.first << ", " << p.second << ")";
    }
}

class Zoom : public ::testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        clickFlashMicroseconds = 1000;
        xe = ye = 0;
    }
};

TEST_F(Zoom, ZoomInLocksHidesAndShowsTheCrosshair) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    EXPECT_EQ(1, zoomFlag);
    EXPECT_EQ(1, lockMenu);
    EXPECT_EQ(GLUT_CURSOR_CROSSHAIR, cursor());
    const Image back = backBuffer();
    for (const BUTTON *b : {&MAKE_BUTTON, &LOAD_BUTTON, &TYPE_BUTTON, &ZOMI_BUTTON, &REST_BUTTON})
        EXPECT_EQ(0, labelPixels(back, *b, WHITE)) << b->label << " hidden";
    for (const BUTTON *b : {&PALR_BUTTON, &PALG_BUTTON, &PALB_BUTTON})
        EXPECT_GT(labelPixels(back, *b, WHITE), 0) << b->label << " shown";
}

TEST_F(Zoom, TopLeftToBottomRightGivesOrderedEdges) {
    showPatternImage();
    const std::vector<unsigned char> grid(fractal, fractal + GRID_CELLS);
    clickOn(ZOMI_BUTTON);
    markReadout();
    const Image before = backBuffer();

    pressAt(300, 700);
    EXPECT_EQ(2, zoomFlag);
    EXPECT_EQ(GLUT_CURSOR_NONE, cursor());
    moveTo(500, 550);
    moveTo(600, 400);
    releaseAt(600, 400);

    EXPECT_EQ(mapX(300, -5.0, DEFAULT_SCALE), xStart);
    EXPECT_EQ(mapY(700, -5.0, DEFAULT_SCALE), yStart);
    EXPECT_EQ(mapX(600, -5.0, DEFAULT_SCALE), xEnd);
    EXPECT_EQ(mapY(400, -5.0, DEFAULT_SCALE), yEnd);
    EXPECT_LT(xStart, xEnd);
    EXPECT_LT(yStart, yEnd);
    EXPECT_EQ(DEFAULT_SCALE, xScale) << "the scales wait for the next Make";

    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(GLUT_CURSOR_INFO, cursor());
    EXPECT_EQ((std::vector<int>{3, 4, 6, 7}), redrawnLines());
    EXPECT_EQ(WHITE, makeFace()) << "the Make cue";
    const Image after = backBuffer();
    EXPECT_GT(labelPixels(after, LOAD_BUTTON, WHITE), 0) << "buttons shown again";
    EXPECT_TRUE(std::equal(grid.begin(), grid.end(), fractal)) << "nothing computed";
    expectOnlyOutline(before, after, 300, 700, 600, 400);
}

TEST_F(Zoom, ReverseDragStoresTheCornersAsPressed) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    drag(700, 200, 250, 750);
    EXPECT_GT(xStart, xEnd);
    EXPECT_GT(yStart, yEnd);
    EXPECT_EQ(mapX(700, -5.0, DEFAULT_SCALE), xStart);
    EXPECT_EQ(mapY(750, -5.0, DEFAULT_SCALE), yEnd);
}

TEST_F(Zoom, FinalOutlineUsesTheLastMotionCornerAndIsNeverFilled) {
    showPatternImage();
    // Up and to the left: this outline winds clockwise.
    clickOn(ZOMI_BUTTON);
    Image before = backBuffer();
    pressAt(700, 300);
    moveTo(400, 600);
    releaseAt(390, 610);
    expectOnlyOutline(before, backBuffer(), 700, 300, 400, 600);
    EXPECT_EQ(mapX(390, -5.0, DEFAULT_SCALE), xEnd) << "the view takes the release point";

    // No motion at all on the very first drag: the stale corner is the origin.
    restoreStartState();
    showPatternImage();
    xe = ye = 0;
    clickOn(ZOMI_BUTTON);
    before = backBuffer();
    clickAt(600, 400);
    const Image after = backBuffer();
    EXPECT_EQ(before.at(400, 200), after.at(400, 200)) << "inside the outline: not filled";
    EXPECT_EQ(before.at(190, 20), after.at(190, 20));
    int grey = 0;
    for (int Y = 398; Y <= 402; ++Y) grey += after.at(400, Y) == GREY;
    EXPECT_GT(grey, 0) << "the top edge is drawn";
}

TEST_F(Zoom, ReleaseOutsideThePanelCompletes) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    drag(400, 600, 60, 90);  // ends in the "Parameters" panel
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(mapX(60, -5.0, DEFAULT_SCALE), xEnd);
    EXPECT_LT(xEnd, -5.0);
    EXPECT_EQ(mapY(90, -5.0, DEFAULT_SCALE), yEnd);
}

TEST_F(Zoom, PressInTheParametersPanelIsAFirstCorner) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    pressAt(100, 100);
    EXPECT_EQ(2, zoomFlag);
    EXPECT_EQ(100, xs);
    EXPECT_EQ(mapX(100, -5.0, DEFAULT_SCALE), xTemp);
    EXPECT_LT(xTemp, -5.0);
    releaseAt(500, 500);
    EXPECT_EQ(0, zoomFlag);
}

TEST_F(Zoom, OtherEventsLeaveTheSelectionAlone) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    releaseAt(400, 400);
    pressAt(400, 400, GLUT_RIGHT_BUTTON);
    EXPECT_EQ(1, zoomFlag);
    pressAt(400, 400);
    pressAt(450, 450);  // a second press while dragging
    releaseAt(450, 450, GLUT_MIDDLE_BUTTON);
    EXPECT_EQ(2, zoomFlag);
    EXPECT_EQ(400, xs);
    releaseAt(500, 300);
    EXPECT_EQ(0, zoomFlag);

    const long presents = gfxPresentCount();
    const int oldXe = xe;
    moveTo(700, 700);
    EXPECT_EQ(oldXe, xe) << "motion outside a drag draws nothing";
    EXPECT_EQ(presents, gfxPresentCount());
}

TEST_F(Zoom, ZeroSizeViewIsAcceptedByMake) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    clickAt(587, 411);
    EXPECT_EQ(xStart, xEnd);
    EXPECT_EQ(yStart, yEnd);
    clickOn(MAKE_BUTTON);
    EXPECT_EQ(0.0, xScale);
    EXPECT_EQ(0.0, yScale);
    for (int cell = 1; cell < GRID_CELLS; ++cell) ASSERT_EQ(fractal[0], fractal[cell]) << cell;
}

TEST_F(Zoom, ZoomOutRestoresTheDefaultViewExactly) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    drag(250, 700, 650, 300);
    clickOn(MAKE_BUTTON);
    clickOn(ZOMI_BUTTON);
    drag(300, 600, 500, 350);
    fracWidth = 640;  // as after loading a smaller picture
    fracHeight = 480;
    xPivot = 0.5;
    detail = 300;
    markReadout();
    clickOn(ZOMO_BUTTON);
    EXPECT_EQ(-5.0, xStart);
    EXPECT_EQ(5.0, xEnd);
    EXPECT_EQ(-5.0, yStart);
    EXPECT_EQ(5.0, yEnd);
    EXPECT_EQ(10.0 / 640, xScale);
    EXPECT_EQ(10.0 / 480, yScale);
    EXPECT_EQ(0.5, xPivot);
    EXPECT_EQ(300, detail);
    EXPECT_EQ(0, lockMenu) << "Zoom Out is no mode";
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ((std::vector<int>{3, 4, 6, 7}), redrawnLines());
    EXPECT_EQ(WHITE, makeFace());
}

TEST_F(Zoom, NextMakeSpansExactlyThePickedView) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    drag(250, 700, 650, 380);
    const double x0 = xStart, x1 = xEnd, y0 = yStart, y1 = yEnd;
    clickOn(MAKE_BUTTON);
    EXPECT_EQ(FACE_GREY, makeFace());
    EXPECT_EQ((x1 - x0) / 800, xScale);
    EXPECT_EQ((y1 - y0) / 800, yScale);
    const KernelView view = {800, detail, x0, (x1 - x0) / 800, y0, (y1 - y0) / 800, 0.0, 0.0};
    std::vector<unsigned char> row(800);
    for (int r : {0, 137, 400, 799}) {
        computeRowScalar(MANDELBROT_TYPE, view, r, row.data());
        EXPECT_TRUE(std::equal(row.begin(), row.end(), fractal + GRID_SIZE * r)) << "row " << r;
    }
}

TEST_F(Zoom, PivotAtTheDefaultView) {
    showPatternImage();
    markReadout();
    clickOn(PIVT_BUTTON);
    EXPECT_EQ(-1, zoomFlag);
    EXPECT_EQ(1, lockMenu);
    EXPECT_EQ(GLUT_CURSOR_CROSSHAIR, cursor());
    const Image before = backBuffer();
    pressAt(587, 411);
    EXPECT_NEAR(0.025, xPivot, 1e-12);
    EXPECT_NEAR(0.0375, yPivot, 1e-12);
    EXPECT_EQ(mapX(587, -5.0, DEFAULT_SCALE), xPivot);
    EXPECT_EQ(mapY(411, -5.0, DEFAULT_SCALE), yPivot);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(GLUT_CURSOR_INFO, cursor());
    EXPECT_EQ((std::vector<int>{5, 8}), redrawnLines());
    EXPECT_EQ(FACE_GREY, makeFace()) << "no Make cue after a pivot pick";
    releaseAt(587, 411);

    // The marker: a 10 x 10 grey square centred on the point, nothing else.
    const Image after = backBuffer();
    for (int Y = 406; Y < 416; ++Y)
        for (int X = 582; X < 592; ++X) ASSERT_EQ(GREY, after.at(X, Y)) << X << ", " << Y;
    const PanelDiff d = panelDiff(before, after);
    EXPECT_TRUE(d.allGrey);
    for (auto p : d.at) {
        EXPECT_TRUE(582 <= p.first && p.first < 592 && 406 <= p.second && p.second < 416)
            << p.first << ", " << p.second;
    }
}

TEST_F(Zoom, PicksBeforeTheNextMakeMapThroughTheImageOnTheScreen) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    drag(385, 614, 785, 214);  // the middle half of each axis
    ASSERT_EQ(mapX(385, -5.0, DEFAULT_SCALE), xStart);
    ASSERT_EQ(mapY(614, -5.0, DEFAULT_SCALE), yStart);

    // No Make yet: the screen still shows the -5..5 image.
    clickOn(ZOMI_BUTTON);
    drag(285, 714, 685, 314);
    EXPECT_EQ(mapX(285, -5.0, DEFAULT_SCALE), xStart);
    EXPECT_EQ(mapY(714, -5.0, DEFAULT_SCALE), yStart);
    EXPECT_EQ(mapX(685, -5.0, DEFAULT_SCALE), xEnd);
    EXPECT_EQ(mapY(314, -5.0, DEFAULT_SCALE), yEnd);

    clickOn(PIVT_BUTTON);
    pressAt(587, 411);
    EXPECT_EQ(mapX(587, -5.0, DEFAULT_SCALE), xPivot) << "where the user clicked on the image";
    EXPECT_EQ(mapY(411, -5.0, DEFAULT_SCALE), yPivot);
    releaseAt(587, 411);

    // After Zoom Out the old image is still the one on the screen.
    clickOn(ZOMO_BUTTON);
    clickOn(PIVT_BUTTON);
    clickAt(385, 614);
    EXPECT_EQ(mapX(385, -5.0, DEFAULT_SCALE), xPivot);

    // A Make puts the new view on the screen; picks follow it.
    clickOn(ZOMI_BUTTON);
    drag(385, 614, 785, 214);
    const double x0 = xStart, y0 = yStart, sx = (xEnd - xStart) / 800, sy = (yEnd - yStart) / 800;
    clickOn(MAKE_BUTTON);
    clickOn(PIVT_BUTTON);
    clickAt(185, 814);  // the panel's top-left corner is the view's first corner
    EXPECT_EQ(x0, xPivot);
    EXPECT_EQ(y0, yPivot);
    clickOn(PIVT_BUTTON);
    clickAt(485, 514);
    EXPECT_EQ(mapX(485, x0, sx), xPivot);
    EXPECT_EQ(mapY(514, y0, sy), yPivot);
    EXPECT_NEAR(-2.5 + 300 * 5.0 / 800, xPivot, 1e-12);
}

TEST_F(Zoom, PicksAfterALoadMapThroughTheLoadedView) {
    char dir[] = "/tmp/quorvex-zoom-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    char oldDir[4096];
    ASSERT_NE(nullptr, getcwd(oldDir, sizeof oldDir));
    ASSERT_EQ(0, chdir(dir));
    showPatternImage();
    xStart = -1.0, xEnd = 1.0, yStart = 0.5, yEnd = 2.5;
    const bool saved = SAVE_FRACTAL((char *)"view.frc") == 1;
    restoreStartState();
    showPatternImage();
    if (saved) {
        clickOn(LOAD_BUTTON);
        clickAt(50, FILE_WINDOW.top - 15);  // list row 0
    }
    remove("view.frc");
    EXPECT_EQ(0, chdir(oldDir));
    rmdir(dir);
    ASSERT_TRUE(saved) << fileError;
    ASSERT_EQ(-1.0, xStart) << "loaded";

    clickOn(PIVT_BUTTON);
    clickAt(485, 514);
    EXPECT_EQ(mapX(485, -1.0, 2.0 / 800), xPivot);
    EXPECT_EQ(mapY(514, 0.5, 2.0 / 800), yPivot);
}

TEST_F(Zoom, RubberBandIsOnTheScreenDuringTheDrag) {
    showPatternImage();
    clickOn(ZOMI_BUTTON);
    const Image back = backBuffer();
    pressAt(300, 700);
    moveTo(450, 600);
    moveTo(520, 500);
    const Image shown = screen();
    EXPECT_EQ(520, xe);
    EXPECT_EQ(500, ye);
    // A line on a pixel edge lands on the row at either side of it.
    auto greyRowNear = [&](int X, int Y) {
        return shown.at(X, Y - 1) == GREY || shown.at(X, Y) == GREY || shown.at(X, Y + 1) == GREY;
    };
    int top = 0, bottom = 0;
    for (int X = 310; X < 510; ++X) {
        top += greyRowNear(X, 700);
        bottom += greyRowNear(X, 500);
    }
    EXPECT_EQ(200, top) << "the outline from the corner to the pointer is shown";
    EXPECT_EQ(200, bottom);
    EXPECT_EQ(back.at(400, 600), shown.at(400, 600)) << "the image shows inside the band";
    EXPECT_EQ(0, comparePictures("rubber-band-back", back, backBuffer()))
        << "the band is not part of the window picture";
    releaseAt(520, 500);
}

TEST_F(Zoom, ZoomAndPivotNeedAnImageAndAFreeMenu) {
    const long presents = gfxPresentCount();
    clickOn(ZOMI_BUTTON);
    clickOn(ZOMO_BUTTON);
    clickOn(PIVT_BUTTON);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(presents, gfxPresentCount());

    showPatternImage();
    lockMenu = 1;
    xStart = 1.0;
    const long later = gfxPresentCount();
    clickOn(ZOMI_BUTTON);
    clickOn(ZOMO_BUTTON);
    clickOn(PIVT_BUTTON);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(1.0, xStart);
    EXPECT_EQ(later, gfxPresentCount());
}

}  // namespace
