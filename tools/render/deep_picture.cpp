#include "tools/render/deep_picture.h"

#include <math.h>

#include <memory>
#include <new>
#include <vector>

#include "tools/render/progress.h"

namespace {

struct DeepRows {
    const DeepEngine *engine;
    FloatExp width;
    int cellsWide, cellsHigh;
    const std::atomic<int> *stop;
};

// A whole row goes to deepSamples at once: every lane of the vector path
// stays busy until the row's last cells.
int deepRow(int row, unsigned char *out, void *context) {
    const DeepRows &d = *(const DeepRows *)context;
    const double twiceWide = 2.0 * d.cellsWide;
    const int detail = d.engine->ref.detail;
    std::vector<FloatExp> dx((size_t)d.cellsWide), dy((size_t)d.cellsWide);
    std::vector<DeepSample> s((size_t)d.cellsWide);
    for (size_t i = 0; i < dx.size(); ++i) {
        dx[i] = d.width * ((double)(2 * (int)i - d.cellsWide) / twiceWide);
        dy[i] = d.width * ((double)(2 * row - d.cellsHigh) / twiceWide);
    }
    if (!deepSamples(*d.engine, dx.data(), dy.data(), d.cellsWide, s.data(), d.stop)) return 0;
    for (size_t i = 0; i < s.size(); ++i) out[i] = (unsigned char)(255 * s[i].count / detail);
    return 1;
}

void referenceProgress(int done, int total, void *bar) { progressUpdate(done, total, bar); }

}  // namespace

int deepPictureCells(const RenderGrid &grid) { return grid.width > grid.height ? grid.width : grid.height; }

FloatExp deepPictureReach(const DeepLocation &loc, const RenderGrid &grid) {
    const double aspect = (double)grid.height / grid.width;
    return locationWidth(loc) * (0.5 * sqrt(1.0 + aspect * aspect) * (1.0 + 0x1p-30));
}

RenderResult renderDeepRows(const DeepEngine &e, const DeepLocation &loc, const RenderGrid &grid, int threads,
                            const std::atomic<int> *stop, RenderProgress progress, void *context) {
    DeepRows d = {&e, locationWidth(loc), grid.width, grid.height, stop};
    return renderRows(grid, threads, stop, deepRow, &d, progress, context);
}

RenderResult renderDeepPicture(const DeepLocation &loc, const RenderGrid &grid, int threads, int approximation,
                               const std::atomic<int> *stop, FILE *progressOut) {
    // Tens of megabytes of orbit and tables: on the heap, not the stack.
    std::unique_ptr<DeepEngine> e(new DeepEngine());
    e->approximation = approximation;
    ProgressBar bar;
    progressStart(bar, progressOut, "reference");
    bar.unit = "steps";
    const ReferenceResult r = prepareDeepEngine(loc, deepPictureCells(grid), deepPictureReach(loc, grid), stop,
                                                referenceProgress, &bar, *e);
    progressFinish(bar);
    if (r == REFERENCE_STOPPED) return RENDER_STOPPED;
    progressStart(bar, progressOut, "rendering");
    const RenderResult done = renderDeepRows(*e, loc, grid, threads, stop, progressUpdate, &bar);
    progressFinish(bar);
    return done;
}
