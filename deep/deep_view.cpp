#include "deep/deep_view.h"

#include <math.h>

#include <vector>

namespace {

// Each worker's buffers, kept between rows.
struct RowScratch {
    std::vector<FloatExp> dx, dy;
    std::vector<DeepSample> samples;
};

// Half the diagonal of a picture of width 1 and this shape, with room for rounding.
double halfDiagonal(int cellsWide, int cellsHigh) {
    const double aspect = (double)cellsHigh / cellsWide;
    return 0.5 * sqrt(1.0 + aspect * aspect) * (1.0 + 0x1p-30);
}

int reaches(const DeepFrames &f, const DeepLocation &loc) {
    if (referencePrecision(loc, f.cells) > referencePrecision(f.narrowest, f.cells)) return 0;
    FloatExp re, im;
    locationOffset(f.narrowest, loc, re, im);
    return !lessMag(locationWidth(loc) * DEEP_REACH_WIDTHS, magnitude1(Cx<FloatExp>{re, im}));
}

}  // namespace

DeepView deepViewOf(const DeepLocation &loc, const DeepLocation &from, int cellsWide, int cellsHigh) {
    DeepView v = {locationWidth(loc), FloatExp::zero(), FloatExp::zero(), cellsWide, cellsHigh};
    locationOffset(from, loc, v.re, v.im);
    return v;
}

FloatExp deepViewReach(const DeepView &v) {
    const FloatExp offset = magnitude1(Cx<FloatExp>{v.re, v.im}) * (1.0 + 0x1p-30);
    return offset + v.width * halfDiagonal(v.cellsWide, v.cellsHigh);
}

// A whole row goes to deepSamples at once: every lane of the vector path
// stays busy until the row's last cells.
int deepViewRow(const DeepEngine &e, const DeepView &v, int row, int *counts, OrbitEnd *ends,
                const std::atomic<int> *stop, double *derivatives) {
    thread_local RowScratch s;
    const size_t n = (size_t)v.cellsWide;
    s.dx.resize(n), s.dy.resize(n), s.samples.resize(n);
    const double twiceWide = 2.0 * v.cellsWide;
    const FloatExp y = v.im + v.width * ((double)(2 * row - v.cellsHigh) / twiceWide);
    for (size_t i = 0; i < n; ++i) {
        s.dx[i] = v.re + v.width * ((double)(2 * (int)i - v.cellsWide) / twiceWide);
        s.dy[i] = y;
    }
    if (!deepSamples(e, s.dx.data(), s.dy.data(), v.cellsWide, s.samples.data(), stop, derivatives != nullptr))
        return 0;
    const FloatExp step = v.width * (1.0 / v.cellsWide);
    for (size_t i = 0; i < n; ++i) {
        const DeepSample &d = s.samples[i];
        counts[i] = d.count;
        if (ends) ends[i] = OrbitEnd{d.zr, d.zi, d.pr, d.pi};
        if (!derivatives) continue;
        double *at = derivatives + 4 * i;
        at[0] = (d.dr * step).toDouble(), at[1] = (d.di * step).toDouble();
        at[2] = (d.yr * step).toDouble(), at[3] = (d.yi * step).toDouble();
    }
    return 1;
}

void startDeepFrames(DeepFrames &f, const DeepLocation &first, const DeepLocation &last, int cells,
                     int approximation) {
    f.narrowest = locationNarrower(first, last) ? first : last;
    f.cells = cells;
    f.approximation = approximation;
    f.shared.reset(), f.own.reset();
}

ReferenceResult deepFrame(DeepFrames &f, const DeepLocation &loc, int cellsWide, int cellsHigh,
                          const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                          const DeepEngine **engine, DeepView *view) {
    const bool reached = reaches(f, loc);
    const DeepLocation &at = reached ? f.narrowest : loc;
    std::unique_ptr<DeepEngine> &slot = reached ? f.shared : f.own;
    if (!reached || !slot) {
        // Tens of megabytes of orbit and tables: on the heap, not the stack.
        slot.reset(new DeepEngine());
        slot->approximation = f.approximation;
        if (computeReference(at, f.cells, deepNeedsFloatExp(at), stop, progress, context, slot->ref) !=
            REFERENCE_DONE) {
            slot.reset();
            return REFERENCE_STOPPED;
        }
    }
    *view = deepViewOf(loc, at, cellsWide, cellsHigh);
    if (!prepareDeepTables(*slot, deepViewReach(*view), deepNeedsFloatExp(loc), stop)) return REFERENCE_STOPPED;
    *engine = slot.get();
    return REFERENCE_DONE;
}
