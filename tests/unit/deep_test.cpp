// The deep engine against the truth: escape counts from perturbation equal
// those of the program's loop carried out in MPFR at a precision far above
// the depth's needs, for sampled cells of every type from width 1e-12 to
// below the doubles' range, also when a picture is drawn against the
// reference of a deeper one (a dive's frames); the tables change no count;
// a picture's bytes do not depend on the thread count; the location file;
// the locations of a dive's frames.
#include <gtest/gtest.h>
#include <mpfr.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "colour/distance.h"
#include "colour/palette.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"
#include "core/state.h"
#include "files/atomic_write.h"
#include "deep/deep_view.h"
#include "deep/minibrot.h"
#include "deep/perturb.h"
#include "render/frame.h"

namespace {

struct Truth {
    int count;
    double margin;  // least | |z_n|^2 / 4 - 1 | over the orbit: how near it came to the radius
    double zr, zi, qr, qi;  // z_n, and Phoenix's z_n-1, when it escaped
};

// The program's loop in MPFR, each rule as core/fractal_types.h writes it
// (not in the forms the reference orbits take): z, Phoenix's previous
// iterate q, the constant p.
struct ExactOrbit {
    mpfr_t zr, zi, qr, qi, pr, pi, t, u, s, a, b;
    explicit ExactOrbit(long bits) { mpfr_inits2(bits, zr, zi, qr, qi, pr, pi, t, u, s, a, b, (mpfr_ptr)0); }
    ~ExactOrbit() { mpfr_clears(zr, zi, qr, qi, pr, pi, t, u, s, a, b, (mpfr_ptr)0); }

    void quadratic() {
        mpfr_sqr(t, zr, MPFR_RNDN);
        mpfr_sqr(u, zi, MPFR_RNDN);
        mpfr_mul(zi, zr, zi, MPFR_RNDN);
        mpfr_mul_2ui(zi, zi, 1, MPFR_RNDN);
        mpfr_add(zi, zi, pi, MPFR_RNDN);
        mpfr_sub(zr, t, u, MPFR_RNDN);
        mpfr_add(zr, zr, pr, MPFR_RNDN);
    }
    void dragon() {  // z (1 - z), then times L
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
    }
    void phoenix() {  // z^2 + s + t q with (s, t) = p; q <- z
        mpfr_sqr(t, zr, MPFR_RNDN);
        mpfr_sqr(u, zi, MPFR_RNDN);
        mpfr_sub(t, t, u, MPFR_RNDN);
        mpfr_add(t, t, pr, MPFR_RNDN);
        mpfr_fma(t, pi, qr, t, MPFR_RNDN);
        mpfr_mul(u, zr, zi, MPFR_RNDN);
        mpfr_mul_2ui(u, u, 1, MPFR_RNDN);
        mpfr_fma(u, pi, qi, u, MPFR_RNDN);
        mpfr_swap(qr, zr), mpfr_swap(qi, zi);
        mpfr_swap(zr, t), mpfr_swap(zi, u);
    }
    void trig(bool cosh) {  // a - bi = cos z (a + bi = cosh z); (a^2 - b^2) - 2ab i + p
        if (cosh) {
            mpfr_sinh_cosh(s, t, zr, MPFR_RNDN);
            mpfr_sin_cos(u, a, zi, MPFR_RNDN);
        } else {
            mpfr_sin_cos(s, t, zr, MPFR_RNDN);
            mpfr_sinh_cosh(u, a, zi, MPFR_RNDN);
        }
        mpfr_mul(b, s, u, MPFR_RNDN);
        mpfr_mul(a, t, a, MPFR_RNDN);
        mpfr_sqr(zr, a, MPFR_RNDN);
        mpfr_fms(zr, b, b, zr, MPFR_RNDN);
        mpfr_neg(zr, zr, MPFR_RNDN);
        mpfr_add(zr, zr, pr, MPFR_RNDN);
        mpfr_mul(zi, a, b, MPFR_RNDN);
        mpfr_mul_si(zi, zi, -2, MPFR_RNDN);
        mpfr_add(zi, zi, pi, MPFR_RNDN);
    }
    void step(FractalRule rule) {
        switch (rule) {
        case QUADRATIC_RULE: return quadratic();
        case DRAGON_RULE: return dragon();
        case PHOENIX_RULE: return phoenix();
        default: return trig(rule == COSH_RULE);
        }
    }
};

// The loop for the cell at centre + (dx, dy), the offsets taken exactly as
// the picture defines them; `shift` moves the point right by that many
// cells (a fraction), to tell a chaotic cell, and `up` along the imaginary axis.
Truth bruteForce(const DeepLocation &loc, int W, int H, int row, int col, long bits, double shift = 0.0,
                 double up = 0.0) {
    const FractalTypeInfo &type = FRACTAL_TYPE_TABLE[loc.type];
    ExactOrbit o(bits);
    mpfr_t cr, ci, w, d;
    mpfr_inits2(bits, cr, ci, w, d, (mpfr_ptr)0);
    mpfr_set_str(w, loc.width.c_str(), 10, MPFR_RNDN);
    mpfr_set_d(d, 2 * col - W + 2 * shift, MPFR_RNDN);
    mpfr_mul(d, d, w, MPFR_RNDN);
    mpfr_div_si(d, d, 2 * W, MPFR_RNDN);
    mpfr_set_str(cr, loc.re.c_str(), 10, MPFR_RNDN);
    mpfr_add(cr, cr, d, MPFR_RNDN);
    mpfr_set_d(d, 2 * row - H + 2 * up, MPFR_RNDN);
    mpfr_mul(d, d, w, MPFR_RNDN);
    mpfr_div_si(d, d, 2 * W, MPFR_RNDN);
    mpfr_set_str(ci, loc.im.c_str(), 10, MPFR_RNDN);
    mpfr_add(ci, ci, d, MPFR_RNDN);
    mpfr_set_str(o.pr, loc.pivotRe.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(o.pi, loc.pivotIm.c_str(), 10, MPFR_RNDN);
    if (!type.jKind) {  // the point is the constant
        mpfr_swap(o.pr, cr), mpfr_swap(o.pi, ci);
        mpfr_set_d(o.zr, type.mStart, MPFR_RNDN), mpfr_set_zero(o.zi, 1);
    } else {
        mpfr_set(o.zr, cr, MPFR_RNDN), mpfr_set(o.zi, ci, MPFR_RNDN);
    }
    mpfr_set_zero(o.qr, 1), mpfr_set_zero(o.qi, 1);
    Truth truth = {loc.detail, 1.0, 0, 0, 0, 0};
    for (int n = 0; n < loc.detail; ++n) {
        mpfr_sqr(w, o.zr, MPFR_RNDN);
        mpfr_fma(w, o.zi, o.zi, w, MPFR_RNDN);
        const double q = mpfr_get_d(w, MPFR_RNDN) / 4.0;
        if (fabs(q - 1.0) < truth.margin) truth.margin = fabs(q - 1.0);
        if (mpfr_cmp_ui(w, 4) > 0) {
            truth.count = n;
            truth.zr = mpfr_get_d(o.zr, MPFR_RNDN), truth.zi = mpfr_get_d(o.zi, MPFR_RNDN);
            truth.qr = mpfr_get_d(o.qr, MPFR_RNDN), truth.qi = mpfr_get_d(o.qi, MPFR_RNDN);
            break;
        }
        o.step(type.rule);
    }
    mpfr_clears(cr, ci, w, d, (mpfr_ptr)0);
    return truth;
}

DeepLocation place(int type, const char *re, const char *im, const char *width, int detail,
                   const char *pivotRe = "0", const char *pivotIm = "0") {
    return DeepLocation{type, detail, re, im, width, pivotRe, pivotIm};
}

std::unique_ptr<DeepEngine> engineFor(const DeepLocation &loc, int W, int H, int approximation = 1,
                                      int vectorLanes = 0) {
    std::unique_ptr<DeepEngine> e(new DeepEngine());
    e->approximation = approximation;
    e->vectorLanes = vectorLanes;
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
        // Allowed: a count that changes when the point moves a millionth of
        // a cell, or an orbit within a rounding of the radius.
        const bool radius = t.margin < 1e-9;
        const bool chaotic = !radius && bruteForce(loc, W, H, row, col, bits, 1e-6).count != t.count;
        printf("  %s width %s, cell (%d, %d): %d, MPFR %d; orbit within %.1e of the radius: %s\n",
               FRACTAL_TYPE_NAMES[loc.type], loc.width.c_str(), row, col, mine, t.count, t.margin,
               radius ? "escape radius" : chaotic ? "chaotic" : "neither");
        EXPECT_TRUE(radius || chaotic) << "a difference neither chaotic nor at the escape radius";
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

// Places with structure at every width from 1e-14 to 1e-40 (and, where the
// digits go on, below the doubles' range): edges of the Phoenixes' sets
// found by bisection at detail 3000, Misiurewicz points of M-Cosine (0's
// orbit fixed after two steps) and M-Cosh (periodic after four), repelling
// fixed points of J-Cosine and J-Cosh.
struct Place {
    int type;
    const char *re, *im, *pivotRe, *pivotIm;
};
const char *const M_COSINE_RE =
    "0.0758369068192249097648969280037886326208498100348122417431197691763503026451350374608200545417185686112979"
    "07249982213051111916359788765723037718096765564733448526795031788069614353947458637895485517968926413758937"
    "74845572269516523431714914982957964684977198547716625736366919345747714269585383082027854763242598552526418"
    "81774435951094815609";
const char *const M_COSINE_IM =
    "-1.24060510745527084967887353068763499849668347407847703904659364888836445782360359062454023472037205195238"
    "77225020742582267860125560704774840356969912769233800984361535124582803825106049722403318721166572049422563"
    "36499035063728882951424251615469875446646393313357666254196734489800543159467004004049600759696086789049231"
    "054721329789900688980";
const char *const J_COSH_RE =
    "-0.832844894459073028112998651245480140261963669478109023835390825530123236635376933627966710739491971687817"
    "04126743965413623914954800329453316880564345442039779978033544635270135485453970054846553982499738130500239"
    "51904504848428703148526204088911130076729643560215057420407997437153312316426226471041471439077324209325276"
    "18128674410143801785";
const char *const J_COSH_IM =
    "1.1122279466158613047896643755977792582087199100817296760306914766648184214465095571110902220692778594277424"
    "54257701773160506005232130807317613681792468136604383348272749513632127117062184195087210233208949100426090"
    "48455447643315634529286921935971395054212293536067010076171141910384878779073268547115416243477800269212033"
    "59231001708189660547";
const Place OTHER_SIX[] = {
    {M_PHOENIX_TYPE, "-1.22853036273687633932072738291795741586399969349129",
     "-0.631999999999999895194946475385222584009170532226562", "0", "0"},
    {J_PHOENIX_TYPE, "0.502677858341477773389162305967265701355506791041921",
     "0.600000000000000088817841970012523233890533447265625", "0.5667", "-0.5"},
    {M_COSINE_TYPE, M_COSINE_RE, M_COSINE_IM, "0", "0"},
    {J_COSINE_TYPE, "-1.08324598092560653774636049584251933693236547300102306026002",
     "-0.769091525566883041803881775337754005566543802053738338604389", "-0.9", "0.15"},
    {M_COSH_TYPE, "-0.504647445000831016872830525915795072462423002017068514181998574645818966",
     "-1.047958034954131635223906562806823266422078690308916213777320052967155164", "0", "0"},
    {J_COSH_TYPE, J_COSH_RE, J_COSH_IM, "-0.5", "0.1"},
};

DeepLocation placeAt(const Place &p, const char *width, int detail = 3000) {
    return place(p.type, p.re, p.im, width, detail, p.pivotRe, p.pivotIm);
}

TEST(DeepEngine, TheOtherSixTypesCountAsMpfrFromWidth1e14To1e40) {
    Tally all;
    for (const Place &p : OTHER_SIX) {
        Tally tally;
        for (const char *w : {"1e-14", "1e-25", "1e-40"}) compareCells(placeAt(p, w), 100, tally);
        if (p.type == M_COSINE_TYPE || p.type == J_COSH_TYPE)  // FloatExp deltas, their tables
            compareCells(placeAt(p, "1e-320"), 40, tally);
        printf("  %s: %d of %d cells equal\n", FRACTAL_TYPE_NAMES[p.type], tally.equal, tally.cells);
        all.cells += tally.cells, all.equal += tally.equal;
    }
    EXPECT_GE(all.equal, all.cells * 0.999);
}

// The bytes of a picture (grid values, then smooth colours) drawn by the
// frame renderer on `threads` threads against one engine.
std::string pictureBytes(const DeepEngine &e, const DeepLocation &loc, int W, int H, int threads) {
    double view[4];
    locationView(loc, W, H, view);
    const FractalParams params = {loc.type, loc.detail, view[0], view[1], view[2], view[3],
                                  decimalToDouble(loc.pivotRe), decimalToDouble(loc.pivotIm)};
    const FrameSource source = {params, &e, deepViewOf(loc, loc, W, H)};
    const ChannelTables tables = startupChannelTables(4, 6, 3);
    std::string bytes((size_t)W * H * 4, '\0');
    unsigned char *out = (unsigned char *)&bytes[0];
    EXPECT_EQ(RENDER_DONE, renderFrame(source, FrameStyle{W, H, 1, 0, 0}, tables, out, threads, nullptr, nullptr,
                                       nullptr));
    EXPECT_EQ(RENDER_DONE, renderFrame(source, FrameStyle{W, H, 1, 1, 1}, tables, out + W * H, threads, nullptr,
                                       nullptr, nullptr));
    return bytes;
}

TEST(DeepEngine, TheOtherSixTypesGiveTheSameBytesOnAnyThreadCount) {
    const int W = 64, H = 36;
    for (const Place &p : OTHER_SIX) {
        const DeepLocation loc = placeAt(p, "1e-30");
        std::unique_ptr<DeepEngine> e = engineFor(loc, W, H);
        const std::string one = pictureBytes(*e, loc, W, H, 1);
        EXPECT_TRUE(one == pictureBytes(*e, loc, W, H, 2)) << FRACTAL_TYPE_NAMES[p.type];
        EXPECT_TRUE(one == pictureBytes(*e, loc, W, H, 7)) << FRACTAL_TYPE_NAMES[p.type];
        EXPECT_GT(std::set<char>(one.begin() + W * H, one.end()).size(), 10u) << FRACTAL_TYPE_NAMES[p.type];
    }
}

// What smooth colour continues from: a row's orbit ends are the escaping
// iterate and, for Phoenix, the one before it.
TEST(DeepEngine, RowsEndAtTheEscapingIterateAndPhoenixsPreviousOne) {
    const int W = 160, H = 90;
    for (const Place &p : OTHER_SIX) {
        const DeepLocation loc = placeAt(p, "1e-25");
        std::unique_ptr<DeepEngine> e = engineFor(loc, W, H);
        const DeepView v = deepViewOf(loc, loc, W, H);
        std::vector<int> counts(W);
        std::vector<OrbitEnd> ends(W);
        int checked = 0;
        for (int row : {20, 61}) {
            ASSERT_TRUE(deepViewRow(*e, v, row, counts.data(), ends.data(), nullptr));
            for (int col = 3; col < W; col += 13) {
                const Truth t = bruteForce(loc, W, H, row, col, referencePrecision(loc, W) + 128);
                if (t.count != counts[col] || t.count >= loc.detail) continue;
                // As near as the ends of a point a millionth of a cell away (a
                // chaotic orbit's end moves far more than its rounding).
                const Truth u = bruteForce(loc, W, H, row, col, referencePrecision(loc, W) + 128, 1e-6);
                const OrbitEnd &end = ends[col];
                const double got[4] = {end.zr, end.zi, end.pr, end.pi}, want[4] = {t.zr, t.zi, t.qr, t.qi};
                const double moved[4] = {u.zr, u.zi, u.qr, u.qi};
                for (int k = 0; k < 4; ++k)
                    EXPECT_NEAR(want[k], got[k], 1e-9 * (fabs(want[k]) + 1) + 100 * fabs(moved[k] - want[k]))
                        << FRACTAL_TYPE_NAMES[p.type] << " part " << k;
                ++checked;
            }
        }
        EXPECT_GE(checked, 5) << FRACTAL_TYPE_NAMES[p.type];
    }
}

// The derivatives under distance shading are those of the MPFR orbits (a
// central difference a millionth of a cell each way), with tables and without, in
// doubles and in FloatExp; where the kernels run too, the distances agree
// to within the kernels' own rounding (their orbits near the boundary
// carry a relative error of the double spacing times |dz|, a few per mille
// here).
TEST(DeepEngine, DerivativesAreTheMpfrOrbitsAndDistancesThoseOfTheKernels) {
    const int W = 160, H = 90;
    std::vector<int> counts(W), kernel(W);
    std::vector<OrbitEnd> ends(W);
    std::vector<double> der(4 * W), deep(W), doubles(W);
    for (const DeepLocation &loc : {place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-30", 3000),
                                    place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-300", 2000),
                                    place(JULIA_TYPE, MIS_RE, MIS_IM, "1e-25", 3000, MIS_RE, MIS_IM),
                                    place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, "1e-20", 3000),
                                    place(J_DRAGON_TYPE, DRAGON_Z_RE, DRAGON_Z_IM, "1e-30", 3000, DRAGON_L_RE,
                                          DRAGON_L_IM),
                                    placeAt(OTHER_SIX[1], "1e-25"), placeAt(OTHER_SIX[2], "1e-300", 2000),
                                    placeAt(OTHER_SIX[3], "1e-25"), placeAt(OTHER_SIX[5], "1e-25"),
                                    placeAt(OTHER_SIX[0], "1e-25"), placeAt(OTHER_SIX[4], "1e-25")})
        for (int tables = 0; tables < 2; ++tables) {
            std::unique_ptr<DeepEngine> e = engineFor(loc, W, H, tables), portable = engineFor(loc, W, H, tables, 1);
            const long bits = referencePrecision(loc, W) + 128;
            std::vector<double> again(4 * W);
            const bool axes = (loc.type == M_PHOENIX_TYPE || loc.type == M_COSH_TYPE);
            int checked = 0;
            double worst = 0;
            for (int row : {17, 52}) {
                ASSERT_TRUE(deepViewRow(*e, deepViewOf(loc, loc, W, H), row, counts.data(), ends.data(), nullptr,
                                        der.data()));
                for (int lanes : {1, 4}) {  // the portable loop, then AVX2 where the widest path is AVX-512
                    portable->vectorLanes = lanes;
                    deepViewRow(*portable, deepViewOf(loc, loc, W, H), row, kernel.data(), nullptr, nullptr,
                                again.data());
                    EXPECT_TRUE(kernel == counts && !memcmp(der.data(), again.data(), 4 * W * sizeof(double)))
                        << loc.width << ": the derivatives of vector lanes " << lanes << " are the widest path's";
                }
                for (int col = 5; col < W; col += 11) {
                    const Truth t = bruteForce(loc, W, H, row, col, bits);
                    const Truth u = bruteForce(loc, W, H, row, col, bits, 1e-6);
                    const Truth v = bruteForce(loc, W, H, row, col, bits, -1e-6);
                    if (t.count != counts[col] || t.count >= loc.detail || u.count != t.count || v.count != t.count)
                        continue;
                    const double wr = (u.zr - v.zr) * 5e5, wi = (u.zi - v.zi) * 5e5;
                    double off = hypot(der[4 * col] - wr, der[4 * col + 1] - wi) / hypot(wr, wi);
                    if (axes) {  // and along the imaginary axis, a central difference
                        const Truth y = bruteForce(loc, W, H, row, col, bits, 0.0, 1e-6);
                        const Truth q = bruteForce(loc, W, H, row, col, bits, 0.0, -1e-6);
                        if (y.count != t.count || q.count != t.count) continue;
                        const double yr = (y.zr - q.zr) * 5e5, yi = (y.zi - q.zi) * 5e5;
                        off = std::max(off, hypot(der[4 * col + 2] - yr, der[4 * col + 3] - yi) / hypot(yr, yi));
                    }
                    EXPECT_LT(off, 1e-5) << loc.width << " tables " << tables << " cell " << row << "," << col;
                    worst = off > worst ? off : worst;
                    ++checked;
                }
            }
            EXPECT_GE(checked, 8) << loc.width;
            printf("  %s, tables %d: %d derivatives, off by at most %.1e\n", loc.width.c_str(), tables, checked, worst);
        }
    int near = 0, compared = 0;
    for (const DeepLocation &loc : {place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-10", 3000),
                                    place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, "1e-10", 3000),
                                    placeAt(OTHER_SIX[1], "1e-7"), placeAt(OTHER_SIX[2], "1e-10"),
                                    placeAt(OTHER_SIX[3], "1e-10"), placeAt(OTHER_SIX[5], "1e-10"),
                                    placeAt(OTHER_SIX[0], "1e-10"), placeAt(OTHER_SIX[4], "1e-10")}) {
        std::unique_ptr<DeepEngine> e = engineFor(loc, W, H);
        double view[4];
        locationView(loc, W, H, view);
        const KernelView v = kernelViewFor(FractalParams{loc.type, loc.detail, view[0], view[1], view[2], view[3],
                                                         decimalToDouble(loc.pivotRe), decimalToDouble(loc.pivotIm)},
                                           W, H);
        for (int row = 0; row < H; row += 9) {
            ASSERT_TRUE(deepViewRow(*e, deepViewOf(loc, loc, W, H), row, counts.data(), ends.data(), nullptr,
                                    der.data()));
            distanceValues(loc.type, v, row, counts.data(), ends.data(), der.data(), deep.data());
            countRowWith(SCALAR_PATH, loc.type, v, row, kernel.data());
            distanceRow(loc.type, v, row, kernel.data(), doubles.data());
            for (int col = 0; col < W; ++col) {
                if (counts[col] != kernel[col] || counts[col] >= loc.detail) continue;
                ++compared;
                near += fabs(deep[col] - doubles[col]) < 1e-2 * doubles[col];
            }
        }
    }
    printf("  distances above the switch: %d of %d within 1 %% of the kernels'\n", near, compared);
    EXPECT_GE(near, compared * 0.98);
    EXPECT_GT(compared, W * H / 9 / 2);
}

// Rows of a picture through deepSamples (`batch` samples at a time), or
// one sample at a time.
std::vector<DeepSample> rowSamples(const DeepEngine &e, const DeepLocation &loc, int W, int H, int row, int batch) {
    std::vector<FloatExp> dx, dy;
    for (int col = 0; col < W; ++col) {
        dx.push_back(locationWidth(loc) * ((double)(2 * col - W) / (2.0 * W)));
        dy.push_back(locationWidth(loc) * ((double)(2 * row - H) / (2.0 * W)));
    }
    std::vector<DeepSample> s((size_t)W);
    for (int at = 0; at < W; at += batch)
        deepSamples(e, dx.data() + at, dy.data() + at, batch < W - at ? batch : W - at, s.data() + at);
    return s;
}

std::vector<int> rowCounts(const DeepEngine &e, const DeepLocation &loc, int W, int H, int row, bool batch) {
    std::vector<int> counts;
    for (const DeepSample &s : rowSamples(e, loc, W, H, row, batch ? W : 1)) counts.push_back(s.count);
    return counts;
}

// Every path the processor has (the portable loop, AVX2, AVX-512), in
// batches of every size from a few lanes to many vectors: the same counts
// and the same bits of every escaping z.
void expectTheSameOnEveryPath(DeepEngine &e, const DeepLocation &loc, int W, int H, int row) {
    e.vectorLanes = 1;
    const std::vector<DeepSample> portable = rowSamples(e, loc, W, H, row, W);
    for (int lanes : {4, 0})
        for (int batch : {W, 37, 5}) {
            e.vectorLanes = lanes;
            const std::vector<DeepSample> s = rowSamples(e, loc, W, H, row, batch);
            int differ = 0;
            for (int k = 0; k < W; ++k)
                differ += s[k].count != portable[k].count || memcmp(&s[k].zr, &portable[k].zr, sizeof(double)) ||
                          memcmp(&s[k].zi, &portable[k].zi, sizeof(double));
            EXPECT_EQ(0, differ) << loc.width << " row " << row << ", vector lanes " << lanes << ", batch " << batch;
        }
    e.vectorLanes = 0;
}

// Samples run together give the counts of samples run alone, and the
// vector path those of the portable one; the tables change no count where
// the cells are well conditioned (in noisy regions both are within a
// rounding of the truth, and may differ from each other).
TEST(DeepEngine, TheTablesTheBatchesAndTheVectorPathChangeNoCount) {
    const int W = 320, H = 180;
    std::vector<DeepLocation> places = {place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-30", 3000),
                                        place(MANDELBROT_TYPE, MIS_RE, MIS_IM, "1e-300", 3000),
                                        place(JULIA_TYPE, MIS_RE, MIS_IM, "1e-30", 3000, MIS_RE, MIS_IM),
                                        place(M_DRAGON_TYPE, DRAGON_L_RE, DRAGON_L_IM, "1e-20", 3000)};
    for (const Place &p : OTHER_SIX) places.push_back(placeAt(p, "1e-30", 2000));
    places.push_back(placeAt(OTHER_SIX[2], "1e-300", 2000));  // FloatExp tables
    for (const DeepLocation &loc : places) {
        std::unique_ptr<DeepEngine> on = engineFor(loc, W, H, 1), off = engineFor(loc, W, H, 0);
        int differ = 0;
        const int rows = loc.type >= M_PHOENIX_TYPE ? 21 : 7;  // the slower rules: fewer rows
        for (int row = 0; row < H; row += rows) {
            const std::vector<int> a = rowCounts(*on, loc, W, H, row, true);
            if (loc.type < M_PHOENIX_TYPE) {  // the rules with vector paths, with tables and without
                expectTheSameOnEveryPath(*on, loc, W, H, row);
                expectTheSameOnEveryPath(*off, loc, W, H, row);
            }
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
TEST(DeepEngine, DrawsEveryTypeAndNoNumberOutsideTheTable) {
    for (int type = -1; type <= FRACTAL_TYPES; ++type)
        EXPECT_EQ(deepTypeSupported(type), type >= MANDELBROT_TYPE && type <= J_COSH_TYPE) << type;
}

// ---- the minibrot finder -------------------------------------------------------

// Picture B of the deep benchmark is centred on a period-80150 nucleus.
const char *const B_RE =
    "-0.74364388703715870475219149604482263358453091224053223633867222264789862276025693574157947088861800085378"
    "845092894546588926388533030804579010458312773";
const char *const B_IM =
    "0.131825904205311970493132053527391134858357567582994082637122145688150715700395995911030547823061349970094"
    "072983562899208048092247768779050486056724214";

// `from` moved by (dx, dy) widths of `width`, every digit kept.
std::string moved(const char *from, double along, const char *width) {
    mpfr_t v, w;
    mpfr_inits2(600, v, w, (mpfr_ptr)0);
    mpfr_set_str(v, from, 10, MPFR_RNDN);
    mpfr_set_str(w, width, 10, MPFR_RNDN);
    mpfr_mul_d(w, w, along, MPFR_RNDN);
    mpfr_add(v, v, w, MPFR_RNDN);
    char text[400];
    mpfr_snprintf(text, sizeof text, "%.170Re", v);
    mpfr_clears(v, w, (mpfr_ptr)0);
    return text;
}

// The distance of a found centre from (re, im), in widths of the found frame.
double offByWidths(const DeepLocation &found, const char *re, const char *im) {
    mpfr_t a, b, d;
    mpfr_inits2(800, a, b, d, (mpfr_ptr)0);
    double most = 0;
    for (int axis = 0; axis < 2; ++axis) {
        mpfr_set_str(a, axis ? found.im.c_str() : found.re.c_str(), 10, MPFR_RNDN);
        mpfr_set_str(b, axis ? im : re, 10, MPFR_RNDN);
        mpfr_sub(d, a, b, MPFR_RNDN);
        mpfr_set_str(b, found.width.c_str(), 10, MPFR_RNDN);
        mpfr_div(d, d, b, MPFR_RNDN);
        most = fmax(most, fabs(mpfr_get_d(d, MPFR_RNDN)));
    }
    mpfr_clears(a, b, d, (mpfr_ptr)0);
    return most;
}

TEST(DeepMinibrot, FromAWiderPictureBesideItFindsTheBenchmarksPeriod80150Nucleus) {
    const DeepLocation loc = place(MANDELBROT_TYPE, moved(B_RE, 0.23, "1e-90").c_str(),
                                   moved(B_IM, -0.11, "1e-90").c_str(), "1e-90", 1000000);
    Minibrot m;
    char why[FILE_ERROR_SIZE] = "";
    ASSERT_EQ(MINIBROT_FOUND, findMinibrot(loc, 1280, 720, nullptr, nullptr, nullptr, m, why)) << why;
    EXPECT_EQ(80150, m.period);
    EXPECT_GT(m.newtonSteps, 1) << "the centre was not the nucleus";
    EXPECT_LT(offByWidths(m.location, B_RE, B_IM), 1e-6) << "the centre to the digits its width needs";
    const double width = decimalToDouble(m.location.width);
    EXPECT_TRUE(width > 1e-99 && width < 7.1e-99) << width << ": the minibrot in its frame, as picture B shows it";
}

// The seahorse picture A (height 4e-30) and the M-Cosine Misiurewicz picture.
TEST(DeepMinibrot, FindsTheMinibrotsInsideThePictures) {
    const DeepLocation a = place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, "7.1e-30", 10000);
    Minibrot m;
    char why[FILE_ERROR_SIZE] = "";
    ASSERT_EQ(MINIBROT_FOUND, findMinibrot(a, 1280, 720, nullptr, nullptr, nullptr, m, why)) << why;
    EXPECT_EQ(8007, m.period);
    EXPECT_LT(offByWidths(m.location, VALLEY_RE, VALLEY_IM), 7.1e-30 / decimalToDouble(m.location.width));
    const DeepLocation cosine = placeAt(OTHER_SIX[2], "1e-20", 20000);
    ASSERT_EQ(MINIBROT_FOUND, findMinibrot(cosine, 320, 180, nullptr, nullptr, nullptr, m, why)) << why;
    EXPECT_EQ(28, m.period);
    // Its frame drawn by the deep engine: the minibrot's interior in the middle.
    std::unique_ptr<DeepEngine> e = engineFor(m.location, 64, 36);
    EXPECT_EQ(m.location.detail, deepSample(*e, FloatExp::zero(), FloatExp::zero()).count);
    EXPECT_LT(deepSample(*e, locationWidth(m.location) * 0.5, FloatExp::zero()).count, m.location.detail);
}

TEST(DeepMinibrot, RefusesWithOneLineWhatHasNone) {
    const struct {
        DeepLocation loc;
        const char *says;
    } cases[] = {
        {place(JULIA_TYPE, "0", "0", "1e-20", 100), "Julia has no minibrots"},
        {place(M_PHOENIX_TYPE, "-1", "0", "1e-20", 100), "no critical point"},
        {place(MANDELBROT_TYPE, "1", "1", "1e-20", 100), "escapes"},
        {place(MANDELBROT_TYPE, "-0.5", "0", "1e-20", 100), "period up to the detail"},
        {place(M_DRAGON_TYPE, "-0.60048518044024083831781964149904277709706563836789",
               "1.24962106768765317375920889488570288801046891283800", "1e-20", 20000),
         "outside the picture"},
    };
    for (const auto &c : cases) {
        Minibrot m;
        char why[FILE_ERROR_SIZE] = "";
        EXPECT_EQ(MINIBROT_NONE, findMinibrot(c.loc, 320, 180, nullptr, nullptr, nullptr, m, why)) << c.says;
        EXPECT_NE(nullptr, strstr(why, c.says)) << why;
        EXPECT_EQ(nullptr, strchr(why, '\n'));
    }
    std::atomic<int> stop{1};
    Minibrot m;
    char why[FILE_ERROR_SIZE] = "";
    EXPECT_EQ(MINIBROT_STOPPED, findMinibrot(place(MANDELBROT_TYPE, B_RE, B_IM, "1e-90", 1000000), 1280, 720, &stop,
                                             nullptr, nullptr, m, why));
}

// ---- cycles proven --------------------------------------------------------------

int cyclesProven = 0;
void countProven(bool proven) { cyclesProven += proven; }

// Minibrot interiors, in their frames 1e-14 and 1e-31 wide, and basins of a
// Julia set 1e-20 and 1e-300 wide: every cell the cycle proof ends at the limit counts the limit in
// MPFR, and every cell counts what it counts without the proof (cells
// just outside the boundary, which escape late, included).
TEST(DeepEngine, CellsProvenCapturedCountTheLimitInMpfrAndNoCountChanges) {
    // Odd sizes: no cell lies on the centre, the basilica's repelling point,
    // whose fate hangs on digits past the picture's.
    const int W = 65, H = 37;
    // The basilica's repelling fixed point (1 + sqrt 5) / 2, between its
    // basins, to the digits a picture 1e-300 wide needs (FloatExp deltas).
    mpfr_t beta;
    mpfr_init2(beta, 1200);
    mpfr_sqrt_ui(beta, 5, MPFR_RNDN);
    mpfr_add_ui(beta, beta, 1, MPFR_RNDN);
    mpfr_div_2ui(beta, beta, 1, MPFR_RNDN);
    char digits[400];
    mpfr_snprintf(digits, sizeof digits, "%.330Re", beta);
    mpfr_clear(beta);
    std::vector<DeepLocation> places = {place(JULIA_TYPE, digits, "0", "1e-20", 3000, "-1", "0"),
                                        place(JULIA_TYPE, digits, "0", "1e-300", 3000, "-1", "0")};
    Minibrot m;
    char why[FILE_ERROR_SIZE] = "";
    for (const char *width : {"1e-12", "7.1e-30"}) {
        ASSERT_EQ(MINIBROT_FOUND, findMinibrot(place(MANDELBROT_TYPE, VALLEY_RE, VALLEY_IM, width, 100000), W, H,
                                               nullptr, nullptr, nullptr, m, why)) << why;
        m.location.detail = m.period * 30;
        places.push_back(m.location);
    }
    watchCycleTries(countProven);
    for (const DeepLocation &loc : places) {
        std::unique_ptr<DeepEngine> on = engineFor(loc, W, H), off(new DeepEngine());
        off->approximation = off->exhaustive = 1;
        prepareDeepEngine(loc, W, deepViewReach(deepViewOf(loc, loc, W, H)), nullptr, nullptr, nullptr, *off);
        int proven = 0, checked = 0, interior = 0;
        const int every = loc.detail > 100000 ? 8 : 1;  // proven cells checked in MPFR
        for (int row = 0; row < H; ++row)
            for (int col = 0; col < W; ++col) {
                const FloatExp dx = locationWidth(loc) * ((double)(2 * col - W) / (2.0 * W));
                const FloatExp dy = locationWidth(loc) * ((double)(2 * row - H) / (2.0 * W));
                const int before = cyclesProven, count = deepSample(*on, dx, dy).count;
                ASSERT_EQ(deepSample(*off, dx, dy).count, count) << loc.width << " cell " << row << ", " << col;
                interior += count == loc.detail;
                if (cyclesProven == before || ++proven % every) continue;
                ++checked;
                EXPECT_EQ(loc.detail, bruteForce(loc, W, H, row, col, referencePrecision(loc, W) + 64).count)
                    << loc.width << " cell " << row << ", " << col << " proven, and it escapes";
            }
        printf("  %s width %s, detail %d: %d of %d cells at the limit proven, %d checked in MPFR\n",
               FRACTAL_TYPE_NAMES[loc.type], loc.width.c_str(), loc.detail, proven, interior, checked);
        EXPECT_GT(proven, interior / 2) << loc.width;
    }
    watchCycleTries(nullptr);
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
