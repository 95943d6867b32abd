// The program-wide parameters, the cell-to-plane mapping, the scale rule,
// the type names and the grid value encoding.
#include <gtest/gtest.h>
#include <string.h>

#include "core/kernels.h"
#include "core/state.h"

namespace {

class StateTest : public ::testing::Test {
protected:
    void SetUp() override { resetFractalState(); }
};

// The point a cell stands for, computed the way the mapping is written down:
// integer index converted to double, times the scale, plus the start.
double cellX(int i) { return (double)i * xScale + xStart; }
double cellY(int r) { return (double)r * yScale + yStart; }

// Taken while the test program starts, before any test changes the state:
// the values the program-wide parameters hold when a program starts.
struct StartValues {
    int fracWidth, fracHeight, detail, fType, noFractal;
    double xStart, xEnd, yStart, yEnd, xPivot, yPivot, xScale, yScale;
    int nonZeroCells;
};

StartValues takeStartValues() {
    int nonZero = 0;
    for (int k = 0; k < GRID_CELLS; ++k) nonZero += fractal[k] != 0;
    return StartValues{fracWidth, fracHeight, detail, fType, noFractal, xStart, xEnd, yStart,
                       yEnd, xPivot, yPivot, xScale, yScale, nonZero};
}

const StartValues atStart = takeStartValues();

TEST(StateStart, ProgramStartsWithTheDefaultView) {
    EXPECT_EQ(atStart.fracWidth, 800);
    EXPECT_EQ(atStart.fracHeight, 800);
    EXPECT_EQ(atStart.detail, 50);
    EXPECT_EQ(atStart.xStart, -5.0);
    EXPECT_EQ(atStart.xEnd, 5.0);
    EXPECT_EQ(atStart.yStart, -5.0);
    EXPECT_EQ(atStart.yEnd, 5.0);
    EXPECT_EQ(atStart.xPivot, 0.0);
    EXPECT_EQ(atStart.yPivot, 0.0);
    EXPECT_EQ(atStart.xScale, 10.0 / 800);
    EXPECT_EQ(atStart.yScale, 10.0 / 800);
    EXPECT_EQ(atStart.fType, 0);
    EXPECT_EQ(atStart.noFractal, 1);
    EXPECT_EQ(atStart.nonZeroCells, 0);
}

TEST(StateStart, GridIsEightHundredSquare) {
    EXPECT_EQ(sizeof fractal, 800u * 800u);
    EXPECT_EQ(sizeof fracType, 80u);
}

TEST_F(StateTest, DefaultScalesAreOneEightiethOfAUnit) {
    EXPECT_DOUBLE_EQ(xScale, 0.0125);
    EXPECT_DOUBLE_EQ(yScale, 0.0125);
}

TEST_F(StateTest, DefaultCellsMapToTheirPlanePoints) {
    EXPECT_EQ(cellX(0), -5.0);
    EXPECT_EQ(cellY(0), -5.0);
    EXPECT_EQ(cellX(400), 0.0);
    EXPECT_EQ(cellY(400), 0.0);
    EXPECT_EQ(cellX(799), -5.0 + 799 * 0.0125);
    EXPECT_NEAR(cellX(799), 4.9875, 1e-12);
    EXPECT_NEAR(cellY(799), 4.9875, 1e-12);
}

TEST_F(StateTest, NoCellStandsForTheFarEdges) {
    for (int i = 0; i < fracWidth; ++i) ASSERT_LT(cellX(i), xEnd) << "column " << i;
    for (int r = 0; r < fracHeight; ++r) ASSERT_LT(cellY(r), yEnd) << "row " << r;
}

TEST_F(StateTest, KernelViewCarriesTheProgramWideParameters) {
    fracWidth = 321;
    detail = 777;
    xStart = -1.5;
    yStart = 0.25;
    xPivot = 0.3;
    yPivot = -0.7;
    applyScaleRule();
    const KernelView v = currentKernelView();
    EXPECT_EQ(v.width, 321);
    EXPECT_EQ(v.detail, 777);
    EXPECT_EQ(v.xStart, -1.5);
    EXPECT_EQ(v.yStart, 0.25);
    EXPECT_EQ(v.xScale, xScale);
    EXPECT_EQ(v.yScale, yScale);
    EXPECT_EQ(v.xPivot, 0.3);
    EXPECT_EQ(v.yPivot, -0.7);
}

// ---- the scale rule --------------------------------------------------------

TEST_F(StateTest, ScaleRuleDividesTheViewByTheCellsInUse) {
    xStart = -0.75;
    xEnd = -0.25;
    yStart = 0.1;
    yEnd = 0.7;
    fracWidth = 640;
    fracHeight = 480;
    applyScaleRule();
    EXPECT_EQ(xScale, (-0.25 - -0.75) / 640.0);
    EXPECT_EQ(yScale, (0.7 - 0.1) / 480.0);
}

TEST_F(StateTest, NewBoundsLeaveTheScalesUntilTheRuleRuns) {
    // A zoom rectangle sets the bounds only; the next Make applies the rule.
    xStart = 1.0;
    xEnd = 2.0;
    yStart = -3.0;
    yEnd = -1.0;
    EXPECT_EQ(xScale, 0.0125);
    EXPECT_EQ(yScale, 0.0125);
    applyScaleRule();
    EXPECT_EQ(xScale, 1.0 / 800);
    EXPECT_EQ(yScale, 2.0 / 800);
}

TEST_F(StateTest, ResetViewRestoresTheFullViewAndItsScales) {
    fracWidth = 300;
    fracHeight = 7;
    xStart = 1.0;
    xEnd = 1.5;
    yStart = 2.0;
    yEnd = 2.25;
    xScale = yScale = 99.0;
    resetView();
    EXPECT_EQ(xStart, -5.0);
    EXPECT_EQ(xEnd, 5.0);
    EXPECT_EQ(yStart, -5.0);
    EXPECT_EQ(yEnd, 5.0);
    EXPECT_EQ(xScale, 10.0 / 300);
    EXPECT_EQ(yScale, 10.0 / 7);
    // The same values the rule gives for the view -5..5.
    const double x = xScale, y = yScale;
    applyScaleRule();
    EXPECT_EQ(xScale, x);
    EXPECT_EQ(yScale, y);
}

TEST_F(StateTest, ResetFractalStateLeavesNothingBehind) {
    fracWidth = 10;
    detail = 5000;
    xPivot = 1.0;
    setFractalType(7);
    noFractal = 0;
    fractal[GRID_CELLS - 1] = 9;
    resetFractalState();
    EXPECT_EQ(fracWidth, 800);
    EXPECT_EQ(detail, 50);
    EXPECT_EQ(xPivot, 0.0);
    EXPECT_EQ(fType, 0);
    EXPECT_STREQ(fracType, "Mandelbrot");
    EXPECT_EQ(noFractal, 1);
    EXPECT_EQ(fractal[GRID_CELLS - 1], 0);
}

// ---- the ten type names ----------------------------------------------------

TEST_F(StateTest, TypeNamesAreInIndexOrder) {
    const char *expected[10] = {"Mandelbrot", "Julia",    "M-Dragon", "J-Dragon", "M-Phoenix",
                                "J-Phoenix",  "M-Cosine", "J-Cosine", "M-Cosh",   "J-Cosh"};
    for (int t = 0; t < 10; ++t) {
        EXPECT_STREQ(FRACTAL_TYPE_NAMES[t], expected[t]) << "type " << t;
        EXPECT_EQ(fractalTypeIndex(expected[t]), t);
    }
}

TEST_F(StateTest, UnknownOrAlmostRightNamesHaveNoIndex) {
    EXPECT_EQ(fractalTypeIndex(""), -1);
    EXPECT_EQ(fractalTypeIndex("mandelbrot"), -1);
    EXPECT_EQ(fractalTypeIndex("Mandelbrot "), -1);
    EXPECT_EQ(fractalTypeIndex("J-Cos"), -1);
    EXPECT_EQ(fractalTypeIndex("J-Cosh\n"), -1);
}

TEST_F(StateTest, SettingATypeCopiesItsNameWithTheTerminator) {
    memset(fracType, 'x', sizeof fracType);
    setFractalType(8);
    EXPECT_EQ(fType, 8);
    EXPECT_STREQ(fracType, "M-Cosh");
    setFractalType(3);
    EXPECT_EQ(fType, 3);
    EXPECT_STREQ(fracType, "J-Dragon");
}

// ---- the grid value encoding ----------------------------------------------

TEST(GridValue, DetailFiftyStepsByFivePointOne) {
    for (int j = 0; j < 50; ++j) EXPECT_EQ(gridValue(j, 50), (int)(5.1 * j + 1e-9)) << "j " << j;
    EXPECT_EQ(gridValue(0, 50), 0);
    EXPECT_EQ(gridValue(1, 50), 5);
    EXPECT_EQ(gridValue(2, 50), 10);
    EXPECT_EQ(gridValue(9, 50), 45);
    EXPECT_EQ(gridValue(10, 50), 51);
    EXPECT_EQ(gridValue(11, 50), 56);
    EXPECT_EQ(gridValue(25, 50), 127);
    EXPECT_EQ(gridValue(49, 50), 249);
    EXPECT_EQ(gridValue(50, 50), 255);
}

TEST(GridValue, DetailFiveThousandNeedsTwentyStepsPerLevel) {
    for (int j = 0; j < 20; ++j) EXPECT_EQ(gridValue(j, 5000), 0) << "j " << j;
    for (int j = 20; j < 40; ++j) EXPECT_EQ(gridValue(j, 5000), 1) << "j " << j;
    EXPECT_EQ(gridValue(4999, 5000), 254);
    EXPECT_EQ(gridValue(5000, 5000), 255);
}

TEST(GridValue, OnlyTheLimitItselfGivesTwoFiftyFive) {
    const int limits[] = {1, 2, 3, 50, 51, 255, 256, 999, 5000};
    for (int n : limits) {
        for (int j = 0; j < n; ++j) ASSERT_LE(gridValue(j, n), 254) << "j " << j << " of " << n;
        EXPECT_EQ(gridValue(n, n), 255) << "limit " << n;
    }
}

}  // namespace
