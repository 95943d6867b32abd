// The deep engine against the truth: escape counts from perturbation equal
// those of the program's loop carried out in MPFR at a precision far above
// the depth's needs, for sampled cells from width 1e-12 to below the
// doubles' range, also when a picture is drawn against the reference of a
// deeper one (a dive's frames); the tables change no count; the location
// file; the locations of a dive's frames.
#include <gtest/gtest.h>
#include <mpfr.h>
#include <stdio.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>

#include "core/kernels.h"
#include "core/state.h"
#include "files/atomic_write.h"
#include "deep/perturb.h"
#include "deep/deep_view.h"

namespace {

struct Truth {
    int count;
    double margin;  // least | |z_n|^2 / 4 - 1 | over the orbit: how near it came to the radius
};

// The program's loop on z in MPFR for the cell at centre + (dx, dy), the
// offsets taken exactly as the picture defines them.
Truth bruteForce(const DeepLocation &loc, int W, int H, int row, int col, long bits) {
    mpfr_t cr, ci, zr, zi, pr, pi, t, u, s;
    mpfr_inits2(bits, cr, ci, zr, zi, pr, pi, t, u, s, (mpfr_ptr)0);
    mpfr_set_str(t, loc.width.c_str(), 10, MPFR_RNDN);
    mpfr_mul_si(u, t, 2 * col - W, MPFR_RNDN);
    mpfr_div_si(u, u, 2 * W, MPFR_RNDN);
    mpfr_set_str(cr, loc.re.c_str(), 10, MPFR_RNDN);
    mpfr_add(cr, cr, u, MPFR_RNDN);
    mpfr_mul_si(u, t, 2 * row - H, MPFR_RNDN);
    mpfr_div_si(u, u, 2 * W, MPFR_RNDN);
    mpfr_set_str(ci, loc.im.c_str(), 10, MPFR_RNDN);
    mpfr_add(ci, ci, u, MPFR_RNDN);
    mpfr_set_str(pr, loc.pivotRe.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(pi, loc.pivotIm.c_str(), 10, MPFR_RNDN);
    const bool mKind = loc.type % 2 == 0, dragon = loc.type >= M_DRAGON_TYPE;
    if (mKind) {  // the point is the constant
        mpfr_swap(pr, cr), mpfr_swap(pi, ci);
        mpfr_set_d(zr, dragon ? 0.5 : 0.0, MPFR_RNDN), mpfr_set_zero(zi, 1);
    } else {
        mpfr_set(zr, cr, MPFR_RNDN), mpfr_set(zi, ci, MPFR_RNDN);
    }
    Truth truth = {loc.detail, 1.0};
    for (int n = 0; n < loc.detail; ++n) {
        mpfr_sqr(t, zr, MPFR_RNDN);
        mpfr_fma(t, zi, zi, t, MPFR_RNDN);
        const double q = mpfr_get_d(t, MPFR_RNDN) / 4.0;
        if (fabs(q - 1.0) < truth.margin) truth.margin = fabs(q - 1.0);
        if (mpfr_cmp_ui(t, 4) > 0) {
            truth.count = n;
            break;
        }
        if (dragon) {  // z (1 - z), then times L
            mpfr_ui_sub(t, 1, zr, MPFR_RNDN);
            mpfr_mul(u, zr, t, MPFR_RNDN);
            mpfr_fma(u, zi, zi, u, MPFR_RNDN);
            mpfr_mul(s, zi, t, MPFR_RNDN);
            mpfr_fms(s, zr, zi, s, MPFR_RNDN);  // zr zi - zi (1 - zr) = -(im)
            mpfr_neg(s, s, MPFR_RNDN);
            mpfr_mul(zr, pr, u, MPFR_RNDN);
            mpfr_fms(zr, pi, s, zr, MPFR_RNDN);
            mpfr_neg(zr, zr, MPFR_RNDN);
            mpfr_mul(zi, pr, s, MPFR_RNDN);
            mpfr_fma(zi, pi, u, zi, MPFR_RNDN);
        } else {
            mpfr_sqr(t, zr, MPFR_RNDN);
            mpfr_sqr(u, zi, MPFR_RNDN);
            mpfr_mul(zi, zr, zi, MPFR_RNDN);
            mpfr_mul_2ui(zi, zi, 1, MPFR_RNDN);
            mpfr_add(zi, zi, pi, MPFR_RNDN);
            mpfr_sub(zr, t, u, MPFR_RNDN);
            mpfr_add(zr, zr, pr, MPFR_RNDN);
        }
    }
    mpfr_clears(cr, ci, zr, zi, pr, pi, t, u, s, (mpfr_ptr)0);
    return truth;
}

DeepLocation place(int type, const char *re, const char *im, const char *width, int detail,
                   const char *pivotRe = "0", const char *pivotIm = "0") {
    return DeepLocation{type, detail, re, im, width, pivotRe, pivotIm};
}

std::unique_ptr<DeepEngine> engineFor(const DeepLocation &loc, int W, int H, int approximation = 1,
                                      int portable = 0) {
    std::unique_ptr<DeepEngine> e(new DeepEngine());
    e->approximation = approximation;
    e->portable = portable;
    EXPECT_EQ(REFERENCE_DONE, prepareDeepEngine(loc, W > H ? W : H, deepViewReach(deepViewOf(loc, loc, W, H)),
                                                nullptr, nullptr, nullptr, *e));
    return e;
}

// Cells on a scattered lattice of a W x H picture, compared one by one.
struct Tally {
    int cells = 0, equal = 0;
};

// The picture at `loc` is drawn against the reference at `from` (its own
// when null) as a dive's frames are.
void compareCells(const DeepLocation &loc, int samples, Tally &tally, const DeepLocation *from = nullptr) {
    const int W = 640, H = 360;
    DeepFrames frames;
    startDeepFrames(frames, from ? *from : loc, loc, W, 1);
    const DeepEngine *e = nullptr;
    DeepView v;
    ASSERT_EQ(REFERENCE_DONE, deepFrame(frames, loc, W, H, nullptr, nullptr, nullptr, &e, &v));
    EXPECT_FALSE(frames.own) << "the deeper picture's reference reaches this one";
    const long bits = referencePrecision(loc, W) + 128;
    for (int k = 0; k < samples; ++k) {
        const int row = (int)((k * 7919L) % H), col = (int)((k * 104729L + 13) % W);
        const int mine = deepSample(*e, v.re + v.width * ((double)(2 * col - W) / (2.0 * W)),
                                    v.im + v.width * ((double)(2 * row - H) / (2.0 * W))).count;
        const Truth t = bruteForce(loc, W, H, row, col, bits);
        ++tally.cells;
        if (mine == t.count) {
            ++tally.equal;
            continue;
        }
        printf("  %s width %s, cell (%d, %d): %d, MPFR %d; orbit within %.1e of the radius\n",
               FRACTAL_TYPE_NAMES[loc.type], loc.width.c_str(), row, col, mine, t.count, t.margin);
        EXPECT_LT(t.margin, 1e-9) << "a difference away from the escape radius";
    }
}

// c = i is preperiodic; the Dragons' L with L/2 - L^2/4 = i is 1 - sqrt(1 - 4i).
const char *const MIS_RE = "0", *const MIS_IM = "1";
const char *const DRAGON_L_RE = "-0.6004851804402408383178196414990427770970656383678952202096722815";
const char *const DRAGON_L_IM = "1.2496210676876531737592088948857028880104689128380046549403086293";
// The J-Dragon's point on its Julia set: 1/2 - i / L.
const char *const DRAGON_Z_RE = "-0.1501212951100602095794549103747606942742664095919738050524180704";
const char *const DRAGON_Z_IM = "0.3124052669219132934398022237214257220026172282095011637350771573";
const char *const VALLEY_RE = "-0.743643887037158704752191506114774", *const VALLEY_IM = "0.131825904205311970493132056385139";

TEST(DeepEngine, CountsEqualMpfrFromWidth1e12To1e40AndBeyondTheDoubles) {
    Tally tally;
    for (const char *w : {"1e-12", "3e-20", "1e-30", "2.5e-40", "1e-320", "1e-700"})
        compareCells(place(MANDELBROT_TYPE, MIS_RE, MIS_IM, w, 3000), 250, tally);
    for (const char *w : {"1e-12", "1e-16"}) compareCells(place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, w, 4000), 150, tally);
    // Inside and around the period-3 bulb's nucleus every orbit returns near 0: rebasing.
    compareCells(place(MANDELBROT_TYPE, "-1.754877666246692760049508896358528", "0", "1e-13", 1500), 150, tally);
    for (const char *w : {"1e-15", "1e-35"}) {
        compareCells(place(JULIA_TYPE, MIS_RE, MIS_IM, w, 3000, MIS_RE, MIS_IM), 150, tally);
        compareCells(place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, w, 3000), 150, tally);
        compareCells(place(J_DRAGON_TYPE, DRAGON_Z_RE, DRAGON_Z_IM, w, 3000, DRAGON_L_RE, DRAGON_L_IM), 150, tally);
    }
    // Frames of dives, against the reference of a deeper frame a few widths away.
    const DeepLocation deeper = place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-40", 3000);
    compareCells(place(MANDELBROT_TYPE, "3e-21", "1.000000000000000000002", "1e-20", 3000), 250, tally, &deeper);
    const DeepLocation deepest = place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, "1e-330", 3000);
    for (const char *w : {"1e-300", "1e-310"})  // deltas in doubles and in FloatExp, one orbit
        compareCells(place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, w, 3000), 150, tally, &deepest);
    printf("  %d of %d cells equal (%.3f %%)\n", tally.equal, tally.cells, 100.0 * tally.equal / tally.cells);
    EXPECT_GE(tally.equal, tally.cells * 0.999);
}

// Rows of a picture through deepSamples, and one sample at a time.
std::vector<int> rowCounts(const DeepEngine &e, const DeepLocation &loc, int W, int H, int row, bool batch) {
    std::vector<int> counts;
    std::vector<FloatExp> dx, dy;
    for (int col = 0; col < W; ++col) {
        dx.push_back(locationWidth(loc) * ((double)(2 * col - W) / (2.0 * W)));
        dy.push_back(locationWidth(loc) * ((double)(2 * row - H) / (2.0 * W)));
        if (!batch) counts.push_back(deepSample(e, dx.back(), dy.back()).count);
    }
    std::vector<DeepSample> s((size_t)W);
    if (batch) deepSamples(e, dx.data(), dy.data(), W, s.data());
    for (size_t k = 0; batch && k < s.size(); ++k) counts.push_back(s[k].count);
    return counts;
}

// Samples run together give the counts of samples run alone, and the
// vector path those of the portable one; the tables change no count where
// the cells are well conditioned (in noisy regions both are within a
// rounding of the truth, and may differ from each other).
TEST(DeepEngine, TheTablesTheBatchesAndTheVectorPathChangeNoCount) {
    const int W = 320, H = 180;
    for (const DeepLocation &loc : {place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, "1e-20", 6000),
                                    place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-300", 3000),
                                    place(JULIA_TYPE, MIS_RE, MIS_IM, "1e-30", 3000, MIS_RE, MIS_IM),
                                    place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, "1e-20", 3000)}) {
        std::unique_ptr<DeepEngine> on = engineFor(loc, W, H, 1), off = engineFor(loc, W, H, 0),
                                    portable = engineFor(loc, W, H, 1, 1);
        int differ = 0;
        for (int row = 0; row < H; row += 7) {
            const std::vector<int> a = rowCounts(*on, loc, W, H, row, true);
            EXPECT_EQ(a, rowCounts(*portable, loc, W, H, row, true)) << loc.width << " row " << row;
            EXPECT_EQ(a, rowCounts(*on, loc, W, H, row, false)) << loc.width << " row " << row;
            const std::vector<int> b = rowCounts(*off, loc, W, H, row, true);
            for (size_t k = 0; k < a.size(); ++k) differ += a[k] != b[k];
        }
        EXPECT_EQ(0, differ) << loc.width;
    }
}

TEST(DeepEngine, AStopEndsTheReferencePromptly) {
    std::atomic<int> stop{1};
    std::unique_ptr<DeepEngine> e(new DeepEngine());
    e->approximation = 1;
    const DeepLocation loc = place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, "1e-30", 8000000);
    EXPECT_EQ(REFERENCE_STOPPED, prepareDeepEngine(loc, 100, FloatExp::of(1e-30), &stop, nullptr, nullptr, *e));
    EXPECT_LE(e->ref.orbit[0].z.size(), 5000u);
}

// The table's deep column, and no number outside the table.
TEST(DeepEngine, DrawsTheMandelbrotJuliaAndDragonTypesOnly) {
    for (int type = -1; type <= FRACTAL_TYPES; ++type)
        EXPECT_EQ(deepTypeSupported(type), type >= MANDELBROT_TYPE && type <= J_DRAGON_TYPE) << type;
}

// ---- the location file ---------------------------------------------------------

// Frame k's width shrinks geometrically and the point the two ends put at
// the same place of the picture holds still, to every digit the frames need.
TEST(DeepDiveLocations, WidthsShrinkGeometricallyAboutOnePointThatHoldsStill) {
    const DeepLocation a = place(MANDELBROT_TYPE, "-0.5", "0", "4", 100);
    const DeepLocation b = place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, "7.1e-100", 100);
    const int frames = 41;
    const long bits = diveLocationBits(a, b, 1280);
    EXPECT_GT(bits, 330 + 11);
    EXPECT_EQ(a.re, locationBetween(a, b, 0, frames, bits).re);
    EXPECT_EQ(b.width, locationBetween(a, b, frames - 1, frames, bits).width);
    mpfr_t w, c, q, t;
    mpfr_inits2(1000, w, c, q, t, (mpfr_ptr)0);
    for (int k : {1, 20, 39}) {
        const DeepLocation f = locationBetween(a, b, k, frames, bits);
        mpfr_set_str(w, f.width.c_str(), 10, MPFR_RNDN);
        mpfr_set_str(q, "7.1e-100", 10, MPFR_RNDN);  // w_k = 4 (w1 / 4)^(k / 40)
        mpfr_div_ui(q, q, 4, MPFR_RNDN);
        mpfr_set_si(t, k, MPFR_RNDN);
        mpfr_div_si(t, t, frames - 1, MPFR_RNDN);
        mpfr_pow(q, q, t, MPFR_RNDN);
        mpfr_mul_ui(q, q, 4, MPFR_RNDN);
        mpfr_sub(t, w, q, MPFR_RNDN);
        mpfr_div(t, t, q, MPFR_RNDN);
        EXPECT_LT(fabs(mpfr_get_d(t, MPFR_RNDN)), 1e-90) << "width of frame " << k;
        // The still point s = c_k + w_k q with q = (c1 - c0) / (w0 - w1), the same for every frame.
        mpfr_set_str(q, VALLEY_RE, 10, MPFR_RNDN);
        mpfr_add_d(q, q, 0.5, MPFR_RNDN);
        mpfr_set_str(t, "7.1e-100", 10, MPFR_RNDN);
        mpfr_ui_sub(t, 4, t, MPFR_RNDN);
        mpfr_div(q, q, t, MPFR_RNDN);
        mpfr_set_str(c, f.re.c_str(), 10, MPFR_RNDN);
        mpfr_fma(t, q, w, c, MPFR_RNDN);  // s from frame k
        mpfr_mul_ui(q, q, 4, MPFR_RNDN);
        mpfr_sub_d(q, q, 0.5, MPFR_RNDN);  // s from frame 0
        mpfr_sub(t, t, q, MPFR_RNDN);
        mpfr_div(t, t, w, MPFR_RNDN);
        EXPECT_LT(fabs(mpfr_get_d(t, MPFR_RNDN)), 1e-12) << "the point swims at frame " << k << " (in widths)";
    }
    mpfr_clears(w, c, q, t, (mpfr_ptr)0);
}

std::string scratch(const char *name, const std::string &content) {
    const std::string path = std::string("/tmp/quorvex-deep-test-") + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST(DeepLocationFile, WrittenAndReadBackKeepsEveryDigit) {
    const DeepLocation loc = place(J_DRAGON_TYPE, DRAGON_Z_RE, DRAGON_Z_IM, "-.5e-3", 123456, "1e+2", "-0.000");
    DeepLocation bad = loc;
    char why[FILE_ERROR_SIZE] = "";
    EXPECT_FALSE(setWidth(bad, "-.5e-3", why)) << "a negative width";
    DeepLocation ok = loc;
    ASSERT_TRUE(setWidth(ok, "5.000e-3", why)) << why;
    const std::string path = scratch("a.qloc", "");
    ASSERT_TRUE(writeLocationFile(path.c_str(), ok, why)) << why;
    DeepLocation back = defaultLocation();
    ASSERT_TRUE(readLocationFile(path.c_str(), back, why)) << why;
    EXPECT_EQ(ok.type, back.type);
    EXPECT_EQ(ok.detail, back.detail);
    for (auto f : {&DeepLocation::re, &DeepLocation::im, &DeepLocation::width, &DeepLocation::pivotRe,
                   &DeepLocation::pivotIm})
        EXPECT_EQ(ok.*f, back.*f);
    remove(path.c_str());
}

TEST(DeepLocationFile, BadFilesAreRefusedWithTheirLine) {
    const std::string good = "quorvex-location 1\ntype Julia\ndetail 500\ncenter 1,2\nwidth 1e-50\npivot 0,0\n";
    const struct {
        std::string content;
        const char *says;
    } cases[] = {
        {"", "empty"},
        {"quorvex-location 2\n", "not a location"},
        {good.substr(0, good.size() - 1), "line 6"},
        {good + "x\n", "line 7"},
        {"quorvex-location 1\ntype julia\n", "unknown type"},
        {"quorvex-location 1\ntype Julia\ndetail 0\n", "detail"},
        {"quorvex-location 1\ntype Julia\ndetail 8421505\n", "detail"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1;2\n", "two numbers"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,x\n", "not a decimal"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,0x10\n", "not a decimal"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,2\nwidth 0\n", "above 0"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,2\nwidth -1e-9\n", "above 0"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,2\nwidth 1e-4100\n", "below 1e-4000"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 1,2\nwidth 1e101\n", "larger than"},
        {"quorvex-location 1\ntype Julia\ndetail 5\ncenter 0." + std::string(10000, '3') + ",1\n", "characters"},
        {std::string("quorvex-location 1\ntype Julia\0\n", 31), "NUL"},
    };
    for (const auto &c : cases) {
        const std::string path = scratch("bad.qloc", c.content);
        DeepLocation loc = defaultLocation();
        char why[FILE_ERROR_SIZE] = "";
        EXPECT_FALSE(readLocationFile(path.c_str(), loc, why)) << c.says;
        EXPECT_NE(nullptr, strstr(why, c.says)) << why;
        EXPECT_EQ(nullptr, strchr(why, '\n'));
        EXPECT_EQ("10", loc.width) << "a refused file changes nothing";
        remove(path.c_str());
    }
}

}  // namespace
