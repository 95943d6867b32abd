// Every kernel path against the plain loop (computeRowScalar), byte for byte.
//
// The paths are SCALAR (cycle detection, all ten types), SSE2, AVX2 and
// AVX512 (lanes for the polynomial types, the scalar path for the rest);
// each test runs once per path and is skipped, with a message, where the
// processor lacks the path. With detail <= 255 every count has its own grid
// value, so those views compare counts exactly; at 5000 the grid value is
// what the contract promises, and CountsAgree compares the counts as well.
#include <gtest/gtest.h>

#include <math.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include <complex>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/interior_proof.h"
#include "core/kernel_steps.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"
#include "core/kernels_simd_isa.h"
#include "core/state.h"

namespace {

const std::vector<int> ALL_TYPES = {MANDELBROT_TYPE, JULIA_TYPE,    M_DRAGON_TYPE, J_DRAGON_TYPE,
                                    M_PHOENIX_TYPE,  J_PHOENIX_TYPE, M_COSINE_TYPE, J_COSINE_TYPE,
                                    M_COSH_TYPE,     J_COSH_TYPE};
const std::vector<int> POLYNOMIAL_TYPES = {MANDELBROT_TYPE, JULIA_TYPE,     M_DRAGON_TYPE,
                                           J_DRAGON_TYPE,   M_PHOENIX_TYPE, J_PHOENIX_TYPE};
const std::vector<int> TRIGONOMETRIC_TYPES = {M_COSINE_TYPE, J_COSINE_TYPE, M_COSH_TYPE, J_COSH_TYPE};

const char *const TYPE_NAMES[] = {"Mandelbrot", "Julia",    "M-Dragon", "J-Dragon", "M-Phoenix",
                                  "J-Phoenix",  "M-Cosine", "J-Cosine", "M-Cosh",   "J-Cosh"};

// A view over [x0, x1) x [y0, y1) with width columns and as many rows.
KernelView viewOf(double x0, double x1, double y0, double y1, int width, int detail,
                  double px = 0.0, double py = 0.0) {
    return KernelView{width, detail, x0, (x1 - x0) / width, y0, (y1 - y0) / width, px, py};
}

KernelView centred(double cx, double cy, double size, int width, int detail, double px = 0.0,
                   double py = 0.0) {
    return viewOf(cx - size / 2, cx + size / 2, cy - size / 2, cy + size / 2, width, detail, px, py);
}

std::string describe(int type, const KernelView &v, int row) {
    char text[320];
    snprintf(text, sizeof text,
             "%s row %d: width %d detail %d x %.17g + i * %.17g, y %.17g + r * %.17g, pivot %.17g %+.17gi",
             TYPE_NAMES[type], row, v.width, v.detail, v.xStart, v.xScale, v.yStart, v.yScale,
             v.xPivot, v.yPivot);
    return text;
}

// The plain loop's row, computed once per type, view and row.
const std::vector<unsigned char> &plainRow(int type, const KernelView &v, int row) {
    static std::map<std::string, std::vector<unsigned char>> rows;
    char key[200];
    snprintf(key, sizeof key, "%d %d %d %d %a %a %a %a %a %a", type, row, v.width, v.detail,
             v.xStart, v.xScale, v.yStart, v.yScale, v.xPivot, v.yPivot);
    std::vector<unsigned char> &bytes = rows[key];
    if (bytes.empty()) {
        bytes.resize(v.width);
        computeRowScalar(type, v, row, bytes.data());
    }
    return bytes;
}

class KernelPaths : public ::testing::TestWithParam<KernelPath> {
protected:
    void SetUp() override {
        if (!kernelPathAvailable(GetParam()))
            GTEST_SKIP() << "this processor has no " << kernelPathName(GetParam()) << " path";
    }

    // The row on this path equals the plain loop's, writes nothing past the
    // row and returns the pointer one past it.
    void expectRow(int type, const KernelView &v, int row) {
        const std::vector<unsigned char> &want = plainRow(type, v, row);
        std::vector<unsigned char> got(v.width + GUARD, 0xA5);
        const unsigned char *end = computeRowWith(GetParam(), type, v, row, got.data());
        ASSERT_EQ(end, got.data() + v.width) << describe(type, v, row);
        for (int i = 0; i < GUARD; ++i)
            ASSERT_EQ(got[v.width + i], 0xA5) << "wrote past the row: " << describe(type, v, row);
        int wrong = 0;
        for (int i = 0; i < v.width && wrong < 5; ++i)
            if (got[i] != want[i]) {
                ADD_FAILURE() << describe(type, v, row) << ", column " << i << ": got "
                              << (int)got[i] << ", the plain loop " << (int)want[i];
                ++wrong;
            }
    }

    void expectRows(const KernelView &v, const std::vector<int> &rows,
                    const std::vector<int> &types = ALL_TYPES) {
        for (int type : types)
            for (int row : rows)
                expectRow(type, v, row);
    }

    // The path's counts and orbit ends equal the plain loop's, the ends bit
    // for bit (NaN parts: NaN on both).
    void expectEnds(int type, const KernelView &v, int row) {
        std::vector<int> want(v.width), got(v.width, -1);
        std::vector<OrbitEnd> wantEnds(v.width), gotEnds(v.width, OrbitEnd{1, 2, 3, 4});
        countRowEndsWith(PLAIN_PATH, type, v, row, want.data(), wantEnds.data());
        countRowEndsWith(GetParam(), type, v, row, got.data(), gotEnds.data());
        int wrong = 0;
        for (int i = 0; i < v.width && wrong < 5; ++i) {
            const OrbitEnd &a = gotEnds[i], &b = wantEnds[i];
            if (got[i] != want[i] || !sameBits(a.zr, b.zr) || !sameBits(a.zi, b.zi) || !sameBits(a.pr, b.pr) ||
                !sameBits(a.pi, b.pi)) {
                ADD_FAILURE() << describe(type, v, row) << ", column " << i << ": count " << got[i] << " end "
                              << a.zr << " " << a.zi << " " << a.pr << " " << a.pi << ", the plain loop "
                              << want[i] << " end " << b.zr << " " << b.zi << " " << b.pr << " " << b.pi;
                ++wrong;
            }
        }
    }

    static bool sameBits(double a, double b) {
        return (isnan(a) && isnan(b)) || memcmp(&a, &b, sizeof a) == 0;
    }

    void expectEveryRow(const KernelView &v, int step) {
        for (int type : ALL_TYPES)
            for (int row = 0; row < v.width; row += step)
                expectRow(type, v, row);
    }

    enum { GUARD = 64 };
};

TEST_P(KernelPaths, DefaultView) {
    expectEveryRow(viewOf(-5, 5, -5, 5, 800, 50), 3);
}

// Deep views at detail 5000: the interiors here are where cycle detection
// ends orbits early, the boundaries where orbits run long and lanes refill.
// The cosine and cosh types cost the plain loop far more per row, so they
// get the two views where their orbits are varied.
TEST_P(KernelPaths, DeepViews) {
    const KernelView square = viewOf(-0.75, -0.65, 0.1, 0.2, 800, 5000);
    const KernelView julia = viewOf(-2, 2, -2, 2, 800, 5000, -0.8, 0.156);
    const KernelView phoenix = viewOf(-2, 2, -2, 2, 800, 5000, 0.56667, -0.5);
    expectRows(square, {0, 400}, POLYNOMIAL_TYPES);
    expectRows(julia, {300, 420}, POLYNOMIAL_TYPES);
    expectRows(phoenix, {380, 400}, POLYNOMIAL_TYPES);
    expectRows(centred(-0.743643887037158, 0.131825904205312, 1e-10, 800, 5000), {0, 400},
               POLYNOMIAL_TYPES);                                                     // seahorse
    expectRows(centred(-0.1225, 0.7449, 0.05, 800, 5000), {200, 400}, POLYNOMIAL_TYPES);  // period 3
    expectRows(centred(0.2501, 0.0, 0.0004, 800, 5000, 0.26, 0.0015), {400}, POLYNOMIAL_TYPES);
    expectRows(julia, {400}, TRIGONOMETRIC_TYPES);
    expectRows(phoenix, {400}, TRIGONOMETRIC_TYPES);
}

// Grids whose points are exact multiples of 1/8: orbits that land exactly on
// |z| = 2 (the point -2, the start value 2, 2i) must not escape there.
TEST_P(KernelPaths, EscapeRadiusExactly) {
    for (int detail : {1, 2, 50, 255}) {
        const KernelView v = viewOf(-2.5, 2.5, -2.5, 2.5, 40, detail);
        for (int row = 0; row < 40; ++row)
            for (int type : ALL_TYPES)
                expectRow(type, v, row);
        const KernelView pivotOnCircle = viewOf(-2.5, 2.5, -2.5, 2.5, 40, detail, -2.0, 0.0);
        for (int type : ALL_TYPES)
            expectRow(type, pivotOnCircle, 20);
    }
}

// What untested runs rest on (core/kernels_simd_isa.h), where it is
// tightest: |z| a rounding or so past 2, and c as large as allowed, against
// z^2 or anywhere. Every later iterate must stay above the limit.
TEST(UntestedRuns, AnOrbitThatFailedNeverComesBackBelowTheLimit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int tried = 0;
    for (int k = 0; k < 100000; ++k) {
        const double angle = 2.0 * M_PI * unit(random);
        const double radius = 2.0 * (1.0 + (k % 8 - 3) * 0x1p-52 + (k % 16 < 8 ? 0.0 : unit(random) * 1e-9));
        double zr = radius * cos(angle), zi = radius * sin(angle);
        if (zr * zr + zi * zi <= 4.0)
            continue;
        const double toward = 2.0 * angle + M_PI + (k & 1 ? 2.0 * M_PI * unit(random) : 0.0);
        double size = sqrt(UNTESTED_C_LIMIT) * (k % 3 ? 1.0 : unit(random)), cr, ci;
        do {
            cr = size * cos(toward), ci = size * sin(toward), size = nextafter(size, 0.0);
        } while (!(cr * cr + ci * ci <= UNTESTED_C_LIMIT));
        ++tried;
        for (int step = 1; step <= 40; ++step) {
            const double zr2 = zr * zr, zi2 = zi * zi, zri = zr * zi;
            zr = zr2 - zi2 + cr, zi = zri + zri + ci;
            ASSERT_FALSE(zr * zr + zi * zi <= UNTESTED_PASS_LIMIT)
                << "c " << cr << " " << ci << ", " << step << " steps after failing at |z| " << radius;
        }
    }
    EXPECT_GT(tried, 40000);
}

// Orbits that overflow to infinity, and to NaN (inf - inf, 0 * inf).
TEST_P(KernelPaths, HugeViewsOverflow) {
    for (double size : {1e150, 1e155, 1e200, 1e300, 1.7e308}) {
        expectRows(viewOf(-size, size, -size, size, 64, 50, size / 3, -size / 7), {0, 31, 32, 63});
        expectRows(viewOf(-size, size, -size, size, 64, 5000), {17});
    }
    const double inf = INFINITY, nan = NAN;
    expectRows(viewOf(-5, 5, -5, 5, 16, 50, nan, 0.0), {8});
    expectRows(viewOf(-5, 5, -5, 5, 16, 50, inf, -inf), {8});
}

// Limits that end the lanes' last block of steps at every position.
TEST_P(KernelPaths, LimitsOneToFiveThousand) {
    for (int detail : {1, 2, 3, 16, 17, 23, 24, 25, 31, 32, 33, 64, 65, 255})
        expectRows(viewOf(-2.2, 1.0, -1.6, 1.6, 100, detail, -0.4, 0.6), {10, 50, 73});
    expectRows(viewOf(-2.2, 1.0, -1.6, 1.6, 100, 5000, -0.4, 0.6), {50});
    // Limits whose grid values' reciprocal comes nearest 2^32, up to the
    // largest detail there is: just right of the cusp at 1/4 the counts run
    // from about a million to the limit.
    for (int detail : {(1 << 23) + 1, 0x7fffffff / 255})
        expectRows(viewOf(0.25 + 1e-13, 0.25 + 1e-11, 0.0, 1.0, 8, detail), {0}, {MANDELBROT_TYPE});
}

// The real axis just right of the cusp at 1/4: counts fall smoothly from
// over 200 to 7, every count from 7 to 50 among them, so orbits escape at
// every step of the first blocks of steps the vector paths take (and at
// scattered steps later); with the row mirrored the lanes finish in the
// opposite order. Left of the cusp the orbits never escape (a cycle check
// ends them), mixing lanes that run to the end with lanes that escape.
TEST_P(KernelPaths, EscapesAtEveryStepOfABlock) {
    const KernelView right = viewOf(0.2502, 0.40, 0.0, 0.0, 1000, 400);
    std::vector<int> counts(right.width);
    countRowWith(PLAIN_PATH, MANDELBROT_TYPE, right, 0, counts.data());
    std::vector<bool> seen(right.detail + 1);
    for (int j : counts)
        seen[j] = true;
    for (int j = 7; j <= 50; ++j)
        ASSERT_TRUE(seen[j]) << "no cell of the view escapes after " << j << " steps";
    KernelView mirrored = right;
    mirrored.xStart = 0.40, mirrored.xScale = -right.xScale;
    expectRows(right, {0}, POLYNOMIAL_TYPES);
    expectRows(mirrored, {0}, POLYNOMIAL_TYPES);
    expectRows(viewOf(0.2, 0.3, -0.0001, 0.0001, 1000, 400, 0.2501, 0.0), {0, 500}, POLYNOMIAL_TYPES);
    expectRows(viewOf(0.3, 0.2, 0.0, 0.0, 777, 3000, 0.26, 0.0), {0}, POLYNOMIAL_TYPES);
}

// Widths that leave partial vectors, and rows longer than the engine's chunks.
TEST_P(KernelPaths, WidthsLeavingPartialVectors) {
    for (int width : {1, 2, 3, 5, 7, 9, 31, 33, 799, 1025, 2100}) {
        const KernelView v = viewOf(-2, 1, -1.5, 1.5, width, 200, 0.285, 0.01);
        for (int type : ALL_TYPES)
            expectRow(type, v, width / 2);
    }
}

// Zeros of both signs: -0.0 starts and negative scales give -0.0 constants,
// which compare equal to +0.0 in the cycle check.
TEST_P(KernelPaths, SignedZeros) {
    const KernelView v = {64, 200, -0.0, -1.0 / 32, -0.0, -1.0 / 32, -0.0, -0.0};
    expectRows(v, {0, 1, 32});
    const KernelView flipped = {64, 200, 1.0, -1.0 / 32, 1.0, -1.0 / 32, 0.0, -0.0};
    expectRows(flipped, {0, 32, 63});
}

// Seeded random views, limits and pivots: centres in the interesting part of
// the plane, sizes from 1e-12 to 10.
TEST_P(KernelPaths, RandomViewsAndPivots) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> coordinate(-2.0, 2.0), exponent(-12.0, 1.0);
    std::uniform_int_distribution<int> detail(1, 400), width(1, 300), type(0, 9);
    for (int k = 0; k < 120; ++k) {
        const double cx = coordinate(random), cy = coordinate(random) * 0.75;
        const double size = pow(10.0, exponent(random));
        const double px = coordinate(random) * 0.6, py = coordinate(random) * 0.6;
        const int limit = detail(random), columns = width(random);  // one draw a statement: the same cases on any compiler
        const KernelView v = centred(cx, cy, size, columns, limit, px, py);
        const int t = type(random);
        expectRow(t, v, v.width / 3);
        expectRow(t, v, v.width - 1);
    }
}

// The counts behind the grid values agree with the scalar path's at a limit
// where many counts share a grid value.
TEST_P(KernelPaths, CountsAgreeWithScalarPath) {
    const KernelView views[] = {viewOf(-0.75, -0.65, 0.1, 0.2, 800, 5000),
                                viewOf(-2, 2, -2, 2, 800, 5000, -0.8, 0.156)};
    for (const KernelView &v : views)
        for (int type = MANDELBROT_TYPE; type <= J_PHOENIX_TYPE; ++type) {
            const int row = 410;
            std::vector<int> want(v.width), got(v.width);
            countRowWith(SCALAR_PATH, type, v, row, want.data());
            countRowWith(GetParam(), type, v, row, got.data());
            for (int i = 0; i < v.width; ++i)
                ASSERT_EQ(got[i], want[i]) << describe(type, v, row) << ", column " << i;
        }
}

// Orbit ends (for smooth colouring) on the views above: escapes in every
// block position, in the screen and in both engines, cycles and limits (ends
// 0), overflow to infinity and NaN, all ten types on the scalar path.
TEST_P(KernelPaths, OrbitEndsMatchThePlainLoop) {
    const KernelView wide = viewOf(-5, 5, -5, 5, 800, 50);
    const KernelView square = viewOf(-0.75, -0.65, 0.1, 0.2, 800, 2000);
    const KernelView phoenix = viewOf(-2, 2, -2, 2, 800, 2000, 0.56667, -0.5);
    const KernelView cusp = viewOf(0.2502, 0.40, 0.0, 0.0, 1000, 400);
    const KernelView huge = viewOf(-1e300, 1e300, -1e300, 1e300, 64, 50, 1e300 / 3, -1e300 / 7);
    for (int type : ALL_TYPES) {
        expectEnds(type, wide, 400);
        expectEnds(type, phoenix, 400);
        expectEnds(type, huge, 31);
    }
    for (int type : POLYNOMIAL_TYPES) {
        for (int row : {0, 177, 250, 333})
            expectEnds(type, wide, row);
        expectEnds(type, square, 400);
        expectEnds(type, cusp, 0);
        expectEnds(type, viewOf(-5, 5, -5, 5, 16, 50, NAN, 0.0), 8);
        // Three chunks of cells (1024 each) and a ragged last vector: ends
        // are found again from each cell's own place in the row.
        expectEnds(type, viewOf(-2.2, 1.1, -1.65, 1.65, 2053, 300, 0.3, -0.6), 1000);
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> coordinate(-2.0, 2.0), exponent(-8.0, 1.0);
    std::uniform_int_distribution<int> detail(1, 400), type(0, 5);
    for (int k = 0; k < 40; ++k) {
        const double size = pow(10.0, exponent(random));
        const double py = coordinate(random) * 0.6, px = coordinate(random) * 0.6;  // one draw a statement
        const int limit = detail(random);
        const double cy = coordinate(random) * 0.75, cx = coordinate(random);
        expectEnds(type(random), centred(cx, cy, size, 300, limit, px, py), 100);
    }
}

// The interior proof's tries, as the kernels make them (one test at a time).
std::vector<std::pair<FractalRule, CaptureTry>> provenTries;
long capturedTries;
void noteTry(FractalRule rule, const CaptureTry &t, bool proven) {
    ++capturedTries;
    if (proven)
        provenTries.push_back({rule, t});
}

// The plain loop's test of z and, if it passes, its step of a polynomial rule.
bool stepOrbit(FractalRule rule, double c0, double c1, Orbit &z) {
    const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
    if (!(zr2 + zi2 <= 4.0))
        return false;
    if (rule == QUADRATIC_RULE)
        Quadratic{c0, c1}(z, zr2, zi2);
    else if (rule == DRAGON_RULE)
        Dragon{c0, c1}(z, zr2, zi2);
    else
        Phoenix{c0, c1}(z, zr2, zi2);
    return true;
}

// Whether the plain loop's orbit from the try's state passes `steps` more tests.
bool passesOnward(FractalRule rule, const CaptureTry &t, int steps) {
    Orbit z = {t.zr, t.zi, t.pr, t.pi};
    for (int n = 0; n < steps; ++n)
        if (!stepOrbit(rule, t.cr, t.ci, z))
            return false;
    return true;
}

// Minibrot, cardioid and disc interiors with their edges, shallow and at
// width 2e-6: counts as the plain loop's, cell for cell, while the proof
// ends many interior cells (most of the rest end on exact repeats first);
// and every orbit proven captured still passes 20000 steps after its try.
TEST_P(KernelPaths, InteriorProofKeepsThePlainLoopsCounts) {
    const double period5 = -1.9854242530542052;  // the nucleus of a period-5 minibrot
    const struct {
        int type;
        KernelView view;
    } cases[] = {
        {MANDELBROT_TYPE, centred(-0.2, 0.0, 1.3, 64, 5000)},   {MANDELBROT_TYPE, centred(-1.0, 0.0, 0.55, 64, 5000)},
        {MANDELBROT_TYPE, centred(-1.7549, 0.0, 0.04, 64, 5000)}, {MANDELBROT_TYPE, centred(period5, 0.0, 2e-4, 64, 5000)},
        {MANDELBROT_TYPE, centred(period5 + 1e-5, 3e-6, 2e-6, 64, 5000)},
        {JULIA_TYPE, centred(0.0, 0.0, 3.0, 64, 5000, -1.0, 0.0)}, {JULIA_TYPE, centred(0.0, 0.0, 3.0, 64, 5000, -0.123, 0.745)},
        {M_DRAGON_TYPE, centred(1.0, 0.0, 4.0, 64, 5000)},       {J_DRAGON_TYPE, centred(0.5, 0.0, 2.0, 64, 5000, 0.8, 0.6)},
        {M_PHOENIX_TYPE, centred(-0.3, 0.0, 1.4, 64, 5000)},     {J_PHOENIX_TYPE, centred(0.0, 0.0, 3.0, 64, 5000, 0.56667, -0.5)},
    };
    provenTries.clear();
    capturedTries = 0;
    watchCaptureTries(noteTry);
    int interior = 0;
    for (const auto &c : cases)
        for (int row = 1; row < 64; row += 4) {
            std::vector<int> want(64), got(64);
            countRowWith(PLAIN_PATH, c.type, c.view, row, want.data());
            countRowWith(GetParam(), c.type, c.view, row, got.data());
            for (int i = 0; i < 64; ++i) {
                EXPECT_EQ(got[i], want[i]) << describe(c.type, c.view, row) << ", column " << i;
                interior += want[i] == 5000;
            }
        }
    watchCaptureTries(nullptr);
    EXPECT_GT((long)provenTries.size(), interior / 5) << capturedTries << " tries, " << interior << " cells at the limit";
    for (const auto &p : provenTries)
        ASSERT_TRUE(passesOnward(p.first, p.second, 20000))
            << "rule " << p.first << ": z " << p.second.zr << " " << p.second.zi << ", c " << p.second.cr << " "
            << p.second.ci;
}

// Orbits that escape, of parameters just outside the main cardioid and the
// period-2 disc (for the Dragons, a multiplier just outside the unit circle)
// and of Phoenixes near their set's edge: tried far more often than the
// kernels would (every fifth state, eleven lags), the proof never holds.
TEST(InteriorProof, NeverHoldsForAnOrbitThatEscapes) {
    std::mt19937_64 random(28);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int escaped = 0;
    for (int k = 0; k < 240; ++k) {
        const FractalRule rule = k % 4 < 2 ? QUADRATIC_RULE : k % 4 == 2 ? DRAGON_RULE : PHOENIX_RULE;
        const double angle = 2 * M_PI * unit(random), beyond = pow(10.0, -2.0 - 8.0 * unit(random));  // one draw a statement
        const std::complex<double> mu = std::polar(1.0 + beyond, angle);
        const double phoenixIm = -0.6 + 1.2 * unit(random), phoenixRe = -1.5 + 2.0 * unit(random);
        const std::complex<double> phoenix(phoenixRe, phoenixIm);
        const std::complex<double> c = k % 4 == 0 ? mu / 2.0 - mu * mu / 4.0 : k % 4 == 1 ? -1.0 + 0.25 * mu
                                     : k % 4 == 2 ? mu : phoenix;
        std::vector<Orbit> orbit = {Orbit{rule == DRAGON_RULE ? 0.5 : 0.0, 0.0, 0.0, 0.0}};
        for (Orbit z = orbit[0]; orbit.size() < 20000 && stepOrbit(rule, c.real(), c.imag(), z);)
            orbit.push_back(z);
        if (orbit.size() >= 20000)
            continue;  // not seen to escape
        ++escaped;
        for (size_t n = 16; n < orbit.size(); n += 5)
            for (int lag : {1, 2, 3, 4, 5, 6, 8, 12, 16, 32, 64}) {
                if (lag > (int)n)
                    break;
                const Orbit &a = orbit[n], &b = orbit[n - lag];
                const double d = fmax(fmax(fabs(a.zr - b.zr), fabs(a.zi - b.zi)), fmax(fabs(a.pr - b.pr), fabs(a.pi - b.pi)));
                if (d > 1.0 / 64)
                    continue;
                const CaptureTry t = {a.zr, a.zi, a.pr, a.pi, c.real(), c.imag(), d, lag, 1 << 20, 1};
                ASSERT_FALSE(captureProven(rule, t))
                    << "rule " << rule << ", c " << c << ", state " << n << " of " << orbit.size() << ", lag " << lag;
            }
    }
    EXPECT_GT(escaped, 60);
}

// Row workers run on small stacks (generate/row_workers.cpp); a path that
// keeps its cell lists on the stack again (about 100 KB) crashes here.
TEST_P(KernelPaths, RowsFitOnASmallStack) {
    struct Job {
        KernelPath path;
        std::vector<unsigned char> bytes[10];
        static void *run(void *arg) {
            Job &job = *(Job *)arg;
            const KernelView square = viewOf(-0.75, -0.65, 0.1, 0.2, 800, 2000);
            std::vector<int> counts(800);
            std::vector<OrbitEnd> ends(800);
            for (int type : ALL_TYPES) {
                job.bytes[type].resize(800);
                computeRowWith(job.path, type, square, 400, job.bytes[type].data());
                countRowEndsWith(job.path, type, square, 400, counts.data(), ends.data());
            }
            return nullptr;
        }
    } job;
    job.path = GetParam();
    pthread_attr_t attr;
    pthread_t thread;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 48 * 1024), 0);
    ASSERT_EQ(pthread_create(&thread, &attr, Job::run, &job), 0);
    pthread_join(thread, nullptr);
    for (int type : ALL_TYPES)
        EXPECT_EQ(job.bytes[type], plainRow(type, viewOf(-0.75, -0.65, 0.1, 0.2, 800, 2000), 400));
}

INSTANTIATE_TEST_SUITE_P(Paths, KernelPaths,
                         ::testing::Values(SCALAR_PATH, SSE2_PATH, AVX2_PATH, AVX512_PATH),
                         [](const ::testing::TestParamInfo<KernelPath> &info) {
                             return std::string(kernelPathName(info.param));
                         });

TEST(KernelDispatch, ChoosesAnAvailablePathAndMatchesThePlainLoop) {
    const KernelPath path = fastestKernelPath();
    EXPECT_TRUE(kernelPathAvailable(path)) << kernelPathName(path);
    EXPECT_NE(path, PLAIN_PATH);
    const KernelView v = viewOf(-2, 2, -2, 2, 800, 1000, -0.8, 0.156);
    std::vector<unsigned char> got(v.width);
    for (int type : ALL_TYPES) {
        EXPECT_EQ(computeRow(type, v, 410, got.data()), got.data() + v.width);
        EXPECT_EQ(got, plainRow(type, v, 410)) << describe(type, v, 410);
    }
}

TEST(KernelDispatch, PlainAndScalarAlwaysAvailable) {
    EXPECT_TRUE(kernelPathAvailable(PLAIN_PATH));
    EXPECT_TRUE(kernelPathAvailable(SCALAR_PATH));
#if defined(__x86_64__)
    EXPECT_TRUE(kernelPathAvailable(SSE2_PATH));
#else
    EXPECT_FALSE(kernelPathAvailable(SSE2_PATH));
#endif
}

// The reference ends are the plain loop's: its counts are the grid's, and
// cells worked by hand end where they should.
TEST(KernelDispatch, PlainOrbitEndsAreThePlainLoops) {
    const KernelView v = viewOf(-5, 5, -5, 5, 800, 50);
    std::vector<int> counts(800);
    std::vector<OrbitEnd> ends(800);
    for (int type : ALL_TYPES) {
        countRowEndsWith(PLAIN_PATH, type, v, 400, counts.data(), ends.data());
        for (int i = 0; i < 800; ++i)
            ASSERT_EQ((int)gridValue(counts[i], 50), plainRow(type, v, 400)[i]) << describe(type, v, 400) << i;
    }
    auto expectEnd = [&](int type, int row, int column, int count, double zr, double zi, double pr) {
        countRowEndsWith(PLAIN_PATH, type, v, row, counts.data(), ends.data());
        const OrbitEnd &e = ends[column];
        EXPECT_TRUE(counts[column] == count && e.zr == zr && e.zi == zi && e.pr == pr && e.pi == 0.0)
            << describe(type, v, row) << ", column " << column << ": count " << counts[column] << " end " << e.zr
            << " " << e.zi << " " << e.pr << " " << e.pi;
    };
    expectEnd(MANDELBROT_TYPE, 0, 0, 1, -5.0, -5.0, 0.0);  // z1 = c = -5 - 5i fails
    expectEnd(M_PHOENIX_TYPE, 0, 0, 1, -5.0, 0.0, 0.0);    // z1 = -5 + 0i, after z0 = 0
    expectEnd(JULIA_TYPE, 0, 0, 0, -5.0, -5.0, 0.0);       // z0 itself fails
    expectEnd(M_COSH_TYPE, 400, 400, 2, cosh(1.0) * cosh(1.0), 0.0, 0.0);  // z1 = 1, z2 = cosh(1)^2
    expectEnd(MANDELBROT_TYPE, 400, 400, 50, 0.0, 0.0, 0.0);                // at the limit: 0
}

// Limits below 1 break the count encoding; every path leaves them to the plain loop.
TEST(KernelDispatch, LimitBelowOneGivesThePlainLoopsBytes) {
    const KernelView v = viewOf(-5, 5, -5, 5, 16, -3);
    std::vector<unsigned char> want(16), got(16);
    computeRowScalar(MANDELBROT_TYPE, v, 3, want.data());
    for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p) {
        computeRowWith((KernelPath)p, MANDELBROT_TYPE, v, 3, got.data());
        EXPECT_EQ(got, want) << kernelPathName((KernelPath)p);
    }
}

// Benchmarks compare a whole Make on the plain loop against the fastest path
// through this override: the dispatcher must follow it, refuse a path the
// processor lacks, and go back to the fastest path once it is cleared.
TEST(KernelDispatch, OverrideSteersComputeRowUntilCleared) {
    const KernelPath fastest = fastestKernelPath();
    const KernelView v = viewOf(-2, 2, -2, 2, 800, 1000, -0.8, 0.156);
    std::vector<unsigned char> got(v.width);

    ASSERT_TRUE(overrideKernelPath(PLAIN_PATH));
    EXPECT_EQ(fastestKernelPath(), PLAIN_PATH);
    for (int type : ALL_TYPES) {
        EXPECT_EQ(computeRow(type, v, 410, got.data()), got.data() + v.width);
        EXPECT_EQ(got, plainRow(type, v, 410)) << describe(type, v, 410);
    }
    for (int p = SCALAR_PATH; p < KERNEL_PATHS; ++p)
        if (!kernelPathAvailable((KernelPath)p)) {
            EXPECT_FALSE(overrideKernelPath((KernelPath)p)) << kernelPathName((KernelPath)p);
            EXPECT_EQ(fastestKernelPath(), PLAIN_PATH);
        }
    EXPECT_FALSE(overrideKernelPath(KERNEL_PATHS));
    EXPECT_EQ(fastestKernelPath(), PLAIN_PATH);

    clearKernelPathOverride();
    EXPECT_EQ(fastestKernelPath(), fastest);
    EXPECT_NE(fastestKernelPath(), PLAIN_PATH);
    computeRow(MANDELBROT_TYPE, v, 410, got.data());
    EXPECT_EQ(got, plainRow(MANDELBROT_TYPE, v, 410));
}

}  // namespace
