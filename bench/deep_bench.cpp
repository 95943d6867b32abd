// The deep engine on the two benchmark pictures, 1280 x 720, two threads,
// one sample a cell:
//   A  beside a period-8007 minibrot, width 7.1e-30, detail 100,000
//   B  the nucleus of a period-80150 minibrot, height 4e-99, detail 1,000,000
// For each: the whole time, the share of it spent on the reference orbit
// and its tables, and the speed-up of the tables over plain perturbation,
// measured on the same sample rows (plain perturbation of the whole of B
// would take hours). Then the same picture at width 1e-12 through the
// double kernels and through perturbation. Then the colouring of picture A
// in smooth colour with the ramps 3,5,7: bands against a histogram,
// slopes and both (their cost against the computation), and the distinct
// colours of bands against the default with a location (log:0.15); each
// look twice, in turn, the faster of the two taken.
//
//   deep_bench              all of it
//   deep_bench A|B|12|colour  one part
// The load average is printed first: the machine may be shared.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <memory>
#include <set>
#include <vector>

#include "colour/gradient.h"
#include "core/kernels.h"
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
                 std::unique_ptr<DeepEngine> &e) {
    e.reset(new DeepEngine());
    e->approximation = approximation;
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

void picture(const char *name, const DeepLocation &loc, int sampleStep) {
    std::vector<unsigned char> cells((size_t)W * H);
    const RenderGrid grid = {W, H, W, cells.data()};
    std::unique_ptr<DeepEngine> e;
    const Timed t = renderOnce(loc, 1, cells, grid, e);
    const double all = t.prepare + t.rows;
    long interior = 0;
    for (unsigned char v : cells) interior += v == 255;
    printf("%s: %.2f s in all (processor time %.2f s); reference orbit and tables %.2f s (%.1f %%), %d steps at "
           "%ld bits; %.1f %% of cells never escaped\n",
           name, all, t.cpu, t.prepare, 100.0 * t.prepare / all, e->ref.orbit[0].last, e->ref.precision,
           100.0 * interior / (double)cells.size());
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
                    {"log:0.15 (the default)", {COLOUR_LOG, 0.15, 0, 0, 0, 0, t}, 1e30, 1e30, {}}};
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

}  // namespace

int main(int argc, char **argv) {
    const char *only = argc > 1 ? argv[1] : "";
    printLoad();
    if (!*only || !strcmp(only, "A"))
        picture("A", DeepLocation{MANDELBROT_TYPE, 100000, A_RE, A_IM, "7.1e-30", "0", "0"}, 60);
    if (!*only || !strcmp(only, "B"))  // height 4e-99 at 16:9
        picture("B", DeepLocation{MANDELBROT_TYPE, 1000000, B_RE, B_IM, "7.1111111111111111e-99", "0", "0"}, 180);
    if (!*only || !strcmp(only, "12")) atWidth1e12();
    if (!*only || !strcmp(only, "colour")) colouring();
    printLoad();
    return 0;
}
