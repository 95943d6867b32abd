// Drawing the grid into the image panel, whole and row by row, read back
// from the drawing layer's buffers. The shipped drawing puts a whole grid
// down as one resolved block of pixels and each row as one vertex/colour
// array; the reference here draws every cell as its own glBegin/glEnd point
// with glColor3ub, and the two must agree byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/layout.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/state.h"
#include "gl_harness.h"
#include "widget_pictures.h"
#include "widgets/gfx.h"
#include "naive_row.h"

using namespace pictures;

namespace {

void naiveGrid(const WINDOW &panel) {
    gfxDrawBuffer(GL_BACK);
    glPointSize(2.0);
    for (int r = 0; r < fracHeight; ++r) naiveRow(r, panel);
    glPointSize(1.0);
    gfxSwapBuffers();
}

void fillGrid(unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < GRID_CELLS; ++i) fractal[i] = (unsigned char)(random() & 255);
}

// Three different ramps, so a channel mix-up shows.
void mixedPalette() {
    paletteR = 2;
    paletteG = 5;
    paletteB = 8;
    DISPLAY_PALLETE_APPLY();
}

Rgb grey(int v) { return Rgb{(uint8_t)v, (uint8_t)v, (uint8_t)v}; }

float currentPointSize() {
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    return size;
}

class DisplayTest : public testing::Test {
protected:
    void SetUp() override { restoreStartState(); }
    void TearDown() override { restoreStartState(); }
};

TEST_F(DisplayTest, FirstAndLastCellsAreSizeTwoPointsAtTheirPlaces) {
    // Cell (0, 0) is a 2 x 2 point at (187, 811): pixels 186..187 x 810..811.
    fracWidth = fracHeight = 1;
    fractal[0] = 200;
    DISPLAY_FRACTAL(MAIN_WINDOW);
    Image drawn = backBuffer();
    Image expected = drawn;
    fillRect(expected, 185, 10, 989, 814, BLACK);
    fillRect(expected, 186, 810, 188, 812, grey(200));
    Tally first = compareRegion(drawn, expected, 185, 10, 989, 814, "cell (0, 0)");
    EXPECT_EQ(first.bad, 0) << first.why;

    // Cell (799, 799), drawn last, is the point at (986, 12): 985..986 x 11..12.
    fracWidth = fracHeight = GRID_SIZE;
    fractal[0] = 100;
    fractal[GRID_CELLS - 1] = 200;
    MAIN_WINDOW.CLEAR();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    drawn = backBuffer();
    expected = drawn;
    fillRect(expected, 185, 10, 989, 814, BLACK);
    setAt(expected, 186, 811, grey(100));  // the rest of cell (0, 0) is covered by its neighbours
    fillRect(expected, 985, 11, 987, 13, grey(200));
    Tally last = compareRegion(drawn, expected, 185, 10, 989, 814, "cells (0, 0), (799, 799)");
    EXPECT_EQ(last.bad, 0) << last.why;
}

TEST_F(DisplayTest, LaterPointsCoverTheirNeighboursRowsDownColumnsRight) {
    // Pixel (186 + c, 811 - r) shows cell (r, c) for r, c below 799.
    fillGrid(7);
    DISPLAY_FRACTAL(MAIN_WINDOW);
    const Image drawn = backBuffer();
    for (int r : {0, 1, 37, 400, 798})
        for (int c : {0, 1, 5, 555, 798}) {
            const unsigned char v = fractal[GRID_SIZE * r + c];
            EXPECT_EQ(drawn.at(186 + c, 811 - r), grey(v)) << "cell " << r << ", " << c;
        }
}

TEST_F(DisplayTest, ASmallerGridDrawsOnlyItsTopLeftBlock) {
    memset(fractal, 255, sizeof fractal);  // white everywhere, in use or not
    fracWidth = 400;
    fracHeight = 300;
    DISPLAY_FRACTAL(MAIN_WINDOW);
    const Image drawn = backBuffer();
    Image expected = drawn;
    fillRect(expected, 185, 10, 989, 814, BLACK);
    // Columns 0..399 cover x 186..586, rows 0..299 cover y 511..811.
    fillRect(expected, 186, 511, 587, 812, WHITE);
    Tally t = compareRegion(drawn, expected, 185, 10, 989, 814, "400 x 300 block");
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(DisplayTest, WholeGridDoesNotBlankThePanelFirst) {
    fracWidth = 100;
    fracHeight = 100;
    fillQuad(1, 0, 0, 600, 100, 700, 100, 700, 200, 600, 200);
    DISPLAY_FRACTAL(MAIN_WINDOW);
    EXPECT_EQ(backBuffer().at(650, 150), (Rgb{255, 0, 0}));
}

TEST_F(DisplayTest, WholeGridEndsWithPointSizeOneInTheBackAndOneSwap) {
    fillGrid(3);
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(5.0);
    const long presents = gfxPresentCount();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    EXPECT_EQ(currentPointSize(), 1.0f);
    EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_BACK);
    EXPECT_EQ(gfxPresentCount(), presents + 1);
    EXPECT_EQ(comparePictures("grid-swapped", backBuffer(), frontBuffer()), 0);
}

TEST_F(DisplayTest, BatchedWholeGridMatchesOnePointPerCallOnTheFullGrid) {
    fillGrid(1959);
    mixedPalette();
    naiveGrid(MAIN_WINDOW);
    const Image reference = backBuffer();
    MAIN_WINDOW.CLEAR();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    EXPECT_EQ(comparePictures("grid-800x800", reference, backBuffer()), 0);
}

TEST_F(DisplayTest, BatchedWholeGridMatchesOnePointPerCallOnASmallerBlock) {
    fillGrid(42);
    mixedPalette();
    fracWidth = 400;
    fracHeight = 300;
    naiveGrid(MAIN_WINDOW);
    const Image reference = backBuffer();
    MAIN_WINDOW.CLEAR();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    EXPECT_EQ(comparePictures("grid-400x300", reference, backBuffer()), 0);
}

TEST_F(DisplayTest, WholeGridMatchesOnePointPerCallAtEdgeSizes) {
    const int sizes[][2] = {{1, 1}, {1, 800}, {800, 1}, {2, 799}, {799, 2}, {37, 613}};
    for (const auto &size : sizes) {
        restoreStartState();
        fillGrid(size[0] * 1000 + size[1]);
        mixedPalette();
        fracWidth = size[0];
        fracHeight = size[1];
        naiveGrid(MAIN_WINDOW);
        const Image reference = backBuffer();
        MAIN_WINDOW.CLEAR();
        DISPLAY_FRACTAL(MAIN_WINDOW);
        EXPECT_EQ(comparePictures("grid-edge-size", reference, backBuffer()), 0)
            << size[0] << " x " << size[1];
    }
}

TEST_F(DisplayTest, WholeGridInAPanelReachingPastTheWindowMatchesOnePointPerCall) {
    // The block cannot go down as one picture here; the points must still agree.
    fillGrid(29);
    mixedPalette();
    const WINDOW overhanging(400, -300, GRID_SIZE + 4, GRID_SIZE + 4);
    naiveGrid(overhanging);
    const Image reference = backBuffer();
    restoreStartState();
    fillGrid(29);
    mixedPalette();
    DISPLAY_FRACTAL(overhanging);
    EXPECT_EQ(comparePictures("grid-overhanging", reference, backBuffer()), 0);
}

TEST_F(DisplayTest, WholeGridIgnoresAndKeepsPixelTransferSettings) {
    fillGrid(31);
    naiveGrid(MAIN_WINDOW);
    const Image reference = backBuffer();
    MAIN_WINDOW.CLEAR();
    glPixelZoom(2.0f, 3.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 5);
    glPixelTransferf(GL_RED_SCALE, 0.5f);
    DISPLAY_FRACTAL(MAIN_WINDOW);
    GLfloat zoomX = 0, zoomY = 0, redScale = 0;
    GLint alignment = 0, rowLength = 0;
    glGetFloatv(GL_ZOOM_X, &zoomX);
    glGetFloatv(GL_ZOOM_Y, &zoomY);
    glGetFloatv(GL_RED_SCALE, &redScale);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelTransferf(GL_RED_SCALE, 1.0f);
    EXPECT_EQ(comparePictures("grid-pixel-state", reference, backBuffer()), 0);
    EXPECT_EQ(zoomX, 2.0f);
    EXPECT_EQ(zoomY, 3.0f);
    EXPECT_EQ(redScale, 0.5f);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(rowLength, 5);
}

TEST_F(DisplayTest, WholeGridLeavesTheLastCellsColourCurrent) {
    fillGrid(37);
    mixedPalette();
    fracWidth = 300;
    fracHeight = 200;
    const unsigned char v = fractal[GRID_SIZE * 199 + 299];
    DISPLAY_FRACTAL(MAIN_WINDOW);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], PaletteR[v] / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], PaletteG[v] / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], PaletteB[v] / 255.0f);
}

TEST_F(DisplayTest, BatchedRowsIntoBothBuffersMatchOnePointPerCall) {
    fillGrid(11);
    mixedPalette();
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    for (int r = 0; r < fracHeight; ++r) naiveRow(r, MAIN_WINDOW);
    const Image referenceBack = backBuffer(), referenceFront = frontBuffer();
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    for (int r = 0; r < fracHeight; ++r) DISPLAY_FRACTAL_ROW(r, MAIN_WINDOW);
    glPointSize(1.0);
    EXPECT_EQ(comparePictures("rows-back", referenceBack, backBuffer()), 0);
    EXPECT_EQ(comparePictures("rows-front", referenceFront, frontBuffer()), 0);
}

// The rows of a Make are recorded and put down as pixel blocks at each
// present; whatever order they are reported in (threaded Makes report them
// as workers finish), and wherever the presents fall, the pixels are those
// of one point per cell drawn in that order.
void expectMakeRowsMatchPointsInOrder(const std::vector<int> &order, const std::string &name) {
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    for (int r : order) naiveRow(r, MAIN_WINDOW);
    const Image referenceBack = backBuffer(), referenceFront = frontBuffer();
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    beginMakeRows(MAIN_WINDOW);
    for (size_t k = 0; k < order.size(); ++k) {
        DISPLAY_FRACTAL_ROW(order[k], MAIN_WINDOW);
        if (k % 97 == 0) usleep(17000);  // let a present fall mid-way
    }
    endMakeRows();
    glPointSize(1.0);
    EXPECT_EQ(comparePictures(name + "-back", referenceBack, backBuffer()), 0);
    EXPECT_EQ(comparePictures(name + "-front", referenceFront, frontBuffer()), 0);
}

TEST_F(DisplayTest, MakeRowsMatchPointsInAnyReportedOrder) {
    fillGrid(23);
    mixedPalette();
    std::vector<int> order(fracHeight);
    for (int r = 0; r < fracHeight; ++r) order[r] = r;
    expectMakeRowsMatchPointsInOrder(order, "make-rows-ascending");
    std::reverse(order.begin(), order.end());
    expectMakeRowsMatchPointsInOrder(order, "make-rows-descending");
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    expectMakeRowsMatchPointsInOrder(order, "make-rows-shuffled");
}

TEST_F(DisplayTest, MakeRowsOfASmallerBlockMatchPoints) {
    fillGrid(29);
    fracWidth = 400;
    fracHeight = 300;
    std::vector<int> order(fracHeight);
    for (int r = 0; r < fracHeight; ++r) order[r] = r;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    expectMakeRowsMatchPointsInOrder(order, "make-rows-block");
}

TEST_F(DisplayTest, RowLeavesDrawBufferPointSizeAndSwapStateAlone) {
    fillGrid(5);
    for (GLenum selection : {GL_BACK, GL_FRONT_AND_BACK, GL_FRONT})
        for (float size : {1.0f, 2.0f}) {
            restoreStartState();
            fillGrid(5);
            // A mark in the back only: a swap would carry it to the front.
            fillQuad(1, 0, 0, 600, 100, 700, 100, 700, 200, 600, 200);
            const Image frontBefore = frontBuffer();
            gfxDrawBuffer(selection);
            glPointSize(size);
            DISPLAY_FRACTAL_ROW(10, MAIN_WINDOW);
            EXPECT_EQ(gfxCurrentDrawBuffer(), selection);
            EXPECT_EQ(currentPointSize(), size);
            EXPECT_EQ(frontBuffer().at(650, 150), frontBefore.at(650, 150)) << "no swap";
            if (selection == GL_BACK) {
                EXPECT_EQ(comparePictures("row-back-only", frontBefore, frontBuffer()), 0);
            }
            glPointSize(1.0);
        }
}

TEST_F(DisplayTest, RowGoesOnlyToTheSelectedBuffers) {
    fillGrid(9);
    const Image before = backBuffer();
    gfxDrawBuffer(GL_FRONT);
    glPointSize(2.0);
    DISPLAY_FRACTAL_ROW(0, MAIN_WINDOW);
    glPointSize(1.0);
    EXPECT_EQ(comparePictures("row-front-only-back", before, backBuffer()), 0);
    EXPECT_EQ(frontBuffer().at(186, 811), grey(fractal[0]));
}

TEST_F(DisplayTest, RowAtPointSizeOneLightsOnePixelPerCell) {
    fillGrid(13);
    MAIN_WINDOW.CLEAR();
    gfxDrawBuffer(GL_BACK);
    DISPLAY_FRACTAL_ROW(20, MAIN_WINDOW);
    const Image drawn = backBuffer();
    Image expected = drawn;
    fillRect(expected, 185, 10, 989, 814, BLACK);
    for (int c = 0; c < GRID_SIZE; ++c) setAt(expected, 187 + c, 791, grey(fractal[GRID_SIZE * 20 + c]));
    Tally t = compareRegion(drawn, expected, 185, 10, 989, 814, "row 20");
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(DisplayTest, RowLeavesTheLastCellsColourCurrentAsImmediateModeWould) {
    fillGrid(17);
    mixedPalette();
    const unsigned char v = fractal[GRID_SIZE * 3 + GRID_SIZE - 1];
    gfxDrawBuffer(GL_BACK);
    DISPLAY_FRACTAL_ROW(3, MAIN_WINDOW);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], PaletteR[v] / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], PaletteG[v] / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], PaletteB[v] / 255.0f);
}

TEST_F(DisplayTest, RowsOutsideTheGridDrawNothing) {
    fillGrid(19);
    const Image before = backBuffer();
    const long presents = gfxPresentCount();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    for (int row : {-1, (int)GRID_SIZE, 100000, -100000}) DISPLAY_FRACTAL_ROW(row, MAIN_WINDOW);
    gfxDrawBuffer(GL_BACK);
    EXPECT_EQ(comparePictures("row-outside", before, backBuffer()), 0);
    EXPECT_EQ(gfxPresentCount(), presents);
}

TEST_F(DisplayTest, NeverEscapedCellsAreWhiteUnderEveryPalette) {
    fracWidth = fracHeight = 1;
    fractal[0] = 255;
    for (int ramp = 0; ramp < RAMPS; ++ramp) {
        paletteR = ramp;
        paletteG = (ramp + 3) % RAMPS;
        paletteB = (ramp + 6) % RAMPS;
        DISPLAY_PALLETE_APPLY();
        MAIN_WINDOW.CLEAR();
        DISPLAY_FRACTAL(MAIN_WINDOW);
        EXPECT_EQ(backBuffer().at(187, 811), WHITE) << "ramp " << ramp;
    }
}

TEST_F(DisplayTest, DrawingLeavesNoGlError) {
    fillGrid(23);
    while (glGetError() != GL_NO_ERROR) {
    }
    DISPLAY_FRACTAL(MAIN_WINDOW);
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    DISPLAY_FRACTAL_ROW(0, MAIN_WINDOW);
    gfxFlush();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
