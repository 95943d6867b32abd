// The commands with real input: the quorvex binary in a private X server,
// driven through XTest, checked on what the X server shows.
//
// Expected images are built here from the kernels and the palette of the
// core library, so a picture on the screen is compared pixel for pixel with
// the grid the picked view must give.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>
#include <vector>

#include "colour/palette.h"
#include "core/kernels.h"
#include "e2e_session.h"
#include "image.h"

namespace {

// Window layout at the default size (995 x 820).
const int PANEL_LEFT = 185, PANEL_TOP = 814;
struct Spot {
    int X, Y;
};
const Spot MAKE = {45, 780}, TYPE = {140, 780}, DETAIL_PLUS = {140, 755}, ZOOM_IN = {140, 705},
           PIVOT = {140, 655}, EXIT = {140, 605};
const Rgb WHITE = {255, 255, 255}, FACE_GREY = {153, 153, 153}, GREY = {128, 128, 128};
const double DEFAULT_SCALE = 10.0 / 800;

double mapX(int X) { return (double)(X - PANEL_LEFT) * DEFAULT_SCALE - 5.0; }
double mapY(int Y) { return (double)(PANEL_TOP - Y) * DEFAULT_SCALE - 5.0; }

KernelView defaultView(int detail) {
    return KernelView{800, detail, -5.0, DEFAULT_SCALE, -5.0, DEFAULT_SCALE, 0.0, 0.0};
}

// The image panel as the program must draw it: cell (r, c) shows at
// (left + 1 + c, top - 3 - r), coloured through the start-up palette.
Image expectedPicture(int type, const KernelView &view) {
    srand(1959);  // the program's seed, for the random ramp
    DISPLAY_PALLETE_CREATE();
    DISPLAY_PALLETE_APPLY();
    Image im(800, 800);
    std::vector<unsigned char> row(800);
    for (int r = 0; r < 800; ++r) {
        computeRowScalar(type, view, r, row.data());
        for (int c = 0; c < 800; ++c) {
            const unsigned char v = row[c];
            im.setTop(c, r, Rgb{PaletteR[v], PaletteG[v], PaletteB[v]});
        }
    }
    return im;
}

Image imageOnScreen(const Image &window) {
    return window.region(PANEL_LEFT + 1, PANEL_TOP - 3 - 799, 800, 800);
}

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir("commands");
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(s.start({}, dir)) << "the program did not show its window";
    }
    void TearDown() override {
        s.stop();
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
    }

    void click(Spot p) {
        s.x.click(p.X, p.Y);
        s.x.settle(150);
    }
    Image shot() {
        s.x.settle(100);
        return s.x.grab();
    }
    // Waits for a Make to finish drawing `expected`, then compares fully.
    void expectPicture(const std::string &name, const Image &expected, int timeoutMs = 20000) {
        Image actual;
        for (const double end = nowMs() + timeoutMs; nowMs() < end;) {
            actual = imageOnScreen(shot());
            if (actual.rgb == expected.rgb) break;
        }
        EXPECT_EQ(0, comparePictures(name, expected, actual));
    }
    Rgb makeFace() { return shot().at(16, 780); }
    // A readout line's strip in the "Parameters" panel.
    Image readoutLine(int baseline) { return shot().region(10, baseline - 4, 165, 16); }

    void exitWithStatusZero() {
        s.x.click(EXIT.X, EXIT.Y);
        EXPECT_EQ(0, s.waitExit(5000));
    }

    E2eSession s;
    std::string dir;
};

TEST_F(Commands, MakeTypeDetailAndExit) {
    click(MAKE);
    expectPicture("make-mandelbrot", expectedPicture(MANDELBROT_TYPE, defaultView(50)));

    const Image typeLine = readoutLine(140);
    click(TYPE);
    EXPECT_NE(typeLine.rgb, readoutLine(140).rgb) << "Type shows the next name";
    for (int i = 0; i < 9; ++i) click(TYPE);
    EXPECT_EQ(typeLine.rgb, readoutLine(140).rgb) << "ten presses come back to Mandelbrot";

    const Image detailLine = readoutLine(120);
    EXPECT_EQ(FACE_GREY, makeFace());
    click(DETAIL_PLUS);
    EXPECT_NE(detailLine.rgb, readoutLine(120).rgb) << "Detail+ shows the new detail";
    EXPECT_EQ(WHITE, makeFace()) << "the parameters-changed cue";

    click(MAKE);
    expectPicture("make-detail-100", expectedPicture(MANDELBROT_TYPE, defaultView(100)));
    EXPECT_EQ(FACE_GREY, makeFace()) << "Make removes the cue";

    exitWithStatusZero();
}

TEST_F(Commands, ZoomDragShowsTheBandAndMakeShowsTheZoomedImage) {
    click(MAKE);
    const Image whole = expectedPicture(MANDELBROT_TYPE, defaultView(50));
    expectPicture("zoom-before", whole);

    click(ZOOM_IN);
    const int x0 = 300, y0 = 700, x1 = 600, y1 = 420;
    s.x.drag(x0, y0, x1, y1, 8, false);  // the button is still held
    const Image during = shot();
    // A line on a pixel edge lands on the row or column at either side of it.
    auto greyNear = [&](int X, int Y, bool horizontal) {
        for (int d = -1; d <= 1; ++d)
            if (during.at(horizontal ? X : X + d, horizontal ? Y + d : Y) == GREY) return true;
        return false;
    };
    int top = 0, bottom = 0, left = 0, right = 0;
    for (int X = x0 + 5; X < x1 - 5; ++X) {
        top += greyNear(X, y0, true);
        bottom += greyNear(X, y1, true);
    }
    for (int Y = y1 + 5; Y < y0 - 5; ++Y) {
        left += greyNear(x0, Y, false);
        right += greyNear(x1, Y, false);
    }
    EXPECT_EQ(x1 - x0 - 10, top) << "the rubber band is on the screen mid-drag";
    EXPECT_EQ(x1 - x0 - 10, bottom);
    EXPECT_EQ(y0 - y1 - 10, left);
    EXPECT_EQ(y0 - y1 - 10, right);
    const Image inside = imageOnScreen(during);
    const int c = 450 - PANEL_LEFT - 1, r = PANEL_TOP - 3 - 560;
    EXPECT_EQ(whole.atTop(c, r), inside.atTop(c, r)) << "the image shows through the band";
    s.x.release(1);
    s.x.settle(200);
    EXPECT_EQ(WHITE, makeFace());

    click(MAKE);
    const double xStart = mapX(x0), yStart = mapY(y0), xEnd = mapX(x1), yEnd = mapY(y1);
    const KernelView zoomed = {800,    50, xStart, (xEnd - xStart) / 800,
                               yStart, (yEnd - yStart) / 800, 0.0, 0.0};
    expectPicture("zoomed", expectedPicture(MANDELBROT_TYPE, zoomed));

    click(ZOOM_IN);  // an armed selection does not hold Exit back
    exitWithStatusZero();
}

TEST_F(Commands, PivotPickSetsTheJuliaConstant) {
    click(MAKE);
    expectPicture("pivot-before", expectedPicture(MANDELBROT_TYPE, defaultView(50)));

    click(PIVOT);
    click({587, 411});
    const Image after = shot();
    int grey = 0;
    for (int Y = 406; Y < 416; ++Y)
        for (int X = 582; X < 592; ++X) grey += after.at(X, Y) == GREY;
    EXPECT_EQ(100, grey) << "the 10-pixel marker";
    EXPECT_EQ(FACE_GREY, after.at(16, 780)) << "no Make cue after a pivot pick";

    click(TYPE);  // Julia
    click(MAKE);
    KernelView julia = defaultView(50);
    julia.xPivot = mapX(587);
    julia.yPivot = mapY(411);
    expectPicture("julia-at-pivot", expectedPicture(JULIA_TYPE, julia));

    exitWithStatusZero();
}

}  // namespace
