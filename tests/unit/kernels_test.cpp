// The ten escape-time kernels: the telling cells of each type, and a
// byte-for-byte cross-check of whole rows against a straightforward
// reference loop per type, through both the program-wide entry points
// (MANDELBROT_CORE ...) and the view-taking ones (computeRowScalar,
// computeRow).
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/kernels.h"
#include "core/state.h"

namespace {

typedef unsigned char *(*RowKernel)(int, unsigned char *);

const RowKernel CORES[FRACTAL_TYPES] = {
    MANDELBROT_CORE, JULIA_CORE,    M_DRAGON_CORE, J_DRAGON_CORE, M_PHOENIX_CORE,
    J_PHOENIX_CORE,  M_COSINE_CORE, J_COSINE_CORE, M_COSH_CORE,   J_COSH_CORE,
};

// ---- the reference ---------------------------------------------------------
//
// Each function iterates z_0, z_1, ... and returns the first n that reaches
// the limit or whose squared modulus is not at most 4 (a NaN modulus is not,
// so it counts as an escape). The next iterate is always computed from the
// current one and, for Phoenix, the one before it.

struct Orbit {
    double zr, zi;
    bool inside() const { return zr * zr + zi * zi <= 4.0; }
};

int refMandelbrot(double x, double y, int limit) {
    Orbit z{0.0, 0.0};
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        z = Orbit{(zr2 - zi2) + x, 2.0 * (z.zr * z.zi) + y};
    }
    return n;
}

int refJulia(double x, double y, int limit, double px, double py) {
    Orbit z{x, y};
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        z = Orbit{(zr2 - zi2) + px, 2.0 * (z.zr * z.zi) + py};
    }
    return n;
}

// z <- lambda z (1 - z); M-Dragon starts at 0.5 with lambda the plane
// point, J-Dragon starts at the plane point with lambda the pivot.
int refDragon(Orbit z, double lr, double li, int limit) {
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        const double a = (zi2 - zr2) + z.zr;
        const double b = 2.0 * (z.zr * z.zi) - z.zi;
        z = Orbit{lr * a + li * b, li * a - lr * b};
    }
    return n;
}

// z <- z^2 + s + t * previous, previous starting at 0.
int refPhoenix(Orbit z, double s, double t, int limit) {
    Orbit previous{0.0, 0.0};
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        const Orbit next{((zr2 - zi2) + s) + t * previous.zr, 2.0 * (z.zr * z.zi) + t * previous.zi};
        previous = z;
        z = next;
    }
    return n;
}

int refMCosine(double x, double y, int limit) {
    Orbit z{0.0, 0.0};
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double a = cos(z.zr) * cosh(z.zi);
        const double b = sin(z.zr) * sinh(z.zi);
        z = Orbit{(a * a - b * b) + x, (-2.0 * a) * b + y};
    }
    return n;
}

int refJCosine(double x, double y, int limit, double px, double py) {
    Orbit z{x, y};
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double a = cos(z.zr) * cosh(z.zi);
        const double b = sin(z.zr) * sinh(z.zi);
        z = Orbit{(a * a + px) - b * b, (-2.0 * a) * b + py};
    }
    return n;
}

// Both Cosh kinds: the constant (cr, ci) is added the same way.
int refCosh(Orbit z, double cr, double ci, int limit) {
    int n = 0;
    for (; n < limit && z.inside(); ++n) {
        const double a = cosh(z.zr) * cos(z.zi);
        const double b = sinh(z.zr) * sin(z.zi);
        z = Orbit{(a * a + cr) - b * b, (-2.0 * a) * b + ci};
    }
    return n;
}

int refEscapeCount(int type, double x, double y, const KernelView &v) {
    const int n = v.detail;
    const double px = v.xPivot, py = v.yPivot;
    switch (type) {
    case 0: return refMandelbrot(x, y, n);
    case 1: return refJulia(x, y, n, px, py);
    case 2: return refDragon(Orbit{0.5, 0.0}, x, y, n);
    case 3: return refDragon(Orbit{x, y}, px, py, n);
    case 4: return refPhoenix(Orbit{0.0, 0.0}, x, y, n);
    case 5: return refPhoenix(Orbit{x, y}, px, py, n);
    case 6: return refMCosine(x, y, n);
    case 7: return refJCosine(x, y, n, px, py);
    case 8: return refCosh(Orbit{0.0, 0.0}, x, y, n);
    default: return refCosh(Orbit{x, y}, px, py, n);
    }
}

std::vector<unsigned char> refRow(int type, const KernelView &v, int row) {
    std::vector<unsigned char> out((size_t)v.width);
    const double y = (double)row * v.yScale + v.yStart;
    for (int i = 0; i < v.width; ++i) {
        const double x = (double)i * v.xScale + v.xStart;
        out[(size_t)i] = (unsigned char)(255 * refEscapeCount(type, x, y, v) / v.detail);
    }
    return out;
}

// ---- helpers ---------------------------------------------------------------

void useView(const KernelView &v) {
    fracWidth = v.width;
    detail = v.detail;
    xStart = v.xStart;
    xScale = v.xScale;
    yStart = v.yStart;
    yScale = v.yScale;
    xPivot = v.xPivot;
    yPivot = v.yPivot;
}

// Bytes a kernel must not touch are filled with this.
const unsigned char GUARD = 0xA5;

// The row computed by the program's kernel into the grid itself, with the
// rest of the row pre-filled so that stray writes show.
std::vector<unsigned char> coreRow(int type, int row) {
    unsigned char *start = fractal + GRID_SIZE * row;
    memset(start, GUARD, GRID_SIZE);
    unsigned char *end = CORES[type](row, start);
    EXPECT_EQ(end, start + fracWidth) << "type " << type << " row " << row;
    for (int i = fracWidth; i < GRID_SIZE; ++i)
        EXPECT_EQ(start[i], GUARD) << "type " << type << " wrote past column " << fracWidth - 1;
    return std::vector<unsigned char>(start, start + fracWidth);
}

int coreCell(int type, int row, int column) { return coreRow(type, row)[(size_t)column]; }

// First differing column, or -1.
int firstDifference(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return (int)i;
    return -1;
}

class KernelCells : public ::testing::Test {
protected:
    void SetUp() override { resetFractalState(); }
};

// ---- telling cells, default view, detail 50 --------------------------------

TEST_F(KernelCells, MandelbrotEscapesAfterOneStepFromTheCorner) {
    EXPECT_EQ(coreCell(0, 0, 0), 5);  // -5 - 5i: z1 = c is far outside
}

TEST_F(KernelCells, MandelbrotKeepsTheOriginAndMinusTwo) {
    EXPECT_EQ(coreCell(0, 400, 400), 255);
    EXPECT_EQ(coreCell(0, 400, 240), 255);  // -2, 2, 2, ... stays on the circle
}

TEST_F(KernelCells, MandelbrotNeverStoresZero) {
    // z0 = 0 always passes the first test.
    for (int r = 0; r < fracHeight; ++r) {
        const std::vector<unsigned char> row = coreRow(0, r);
        for (int i = 0; i < fracWidth; ++i) ASSERT_NE(row[(size_t)i], 0) << "cell " << r << "," << i;
    }
}

TEST_F(KernelCells, JuliaWithPivotZero) {
    EXPECT_EQ(coreCell(1, 0, 0), 0);        // start value outside the disc
    EXPECT_EQ(coreCell(1, 400, 560), 5);    // start 2, on the circle: one step
    EXPECT_EQ(coreCell(1, 400, 400), 255);  // 0 stays 0
}

TEST_F(KernelCells, MDragon) {
    EXPECT_EQ(coreCell(2, 400, 400), 255);  // lambda 0
    EXPECT_EQ(coreCell(2, 0, 0), 10);       // z1 = -1.25 - 1.25i inside, z2 outside
}

TEST_F(KernelCells, JDragonWithPivotZeroSplitsAtTheCircle) {
    for (int r = 0; r < fracHeight; r += 7) {
        const std::vector<unsigned char> row = coreRow(3, r);
        const double y = r * yScale + yStart;
        for (int i = 0; i < fracWidth; ++i) {
            const double x = i * xScale + xStart;
            ASSERT_EQ(row[(size_t)i], x * x + y * y <= 4.0 ? 255 : 0) << "cell " << r << "," << i;
        }
    }
    EXPECT_EQ(coreCell(3, 0, 0), 0);
}

TEST_F(KernelCells, JDragonCountsANotANumberIterateAsAnEscape) {
    // From z0 = -1.2 + 0.5i the products with this pivot overflow with
    // opposite signs: z1 = -inf + NaN i. The NaN modulus must end the orbit.
    xPivot = yPivot = 1.5e308;
    EXPECT_EQ(coreCell(3, 440, 304), 5);
}

TEST_F(KernelCells, MPhoenixUsesThePreviousIterateFromTheSecondStep) {
    // c = -1 + 1.25i: z1 = -1, z2 = 1 - 1 + 1.25 * 0 = 0,
    // z3 = 0 - 1 + 1.25 * (-1) = -2.25, outside: j = 3.
    EXPECT_EQ(320 * xScale + xStart, -1.0);
    EXPECT_EQ(500 * yScale + yStart, 1.25);
    EXPECT_EQ(coreCell(4, 500, 320), 15);
}

TEST_F(KernelCells, JPhoenixStartsWithAZeroPreviousIterate) {
    // z0 = 1, s = 0, t = 1.5: z1 = 1 + 1.5 * 0 = 1, z2 = 1 + 1.5 * z0 = 2.5.
    // Starting the previous iterate at z0 would escape one step early;
    // ignoring it would never escape.
    yPivot = 1.5;
    EXPECT_EQ(coreCell(5, 400, 480), 10);
}

TEST_F(KernelCells, JPhoenixCarriesTheImaginaryPartOfThePreviousIterate) {
    // z0 = i, s = 0, t = 1.5: z1 = -1, z2 = 1 + 1.5i (t times Im z0),
    // z3 = -2.75 + 3i, outside: j = 3. Without Im z0, z2 would be 1 and the
    // orbit would last until j = 5.
    yPivot = 1.5;
    EXPECT_EQ(400 * xScale + xStart, 0.0);
    EXPECT_EQ(480 * yScale + yStart, 1.0);
    EXPECT_EQ(coreCell(5, 480, 400), 15);
}

TEST_F(KernelCells, MCoshLeavesAtTheSecondStepWhereMCosineConverges) {
    // c = 0: z1 = cosh(0)^2 = 1, z2 = cosh(1)^2 ~ 2.381, outside.
    EXPECT_EQ(coreCell(8, 400, 400), 10);
    EXPECT_EQ(coreCell(6, 400, 400), 255);
}

TEST_F(KernelCells, DetailOneSplitsOnlyTheJKindsAtTheCircle) {
    detail = 1;
    for (int type = 0; type < FRACTAL_TYPES; ++type) {
        for (int r = 0; r < fracHeight; r += 57) {
            const std::vector<unsigned char> row = coreRow(type, r);
            const double y = r * yScale + yStart;
            for (int i = 0; i < fracWidth; ++i) {
                const double x = i * xScale + xStart;
                const int expected = (type % 2 == 1 && x * x + y * y > 4.0) ? 0 : 255;
                ASSERT_EQ(row[(size_t)i], expected) << "type " << type << " cell " << r << "," << i;
            }
        }
    }
}

TEST_F(KernelCells, NarrowRowsWriteOnlyTheColumnsInUse) {
    fracWidth = 137;
    for (int type = 0; type < FRACTAL_TYPES; ++type) coreRow(type, 799);
}

// ---- cross-check against the reference -------------------------------------

struct NamedView {
    const char *name;
    KernelView view;
    std::vector<int> rows;
};

const double SCALE = 10.0 / 800;

std::vector<NamedView> crossCheckViews() {
    return {
        {"Default", {800, 50, -5.0, SCALE, -5.0, SCALE, 0.0, 0.0}, {0, 1, 240, 399, 400, 401, 560, 799}},
        {"DefaultWithPivot",
         {800, 50, -5.0, SCALE, -5.0, SCALE, -0.8, 0.156},
         {0, 200, 333, 400, 467, 799}},
        {"Zoomed",
         {800, 400, -0.7485, 0.005 / 800, 0.098, 0.005 / 800, -0.4, 0.6},
         {0, 399, 799}},
        {"ZoomedNarrowDeep", {137, 3000, -0.17, 0.0004, 1.02, 0.0004, 0.285, 0.01}, {0, 68}},
        // Orbits overflow: squares are infinite at once.
        {"Huge", {800, 50, -1e300, 2.5e297, -1e300, 2.5e297, 1e300, -1e300}, {0, 400, 799}},
        // Products with the pivot overflow to infinities of both signs,
        // whose sums are NaN.
        {"HugePivot",
         {800, 50, -5.0, SCALE, -5.0, SCALE, 1.5e308, 1.5e308},
         {0, 320, 400, 440, 560}},
        {"HugeNegativePivot",
         {800, 50, -2.5, SCALE / 2, -2.5, SCALE / 2, -1.7e308, 1.2e308},
         {100, 400, 700}},
        {"DetailOne", {800, 1, -5.0, SCALE, -5.0, SCALE, 0.3, -0.2}, {0, 400, 799}},
        {"SinglePixel", {1, 50, -0.5, SCALE, 0.25, SCALE, 0.0, 0.0}, {0}},
    };
}

class KernelCrossCheck : public ::testing::TestWithParam<std::tuple<int, NamedView>> {
protected:
    void SetUp() override { resetFractalState(); }
    int type() const { return std::get<0>(GetParam()); }
    const NamedView &view() const { return std::get<1>(GetParam()); }
};

TEST_P(KernelCrossCheck, ProgramKernelMatchesTheReference) {
    useView(view().view);
    for (int row : view().rows) {
        const std::vector<unsigned char> expected = refRow(type(), view().view, row);
        EXPECT_EQ(firstDifference(coreRow(type(), row), expected), -1) << "row " << row;
    }
}

TEST_P(KernelCrossCheck, ScalarRowMatchesTheReference) {
    const KernelView &v = view().view;
    for (int row : view().rows) {
        std::vector<unsigned char> out((size_t)v.width + 16, GUARD);
        EXPECT_EQ(computeRowScalar(type(), v, row, out.data()), out.data() + v.width);
        for (size_t i = (size_t)v.width; i < out.size(); ++i) ASSERT_EQ(out[i], GUARD);
        out.resize((size_t)v.width);
        EXPECT_EQ(firstDifference(out, refRow(type(), v, row)), -1) << "row " << row;
    }
}

TEST_P(KernelCrossCheck, FastestRowMatchesTheReference) {
    const KernelView &v = view().view;
    for (int row : view().rows) {
        std::vector<unsigned char> out((size_t)v.width + 16, GUARD);
        EXPECT_EQ(computeRow(type(), v, row, out.data()), out.data() + v.width);
        for (size_t i = (size_t)v.width; i < out.size(); ++i) ASSERT_EQ(out[i], GUARD);
        out.resize((size_t)v.width);
        EXPECT_EQ(firstDifference(out, refRow(type(), v, row)), -1) << "row " << row;
    }
}

const char *const TYPE_TAGS[FRACTAL_TYPES] = {"Mandelbrot", "Julia",    "MDragon", "JDragon", "MPhoenix",
                                              "JPhoenix",   "MCosine",  "JCosine", "MCosh",   "JCosh"};

INSTANTIATE_TEST_SUITE_P(AllTypes, KernelCrossCheck,
                         ::testing::Combine(::testing::Range(0, (int)FRACTAL_TYPES),
                                            ::testing::ValuesIn(crossCheckViews())),
                         [](const ::testing::TestParamInfo<KernelCrossCheck::ParamType> &info) {
                             return std::string(TYPE_TAGS[std::get<0>(info.param)]) + "_" +
                                    std::get<1>(info.param).name;
                         });

// ---- cross-check near each type's boundary ---------------------------------
//
// Where orbits stay chaotic for hundreds of steps, a change in the grouping
// of a formula (one rounding more or less) grows until it moves an escape
// count. Each type gets a view of its own, centred on such a region, and
// rows that hold many of those cells.

struct BoundaryView {
    double centreX, centreY, halfWidth, xPivot, yPivot;
    int rows[3];
};

const BoundaryView BOUNDARY_VIEWS[FRACTAL_TYPES] = {
    {-0.745, 0.11, 0.01, 0.0, 0.0, {133, 568, 742}},       // Mandelbrot
    {0.0, 0.0, 2.0, -0.8, 0.156, {399, 401, 498}},        // Julia
    {-0.3875, 0.925, 0.05, 0.0, 0.0, {397, 588, 600}},     // M-Dragon
    {0.0, 0.0, 1.5, -0.2375, -1.025, {346, 390, 399}},    // J-Dragon
    {0.0, 0.0, 2.0, 0.0, 0.0, {381, 476, 479}},           // M-Phoenix
    {0.0, 0.0, 2.0, 0.56667, -0.5, {294, 500, 516}},      // J-Phoenix
    {0.0375, -0.825, 0.05, 0.0, 0.0, {392, 397, 399}},     // M-Cosine
    {0.0, 0.0, 2.0, -0.25, 0.5, {352, 448, 462}},         // J-Cosine
    {-0.375, -0.65, 0.05, 0.0, 0.0, {15, 60, 96}},         // M-Cosh
    {0.0, 0.0, 2.0, -0.375, -0.65, {78, 89, 722}},        // J-Cosh
};

KernelView boundaryKernelView(int type) {
    const BoundaryView &b = BOUNDARY_VIEWS[type];
    const double scale = 2.0 * b.halfWidth / 800;
    return KernelView{800, 1000, b.centreX - b.halfWidth, scale, b.centreY - b.halfWidth, scale,
                      b.xPivot, b.yPivot};
}

class BoundaryCrossCheck : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { resetFractalState(); }
};

TEST_P(BoundaryCrossCheck, AllEntryPointsMatchTheReference) {
    const int type = GetParam();
    const KernelView v = boundaryKernelView(type);
    useView(v);
    for (int row : BOUNDARY_VIEWS[type].rows) {
        const std::vector<unsigned char> expected = refRow(type, v, row);
        std::vector<unsigned char> scalar((size_t)v.width), fastest((size_t)v.width);
        computeRowScalar(type, v, row, scalar.data());
        computeRow(type, v, row, fastest.data());
        EXPECT_EQ(firstDifference(scalar, expected), -1) << "computeRowScalar, row " << row;
        EXPECT_EQ(firstDifference(fastest, expected), -1) << "computeRow, row " << row;
        EXPECT_EQ(firstDifference(coreRow(type, row), expected), -1) << "program kernel, row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, BoundaryCrossCheck, ::testing::Range(0, (int)FRACTAL_TYPES),
                         [](const ::testing::TestParamInfo<int> &info) { return std::string(TYPE_TAGS[info.param]); });

// The views above must really reach the cases they are named for, or the
// cross-check proves less than it claims.
TEST(KernelCrossCheckViews, HugePivotProducesNotANumberOrbits) {
    const KernelView v = crossCheckViews()[5].view;
    ASSERT_EQ(std::string(crossCheckViews()[5].name), "HugePivot");
    // z0 = -1.2 + 0.5i under the J-Dragon rule.
    const double zr = -1.2, zi = 0.5;
    const double a = (zi * zi - zr * zr) + zr, b = 2.0 * (zr * zi) - zi;
    const double nr = v.xPivot * a + v.yPivot * b, ni = v.yPivot * a - v.xPivot * b;
    EXPECT_TRUE(isnan(nr * nr + ni * ni));
}

// A type number past the table's ends draws what J-Cosh draws, on every path.
TEST(KernelTypes, ANumberOutsideTheTableIsJCosh) {
    const KernelView v = crossCheckViews()[1].view;
    std::vector<unsigned char> want((size_t)v.width), got((size_t)v.width);
    computeRowScalar(J_COSH_TYPE, v, 333, want.data());
    for (int type : {-1, (int)FRACTAL_TYPES, 1000}) {
        computeRowScalar(type, v, 333, got.data());
        EXPECT_EQ(firstDifference(got, want), -1) << "type " << type;
        computeRow(type, v, 333, got.data());
        EXPECT_EQ(firstDifference(got, want), -1) << "type " << type;
    }
}

TEST(KernelCrossCheckViews, EveryTypeSeesMoreThanOneValue) {
    // A reference row that is all one value would hide most faults.
    const NamedView zoomed = crossCheckViews()[2];
    ASSERT_EQ(std::string(zoomed.name), "Zoomed");
    for (int type = 0; type < FRACTAL_TYPES; ++type) {
        bool varied = false;
        for (int row : zoomed.rows) {
            const std::vector<unsigned char> r = refRow(type, zoomed.view, row);
            for (unsigned char c : r) varied = varied || c != r[0];
        }
        const NamedView wide = crossCheckViews()[1];
        for (int row : wide.rows) {
            const std::vector<unsigned char> r = refRow(type, wide.view, row);
            for (unsigned char c : r) varied = varied || c != r[0];
        }
        EXPECT_TRUE(varied) << "type " << type;
    }
}

}  // namespace
