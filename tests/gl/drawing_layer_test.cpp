// What the X server shows, compared with what the program drew: the whole
// picture after every operation, rows while a computation draws them, a
// front-only outline until the next swap, and the picture again after an
// expose. screen() grabs the window from the X server (after glFinish).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <time.h>
#include <unistd.h>

#include <random>

#include "app/app_state.h"
#include "app/layout.h"
#include "colour/display.h"
#include "core/state.h"
#include "gl_harness.h"
#include "widget_pictures.h"
#include "widgets/button.h"
#include "widgets/gfx.h"

using namespace pictures;

namespace {

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void fillGrid(unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < GRID_CELLS; ++i) fractal[i] = (unsigned char)(random() | 1);  // never black
}

// A line along a pixel boundary lights the row or column on one side of it,
// as the rasteriser's rule decides: look at both.
bool whiteAround(const Image &img, int X, int Y) {
    for (int dx = -1; dx <= 0; ++dx)
        for (int dy = -1; dy <= 0; ++dy)
            if (img.at(X + dx, Y + dy) == WHITE) return true;
    return false;
}

long differing(const Image &a, const Image &b) {
    return compareRegion(a, b, 0, 0, a.width, a.height, "").bad;
}

// The zoom rubber band's way of drawing: a line-mode rectangle into the front.
void frontOutline(int x0, int y0, int x1, int y1) {
    gfxDrawBuffer(GL_FRONT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex2i(x0, y0);
    glVertex2i(x1, y0);
    glVertex2i(x1, y1);
    glVertex2i(x0, y1);
    glEnd();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gfxSwapBuffers();
    gfxFlush();
}

// Another top-level window over the program's, then gone again.
void coverAndUncover() {
    Display *dpy = driver().display();
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(dpy, driver().window(), DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child);
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(dpy, DefaultScreen(dpy));
    Window cover = XCreateWindow(dpy, DefaultRootWindow(dpy), rx + 100, ry + 100, 600, 500, 0,
                                 CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(dpy, cover);
    XSync(dpy, False);
    pumpEvents(150);
    XDestroyWindow(dpy, cover);
    XSync(dpy, False);
    pumpEvents(200);
}

class DrawingLayerTest : public testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        clickFlashMicroseconds = 1000;
        fillGrid(3);
    }
    void TearDown() override {
        clickFlashMicroseconds = 50000;
        glPointSize(1.0);
        restoreStartState();
    }

    // The screen shows exactly the back buffer's picture, and so does the front.
    static void expectScreenShowsThePicture(const char *after) {
        const Image back = backBuffer();
        EXPECT_EQ(comparePictures(std::string("screen-after-") + after, back, screen()), 0) << after;
        EXPECT_EQ(comparePictures(std::string("front-after-") + after, back, frontBuffer()), 0)
            << after;
    }
};

TEST_F(DrawingLayerTest, AfterEveryOperationTheScreenShowsTheWholePicture) {
    expectScreenShowsThePicture("first display");
    MAIN_WINDOW.CLEAR();
    expectScreenShowsThePicture("CLEAR");
    DISPLAY_FRACTAL(MAIN_WINDOW);
    expectScreenShowsThePicture("DISPLAY_FRACTAL");
    MAKE_BUTTON.CLICK();
    expectScreenShowsThePicture("CLICK");
    HIDE_COMMAND_BUTTONS();
    expectScreenShowsThePicture("HIDE_COMMAND_BUTTONS");
    SHOW_SAVE_BUTTONS();
    expectScreenShowsThePicture("SHOW_SAVE_BUTTONS");
    xStart = -1.25;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 3);
    expectScreenShowsThePicture("DISPLAY_FRACTAL_DATA");
    FILE_WINDOW.CLEAR();
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_WHITE(15, 475, "name.frc");
    gfxSwapBuffers();
    expectScreenShowsThePicture("text and a swap");
    SHOW_COMMAND_BUTTONS();
    expectScreenShowsThePicture("SHOW_COMMAND_BUTTONS");
}

TEST_F(DrawingLayerTest, BackBufferDrawingIsShownOnlyByTheSwap) {
    const Image shown = screen();
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_RED(300, 400, "not yet");
    gfxFlush();
    EXPECT_EQ(comparePictures("back-unswapped", shown, screen()), 0);
    gfxSwapBuffers();
    EXPECT_GT(differing(shown, screen()), 0);
    expectScreenShowsThePicture("the swap");
}

TEST_F(DrawingLayerTest, SwapsCopyAndLeaveTheBackAsItWas) {
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_RED(300, 400, "kept");
    const Image back = backBuffer();
    for (int i = 0; i < 3; ++i) gfxSwapBuffers();
    EXPECT_EQ(comparePictures("swap-keeps-back", back, backBuffer()), 0);
    expectScreenShowsThePicture("three swaps");
}

TEST_F(DrawingLayerTest, SelectionsReachExactlyTheirBuffers) {
    const Image start = backBuffer();
    gfxDrawBuffer(GL_FRONT);
    EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_FRONT);
    TEXT_8_X_13_RED(300, 400, "front");
    EXPECT_EQ(differing(start, backBuffer()), 0);
    EXPECT_GT(differing(start, frontBuffer()), 0);

    restoreStartState();
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_RED(300, 400, "back");
    EXPECT_GT(differing(start, backBuffer()), 0);
    EXPECT_EQ(differing(start, frontBuffer()), 0);

    restoreStartState();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_FRONT_AND_BACK);
    TEXT_8_X_13_RED(300, 400, "both");
    fillQuad(0, 1, 0, 600, 100, 700, 100, 700, 200, 600, 200);  // selects the back
    EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_BACK);
    const Image back = backBuffer(), front = frontBuffer();
    EXPECT_EQ(back.at(650, 150), (Rgb{0, 255, 0}));
    EXPECT_EQ(front.at(650, 150), BLACK);
    EXPECT_EQ(compareRegion(back, front, 290, 390, 400, 420, "text in both").bad, 0);
}

TEST_F(DrawingLayerTest, RowsOfAComputationAppearWithTheRestOfTheWindow) {
    MAIN_WINDOW.CLEAR();
    const Image before = screen();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    for (int r = 0; r < 400; ++r) DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
    gfxFlush();
    const Image shown = screen();
    // The upper half of the image panel holds the rows, the lower half is
    // still black, and everything outside the panel is as it was.
    EXPECT_EQ(comparePictures("rows-half-screen", backBuffer(), shown), 0);
    Tally lower = checkFilled(shown, 185, 10, 989, 410, BLACK, "rows not drawn yet");
    EXPECT_EQ(lower.bad, 0) << lower.why;
    for (int r : {0, 200, 398})
        EXPECT_NE(shown.at(400, 811 - r), BLACK) << "row " << r << " on screen";
    Image outside = shown, outsideBefore = before;
    fillRect(outside, 185, 10, 989, 814, BLACK);
    fillRect(outsideBefore, 185, 10, 989, 814, BLACK);
    EXPECT_EQ(comparePictures("rows-rest-of-window", outsideBefore, outside), 0);
}

TEST_F(DrawingLayerTest, SlowRowsAreShownAsEachIsDrawnWithoutWaitingForTheEnd) {
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    for (int r = 0; r < 6; ++r) {
        usleep(25000);  // a row that took longer than the presenting interval
        DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
        const Image shown = screen();
        EXPECT_NE(shown.at(400, 811 - r), BLACK) << "row " << r << " shown before the end";
        EXPECT_EQ(shown.at(400, 805 - r), BLACK) << "row " << r + 6 << " is not drawn yet";
    }
}

TEST_F(DrawingLayerTest, FastRowsArePresentedAtMostOncePerFrameInterval) {
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    const long before = gfxPresentCount();
    const double start = nowMs();
    for (int r = 0; r < GRID_SIZE; ++r) DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
    const double elapsed = nowMs() - start;
    const long during = gfxPresentCount() - before;
    EXPECT_LE(during, (long)(elapsed / 16.0) + 1) << elapsed << " ms";
    gfxFlush();
    const long atEnd = gfxPresentCount() - before;
    EXPECT_LE(atEnd, during + 1);
    expectScreenShowsThePicture("800 rows and the flush");
    gfxFlush();
    EXPECT_EQ(gfxPresentCount() - before, atEnd) << "nothing new, no present";
}

TEST_F(DrawingLayerTest, ARowHeldBackByTheIntervalIsShownByAWaitingLoop) {
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    usleep(20000);
    const double start = nowMs();
    DISPLAY_FRACTAL_ROW(0, MAIN_WINDOW);  // presented: the interval had passed
    DISPLAY_FRACTAL_ROW(1, MAIN_WINDOW);  // held: too soon after
    const long presents = gfxPresentCount();
    gfxPresentIfDue();
    if (nowMs() - start < 10) {  // not stalled by the scheduler meanwhile
        EXPECT_EQ(gfxPresentCount(), presents) << "not yet due";
        EXPECT_EQ(screen().at(400, 809), BLACK) << "row 1 (y 809..810) not shown yet";
    }
    // A worker is still busy with row 2; the loop waiting for it presents.
    usleep(20000);
    gfxPresentIfDue();
    EXPECT_GE(gfxPresentCount(), presents + 1);
    EXPECT_NE(screen().at(400, 809), BLACK) << "row 1 shown while row 2 is computed";
    const long shown = gfxPresentCount();
    usleep(20000);
    gfxPresentIfDue();
    EXPECT_EQ(gfxPresentCount(), shown) << "nothing unseen, nothing presented";
}

TEST_F(DrawingLayerTest, FrontOnlyOutlineStaysVisibleUntilTheNextSwap) {
    const Image picture = backBuffer();
    frontOutline(300, 300, 500, 450);
    Image shown = screen();
    EXPECT_TRUE(whiteAround(shown, 400, 300));
    EXPECT_TRUE(whiteAround(shown, 400, 450));
    EXPECT_TRUE(whiteAround(shown, 500, 375));
    EXPECT_TRUE(whiteAround(shown, 300, 375));
    EXPECT_EQ(comparePictures("outline-back-untouched", picture, backBuffer()), 0);
    // The outline is drawn over the picture, not over a blank window.
    Image withoutOutline = shown;
    for (int X = 299; X <= 501; ++X)
        for (int Y = 299; Y <= 451; ++Y) setAt(withoutOutline, X, Y, picture.at(X, Y));
    EXPECT_EQ(comparePictures("outline-over-picture", picture, withoutOutline), 0);

    pumpEvents(100);  // idle time does not take it away
    EXPECT_TRUE(whiteAround(screen(), 400, 450));

    // A second outline replaces the first (the rubber band follows the pointer).
    frontOutline(320, 320, 600, 600);
    shown = screen();
    EXPECT_TRUE(whiteAround(shown, 600, 500));
    EXPECT_FALSE(whiteAround(shown, 400, 450)) << "the first outline is gone";

    // The next swap shows the back's picture again.
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 3);
    expectScreenShowsThePicture("the swap after an outline");
}

TEST_F(DrawingLayerTest, AnExposeBringsThePictureBack) {
    MAIN_WINDOW.CLEAR();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    const Image picture = backBuffer();
    driver().unmapAndMap();
    pumpEvents(300);
    EXPECT_EQ(comparePictures("expose-unmap-map", picture, screen()), 0);
    coverAndUncover();
    EXPECT_EQ(comparePictures("expose-covered", picture, screen()), 0);
    EXPECT_EQ(comparePictures("expose-back", picture, backBuffer()), 0) << "not redrawn";
}

TEST_F(DrawingLayerTest, AnExposeDuringAnOutlineShowsThePicture) {
    const Image picture = backBuffer();
    frontOutline(300, 300, 500, 450);
    coverAndUncover();
    EXPECT_EQ(comparePictures("expose-after-outline", picture, screen()), 0);
}

TEST_F(DrawingLayerTest, ClickReadsTheBackPictureWhileAnOutlineIsShown) {
    const Image picture = backBuffer();
    frontOutline(5, 760, 90, 800);  // across the Make button, in the front only
    MAKE_BUTTON.CLICK();
    EXPECT_EQ(comparePictures("click-under-outline", picture, backBuffer()), 0);
    expectScreenShowsThePicture("CLICK after an outline");
}

TEST_F(DrawingLayerTest, ScissorAndPointStateDoNotReachThePresenting) {
    const Image picture = backBuffer();
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 20, 20);
    gfxSwapBuffers();
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), GL_FALSE);
    EXPECT_EQ(comparePictures("scissor-present", picture, screen()), 0);
    glPointSize(2.0);
    gfxSwapBuffers();
    EXPECT_EQ(comparePictures("point-size-present", picture, screen()), 0);
}

TEST_F(DrawingLayerTest, TheLayerLeavesNoGlError) {
    while (glGetError() != GL_NO_ERROR) {
    }
    frontOutline(300, 300, 500, 450);
    MAKE_BUTTON.CLICK();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    DISPLAY_FRACTAL_ROW(0, MAIN_WINDOW);
    gfxFlush();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    Image front = frontBuffer();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
