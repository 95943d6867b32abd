// The deep engine on the benchmark pictures, 1280 x 720, two threads, one
// sample a cell:
//   A  beside a period-8007 minibrot, width 7.1e-30, detail 100,000
//   B  the nucleus of a period-80150 minibrot, height 4e-99, detail 1,000,000
//   the other six types at widths 1e-30 and 1e-100, each at a place with
//      structure at every width (bisected edges of the Phoenixes' sets,
//      Misiurewicz points of M-Cosine and M-Cosh, repelling fixed points of
//      J-Cosine and J-Cosh), at a detail where most cells escape
// For each: the whole time, the share of it spent on the reference orbit
// and its tables, the cells the cycle proof ended at the limit (against
// those that never escaped; deep/cycle_proof.h), its tries and the time of
// the whole picture without it, and the speed-up of the tables over plain
// perturbation,
// measured on the same sample rows (plain perturbation of the whole of B
// would take hours). Then the same picture at width 1e-12 through the
// double kernels and through perturbation; the minibrot finder from a
// picture 1e-90 wide beside B's nucleus; and, on sampled cells of every
// picture, the share whose count differs from the program's loop carried
// out in MPFR, with and without the tables, told apart as cells whose
// orbit passes within a rounding of the escape radius, chaotic cells
// (whose exact count changes when the point moves a millionth of a cell)
// and others. Then the colouring of picture A in smooth colour with the
// ramps 3,5,7: bands against a histogram, slopes, both, and distance
// shading (its derivatives on the portable loop; their cost against the
// computation), and the distinct colours of bands against the
// default with a location (log:0.15); each look twice, in turn, the faster
// of the two taken. For A and B also the sample rows on each vector path
// of the deep engine the processor has, against its portable loop.
//
//   deep_bench                      A, B, the six types, 12, the finder, colour
//   deep_bench A|B|types|12|find|colour    one part
//   deep_bench exact [CELLS]        the shares (CELLS a picture, default 300)
// The load average is printed first: the machine may be shared.
#include <math.h>
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "colour/gradient.h"
#include "core/cpu_features.h"
#include "core/kernels.h"
#include "deep/cycle_proof.h"
#include "deep/exact_step.h"
#include "deep/minibrot.h"
#include "render/frame.h"

namespace {

const int W = 1280, H = 720, THREADS = 2;

const char *const A_RE = "-0.743643887037158704752191506114774";
const char *const A_IM = "0.131825904205311970493132056385139";
const char *const B_RE =
    "-0.74364388703715870475219149604482263358453091224053223633867222264789862276025693574157947088861800085378"
    "845092894546588926388533030804579010458312773";
const char *const B_IM =
    "0.131825904205311970493132053527391134858357567582994082637122145688150715700395995911030547823061349970094"
    "072983562899208048092247768779050486056724214";

// The six places, 130 digits each (the 1e-100 pictures need about 110).
struct Place {
    int type;
    const char *re, *im, *pivotRe, *pivotIm;
    int detail;
    double shift;  // widths to the right: most of the picture outside the set
};
const Place SIX[] = {
    {M_PHOENIX_TYPE,
     "-1.2285303627368763393207273829179574158639996934907420726468423891237392215588681559613499366112406242361"
     "74773256578089557368266351",
     "-0.631999999999999895194946475385222584009170532226562", "0", "0", 20000, 0.25},
    {J_PHOENIX_TYPE,
     "0.50267785834147777338916230596726570135555842664672818925450177471186110625996858437423656532625055756572"
     "07956397250736225618143239",
     "0.600000000000000088817841970012523233890533447265625", "0.5667", "-0.5", 20000, 0.0},
    {M_COSINE_TYPE,
     "0.07583690681922490976489692800378863262084981003481224174311976917635030264513503746082005454171856861129"
     "79072499822130511119163597",
     "-1.2406051074552708496788735306876349984966834740784770390465936488883644578236035906245402347203720519523"
     "87722502074258226786012556",
     "0", "0", 3000, 0.0},
    {J_COSINE_TYPE,
     "-1.0832459809256065377463604958425193369323654730010230602600222037536255986248972672804883849866759144648"
     "28729139385115737340840249",
     "-0.7690915255668830418038817753377540055665438020537383386043885827999185155011712650850268515759224930741"
     "42780225971883266722654682",
     "-0.9", "0.15", 3000, 0.0},
    {M_COSH_TYPE,
     "-0.5046474450008310168728305259157950724624230020170685141819985746458189664251221552248672919752227751811"
     "38389088891148929670903979",
     "-1.0479580349541316352239065628068232664220786903089162137773200529671551644319512455368942738004286676298"
     "85284092564405026304832159",
     "0", "0", 10000, 0.0},
    {J_COSH_TYPE,
     "-0.8328448944590730281129986512454801402619636694781090238353908255301232366353769336279667107394919716878"
     "17041267439654136239149548",
     "1.11222794661586130478966437559777925820871991008172967603069147666481842144650955711109022206927785942774"
     "24542577017731605060052321",
     "-0.5", "0.1", 3000, 0.0},
};
const char *const SIX_WIDTHS[] = {"1e-30", "1e-100"};

// `from` moved by `along` widths of `width`, every digit kept.
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

DeepLocation sixAt(const Place &p, const char *width) {
    return DeepLocation{p.type, p.detail, moved(p.re, p.shift, width), p.im, width, p.pivotRe, p.pivotIm};
}

double cpuNow() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

void printLoad() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) printf("load average: %.2f %.2f %.2f (2 cores)\n", load[0], load[1], load[2]);
}

struct Timed {
    double prepare, rows, cpu;  // seconds; cpu: of all threads
};

Timed renderOnce(const DeepLocation &loc, int approximation, std::vector<unsigned char> &cells, const RenderGrid &grid,
                 std::unique_ptr<DeepEngine> &e, int exhaustive = 0) {
    e.reset(new DeepEngine());
    e->approximation = approximation;
    e->exhaustive = exhaustive;
    const double t0 = now(), c0 = cpuNow();
    const DeepView view = deepViewOf(loc, loc, grid.width, grid.height);
    prepareDeepEngine(loc, W > H ? W : H, deepViewReach(view), nullptr, nullptr, nullptr, *e);
    const double t1 = now();
    const FractalParams params = {loc.type, loc.detail, 0, 0, 0, 0, 0, 0};  // only the detail is read
    const FrameStyle values = {grid.width, grid.height, 1, 0, 0};
    renderFrame(FrameSource{params, e.get(), view}, values, ChannelTables(), cells.data(), THREADS, nullptr, nullptr,
                nullptr);
    return Timed{t1 - t0, now() - t1, cpuNow() - c0};
}

// Sample rows: every `step`-th row of the picture, as a grid of their own
// rows (the same cells as in the whole picture).
struct RowSample {
    std::vector<int> rows;
    std::vector<unsigned char> cells;
};

struct SampleContext {
    const DeepEngine *e;
    const DeepLocation *loc;
    const std::vector<int> *rows;
};

int sampleRow(int k, unsigned char *out, void *context) {
    const SampleContext &s = *(const SampleContext *)context;
    const int row = (*s.rows)[(size_t)k];
    const FloatExp w = locationWidth(*s.loc);
    std::vector<FloatExp> dx(W), dy(W, w * ((double)(2 * row - H) / (2.0 * W)));
    std::vector<DeepSample> got(W);
    for (int i = 0; i < W; ++i) dx[(size_t)i] = w * ((double)(2 * i - W) / (2.0 * W));
    deepSamples(*s.e, dx.data(), dy.data(), W, got.data());
    for (int i = 0; i < W; ++i) out[i] = (unsigned char)(255L * got[(size_t)i].count / s.e->ref.detail);
    return 1;
}

double renderSample(const DeepEngine &e, const DeepLocation &loc, RowSample &s) {
    s.cells.assign(s.rows.size() * W, 0);
    SampleContext c = {&e, &loc, &s.rows};
    const RenderGrid g = {W, (int)s.rows.size(), W, s.cells.data()};
    const double t0 = now();
    renderRows(g, THREADS, nullptr, sampleRow, &c, nullptr, nullptr);
    return now() - t0;
}

std::atomic<long> cycleTries{0}, cyclesProven{0};
void countCycleTry(bool proven) { ++cycleTries, cyclesProven += proven; }

// The cycle proof's share: cells proven against cells that never escaped,
// its tries, the time its models take, and the picture without it.
void cycleProofFigures(const char *name, const DeepLocation &loc, const Timed &with, const DeepEngine &e,
                       const std::vector<unsigned char> &cells, long interior) {
    const double t0 = now();
    std::vector<CycleModel> models;
    buildCycleModels(e.ref, e.ref.critical, deepViewReach(deepViewOf(loc, loc, W, H)), models);
    const double build = now() - t0;
    std::vector<unsigned char> plain(cells.size());
    const RenderGrid grid = {W, H, W, plain.data()};
    std::unique_ptr<DeepEngine> off;
    const Timed t = renderOnce(loc, 1, plain, grid, off, 1);
    printf("%s: cycle proof: %ld of %ld cells that never escaped proven (%.1f %%) in %ld tries; %zu models, %.3f s "
           "to build; without it %.2f s (processor time %.2f s): %.2f times as fast with it; %s\n",
           name, cyclesProven.load(), interior, interior ? 100.0 * cyclesProven.load() / interior : 0.0,
           cycleTries.load(), models.size(), build, t.prepare + t.rows, t.cpu, t.cpu / with.cpu,
           plain == cells ? "the same cells" : "CELLS DIFFER");
}

// The sample rows with tables on each path the processor has, in
// processor time (the machine may be shared), against the portable loop;
// each path twice, in turn, the faster taken. The cells must be the same.
void vectorPaths(const char *name, DeepEngine &e, const DeepLocation &loc, const RowSample &rows) {
    const int lanes[] = {1, 4, 8};
    const char *const names[] = {"portable", "AVX2", "AVX-512"};
    const int paths = cpuHasAvx512() ? 3 : cpuHasAvx2() ? 2 : 1;
    double best[3] = {1e30, 1e30, 1e30};
    int differ = 0;
    e.approximation = 1;
    for (int round = 0; round < 2; ++round)
        for (int p = 0; p < paths; ++p) {
            RowSample s = rows;
            e.vectorLanes = lanes[p];
            const double c0 = cpuNow();
            renderSample(e, loc, s);
            best[p] = std::min(best[p], cpuNow() - c0);
            differ += s.cells != rows.cells;
        }
    e.vectorLanes = 0;
    printf("%s: the sample rows on each path, processor time:", name);
    for (int p = 0; p < paths; ++p) printf(" %s %.2f s (%.2f times as fast)", names[p], best[p], best[0] / best[p]);
    printf("; %s\n", differ ? "THE CELLS DIFFER" : "the same cells");
}

void picture(const char *name, const DeepLocation &loc, int sampleStep) {
    std::vector<unsigned char> cells((size_t)W * H);
    const RenderGrid grid = {W, H, W, cells.data()};
    std::unique_ptr<DeepEngine> e;
    cycleTries = cyclesProven = 0;
    watchCycleTries(countCycleTry);
    const Timed t = renderOnce(loc, 1, cells, grid, e);
    watchCycleTries(nullptr);
    const double all = t.prepare + t.rows;
    long interior = 0;
    for (unsigned char v : cells) interior += v == 255;
    printf("%s: %.2f s in all (processor time %.2f s); reference orbit and tables %.2f s (%.1f %%), %d steps at "
           "%ld bits; %.1f %% of cells never escaped\n",
           name, all, t.cpu, t.prepare, 100.0 * t.prepare / all, e->ref.orbit[0].last, e->ref.precision,
           100.0 * interior / (double)cells.size());
    cycleProofFigures(name, loc, t, *e, cells, interior);
    RowSample on, off;
    for (int r = sampleStep / 2; r < H; r += sampleStep) on.rows.push_back(r);
    off.rows = on.rows;
    const double withTables = renderSample(*e, loc, on);
    e->approximation = 0;
    const double plain = renderSample(*e, loc, off);
    int differ = 0, largest = 0;
    for (size_t k = 0; k < on.cells.size(); ++k) {
        const int d = abs((int)on.cells[k] - (int)off.cells[k]);
        differ += d != 0, largest = d > largest ? d : largest;
    }
    printf("%s: %zu sample rows: tables %.2f s, plain perturbation %.2f s: the tables are %.1f times as fast; "
           "%d of %zu cells differ (largest grid value difference %d)\n",
           name, on.rows.size(), withTables, plain, plain / withTables, differ, on.cells.size(), largest);
    vectorPaths(name, *e, loc, on);
}

void atWidth1e12() {
    DeepLocation loc = {MANDELBROT_TYPE, 10000, A_RE, A_IM, "1e-12", "0", "0"};
    std::vector<unsigned char> kernels((size_t)W * H), deep((size_t)W * H);
    double view[4];
    locationView(loc, W, H, view);
    const FractalParams p = {MANDELBROT_TYPE, loc.detail, view[0], view[1], view[2], view[3], 0, 0};
    double t0 = now();
    renderGrid(p, RenderGrid{W, H, W, kernels.data()}, THREADS, nullptr, nullptr, nullptr);
    const double plain = now() - t0;
    const RenderGrid grid = {W, H, W, deep.data()};
    std::unique_ptr<DeepEngine> e;
    const Timed t = renderOnce(loc, 1, deep, grid, e);
    long differ = 0;
    for (size_t k = 0; k < deep.size(); ++k) differ += deep[k] != kernels[k];
    printf("width 1e-12, detail %d: double kernels %.2f s, perturbation %.2f s (reference %.2f s): %.2f times "
           "the kernels' time; %ld of %zu cells differ\n",
           loc.detail, plain, t.prepare + t.rows, t.prepare, (t.prepare + t.rows) / plain, differ, deep.size());
}

struct Look {
    const char *name;
    Colouring colouring;  // mapping COLOUR_BANDS with no slopes: bands through the tables
    double best, bestCpu;  // seconds: real, and processor time of all threads
    std::vector<unsigned char> rgb;
};

size_t distinctColours(const std::vector<unsigned char> &rgb) {
    std::set<unsigned> seen;
    for (size_t k = 0; k + 2 < rgb.size(); k += 3) seen.insert(rgb[k] << 16 | rgb[k + 1] << 8 | rgb[k + 2]);
    return seen.size();
}

void colouring() {
    const DeepLocation loc = {MANDELBROT_TYPE, 100000, A_RE, A_IM, "7.1111111111111111e-30", "0", "0"};
    std::unique_ptr<DeepEngine> e(new DeepEngine());
    e->approximation = 1;
    const DeepView view = deepViewOf(loc, loc, W, H);
    prepareDeepEngine(loc, W, deepViewReach(view), nullptr, nullptr, nullptr, *e);
    double corners[4];
    locationView(loc, W, H, corners);
    const FractalParams params = {MANDELBROT_TYPE, loc.detail, corners[0], corners[1], corners[2], corners[3], 0, 0};
    const ChannelTables tables = startupChannelTables(3, 5, 7);
    std::unique_ptr<GradientTable> table(new GradientTable);
    fillGradientTable(rampGradient(tables), *table);
    const GradientTable *t = table.get();
    Look looks[] = {{"bands", {COLOUR_BANDS, 0, 0, 0, 0, 0, t}, 1e30, 1e30, {}},
                    {"histogram", {COLOUR_HISTOGRAM, 0, 0, 0, 0, 0, t}, 1e30, 1e30, {}},
                    {"log:0.15 with slopes", {COLOUR_LOG, 0.15, 0, 1, 45, 1, t}, 1e30, 1e30, {}},
                    {"histogram with slopes", {COLOUR_HISTOGRAM, 0, 0, 1, 45, 1, t}, 1e30, 1e30, {}},
                    {"log:0.15 (the default)", {COLOUR_LOG, 0.15, 0, 0, 0, 0, t}, 1e30, 1e30, {}},
                    {"log:0.15 with distance", {COLOUR_LOG, 0.15, 0, 0, 0, 0, t, 0, 1, 1.0}, 1e30, 1e30, {}}};
    for (int round = 0; round < 2; ++round)
        for (Look &l : looks) {
            FrameStyle style = {W, H, 1, 1, 1};
            if (l.colouring.mapping != COLOUR_BANDS) style.look = &l.colouring;
            l.rgb.assign((size_t)W * H * 3, 0);
            const double t0 = now(), c0 = cpuNow();
            renderFrame(FrameSource{params, e.get(), view}, style, tables, l.rgb.data(), THREADS, nullptr, nullptr,
                        nullptr);
            const double took = now() - t0, cpu = cpuNow() - c0;
            l.best = took < l.best ? took : l.best;
            l.bestCpu = cpu < l.bestCpu ? cpu : l.bestCpu;
            printf("colour: %-24s %.2f s (processor time %.2f s)\n", l.name, took, cpu);
        }
    for (const Look &l : looks)
        printf("colour: %-24s %.3f times the time of bands (processor time %.3f times); %zu distinct colours\n",
               l.name, l.best / looks[0].best, l.bestCpu / looks[0].bestCpu, distinctColours(l.rgb));
}

void types() {
    for (const char *width : SIX_WIDTHS)
        for (const Place &p : SIX) {
            char name[64];
            snprintf(name, sizeof name, "%s %s", FRACTAL_TYPE_TABLE[p.type].name, width);
            picture(name, sixAt(p, width), 60);
        }
}

// From a picture 1e-90 wide, its centre a quarter of a width from B's
// nucleus: the ball's period, then Newton's method.
void finder() {
    const char *width = "1e-90";
    const DeepLocation loc = {MANDELBROT_TYPE, 1000000, moved(B_RE, 0.23, width), moved(B_IM, -0.11, width), width,
                              "0", "0"};
    Minibrot m;
    char why[512] = "";
    const double t0 = now(), c0 = cpuNow();
    const MinibrotResult r = findMinibrot(loc, W, H, nullptr, nullptr, nullptr, m, why);
    const double took = now() - t0, cpu = cpuNow() - c0;
    if (r != MINIBROT_FOUND) {
        printf("finder: nothing found: %s\n", why);
        return;
    }
    printf("finder: period %d from a width of %s in %.2f s (processor %.2f s, %d Newton steps); size %.3e, frame "
           "width %s\n",
           m.period, width, took, cpu, m.newtonSteps, m.size.toDouble(), m.location.width.c_str());
}

// ---- exactness ----

struct Exact {
    int count;
    double margin;  // least | |z|^2 / 4 - 1 | over the orbit
};

// The program's loop in MPFR for the cell (row, col) of a W x H picture,
// moved right by `shift` cells (exact_step.h's forms of the rules; not the
// Dragons, whose w is another coordinate).
Exact exactCount(const DeepLocation &loc, int row, int col, double shift) {
    const mpfr_prec_t bits = (mpfr_prec_t)referencePrecision(loc, W) + 128;
    const FractalTypeInfo &type = FRACTAL_TYPE_TABLE[loc.type];
    BigCx point(bits), pivot(bits), k(bits), w(bits), p(bits);
    mpfr_t width, d;
    mpfr_inits2(bits, width, d, (mpfr_ptr)0);
    mpfr_set_str(width, loc.width.c_str(), 10, MPFR_RNDN);
    point.set(loc.re, loc.im);
    pivot.set(loc.pivotRe, loc.pivotIm);
    mpfr_mul_d(d, width, (2 * col - W + 2 * shift) / (2.0 * W), MPFR_RNDN);
    mpfr_add(point.re, point.re, d, MPFR_RNDN);
    mpfr_mul_d(d, width, (2 * row - H) / (2.0 * W), MPFR_RNDN);
    mpfr_add(point.im, point.im, d, MPFR_RNDN);
    if (type.jKind) {
        k.set(pivot), w.set(point);
    } else {
        k.set(point);
        mpfr_set_d(w.re, type.mStart, MPFR_RNDN);
    }
    ExactStep step(type.rule, k, bits);
    Exact e = {loc.detail, 1.0};
    for (int n = 0; n < loc.detail; ++n) {
        mpfr_sqr(d, w.re, MPFR_RNDN);
        mpfr_fma(d, w.im, w.im, d, MPFR_RNDN);
        e.margin = fmin(e.margin, fabs(mpfr_get_d(d, MPFR_RNDN) / 4.0 - 1.0));
        if (mpfr_cmp_ui(d, 4) > 0) {
            e.count = n;
            break;
        }
        if (trigonometricRule(type.rule)) step.values(w);
        step.step(w, p);
    }
    mpfr_clears(width, d, (mpfr_ptr)0);
    return e;
}

struct Shares {
    int cells = 0, differ = 0, radius = 0, chaotic = 0, other = 0;
};

void tell(Shares &s, const DeepLocation &loc, int row, int col, int mine, const Exact &e) {
    if (mine == e.count) return;
    ++s.differ;
    if (e.margin < 1e-9) ++s.radius;
    else if (exactCount(loc, row, col, 1e-6).count != e.count) ++s.chaotic;
    else ++s.other;
}

// CELLS cells on a scattered lattice of the 1280 x 720 picture.
void exactness(const char *name, const DeepLocation &loc, int cells) {
    std::unique_ptr<DeepEngine> e[2];
    for (int a = 0; a < 2; ++a) {
        e[a].reset(new DeepEngine());
        e[a]->approximation = 1 - a;
        prepareDeepEngine(loc, W, deepViewReach(deepViewOf(loc, loc, W, H)), nullptr, nullptr, nullptr, *e[a]);
    }
    const DeepView v = deepViewOf(loc, loc, W, H);
    Shares s[2];
    const double t0 = now();
    for (int k = 0; k < cells; ++k) {
        const int row = (int)((k * 7919L) % H), col = (int)((k * 104729L + 13) % W);
        const FloatExp dx = v.re + v.width * ((double)(2 * col - W) / (2.0 * W));
        const FloatExp dy = v.im + v.width * ((double)(2 * row - H) / (2.0 * W));
        const Exact exact = exactCount(loc, row, col, 0.0);
        for (int a = 0; a < 2; ++a) {
            ++s[a].cells;
            tell(s[a], loc, row, col, deepSample(*e[a], dx, dy).count, exact);
        }
    }
    for (int a = 0; a < 2; ++a)
        printf("%s, %s: %d of %d cells differ from exact iteration (%.2f %%): %d within a rounding of the escape "
               "radius, %d chaotic, %d other\n",
               name, a ? "no tables" : "tables", s[a].differ, s[a].cells, 100.0 * s[a].differ / s[a].cells,
               s[a].radius, s[a].chaotic, s[a].other);
    printf("%s: %.1f s\n", name, now() - t0);
}

void exactnessAll(int cells) {
    exactness("A", DeepLocation{MANDELBROT_TYPE, 100000, A_RE, A_IM, "7.1e-30", "0", "0"}, cells);
    exactness("B", DeepLocation{MANDELBROT_TYPE, 1000000, B_RE, B_IM, "7.1111111111111111e-99", "0", "0"}, cells / 3);
    for (const char *width : SIX_WIDTHS)
        for (const Place &p : SIX) {
            char name[64];
            snprintf(name, sizeof name, "%s %s", FRACTAL_TYPE_TABLE[p.type].name, width);
            exactness(name, sixAt(p, width), cells);
        }
}

}  // namespace

int main(int argc, char **argv) {
    const char *only = argc > 1 ? argv[1] : "";
    printLoad();
    if (!strcmp(only, "exact")) {
        exactnessAll(argc > 2 ? atoi(argv[2]) : 300);
        printLoad();
        return 0;
    }
    if (!*only || !strcmp(only, "A"))
        picture("A", DeepLocation{MANDELBROT_TYPE, 100000, A_RE, A_IM, "7.1e-30", "0", "0"}, 60);
    if (!*only || !strcmp(only, "B"))  // height 4e-99 at 16:9
        picture("B", DeepLocation{MANDELBROT_TYPE, 1000000, B_RE, B_IM, "7.1111111111111111e-99", "0", "0"}, 180);
    if (!*only || !strcmp(only, "types")) types();
    if (!*only || !strcmp(only, "12")) atWidth1e12();
    if (!*only || !strcmp(only, "colour")) colouring();
    if (!*only || !strcmp(only, "find")) finder();
    printLoad();
    return 0;
}
