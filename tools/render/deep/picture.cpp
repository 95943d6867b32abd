#include "tools/render/deep/picture.h"

#include <math.h>

#include <memory>
#include <new>

#include "tools/render/progress.h"

namespace {

struct DeepRows {
    const DeepEngine *engine;
    FloatExp width;
    int cellsWide, cellsHigh;
    const std::atomic<int> *stop;
};

// A row goes in pieces of this many cells, the stop flag polled between.
const int PIECE = 16;

int deepRow(int row, unsigned char *out, void *context) {
    const DeepRows &d = *(const DeepRows *)context;
    const double twiceWide = 2.0 * d.cellsWide;
    const int detail = d.engine->ref.detail;
    FloatExp dx[PIECE], dy[PIECE];
    DeepSample s[PIECE];
    for (int k = 0; k < PIECE; ++k) dy[k] = d.width * ((double)(2 * row - d.cellsHigh) / twiceWide);
    for (int i = 0; i < d.cellsWide; i += PIECE) {
        if (d.stop && d.stop->load(std::memory_order_relaxed)) return 0;
        const int count = d.cellsWide - i < PIECE ? d.cellsWide - i : PIECE;
        for (int k = 0; k < count; ++k) dx[k] = d.width * ((double)(2 * (i + k) - d.cellsWide) / twiceWide);
        deepSamples(*d.engine, dx, dy, count, s);
        for (int k = 0; k < count; ++k) out[i + k] = (unsigned char)(255 * s[k].count / detail);
    }
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
