// deep_view.h - a picture's cells against a reference orbit, and the
// reference orbits of a run of pictures.
//
//   DeepFrames frames;
//   startDeepFrames(frames, first, last, cells, approximation);
//   const DeepEngine *engine; DeepView view;
//   if (deepFrame(frames, loc, 1280, 720, stop, progress, ctx, &engine, &view) == REFERENCE_STOPPED) ...
//   deepViewRow(*engine, view, row, counts, ends, stop);   // any thread, any row
//
// A DeepView is a picture of cellsWide x cellsHigh cells drawn against an
// engine whose reference lies at `from`: its offsets are the picture's
// centre less the reference's (zero for a picture of its own). Cell (r, i)
// is the point reference + (re + dx, im + dy) with
//   dx = width * (2i - W) / 2W,  dy = width * (2r - H) / 2W,
// the cell-to-plane mapping of core/plane_view.h (column 0 and row 0 at the
// starts, the height following the picture's shape) as offsets in FloatExp,
// which do not run out of range at any depth. Every cell is computed on its
// own, so the counts do not depend on the rows or threads around them.
//
// DeepFrames serves the deep pictures of a run (a dive's frames, or one
// still): one reference (its orbits, reference.h), computed when the first
// picture needs it, at the narrower end with the precision of that end, so
// it is the reference a still of that end computes. Every picture it
// reaches uses it with tables of its own reach; it reaches a picture whose
// precision it has and whose centre lies within DEEP_REACH_WIDTHS of the
// picture's widths (so each cell's offset from it keeps every bit the cell
// needs). A picture it does not reach gets a reference of its own. What a
// picture is given depends on that picture alone, never on the others made
// in the same run, so a dive split into ranges makes the same bytes.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_DEEP_VIEW_H
#define QUORVEX_DEEP_DEEP_VIEW_H

#include <atomic>
#include <memory>

#include "core/kernel_view.h"
#include "deep/perturb.h"

struct DeepView {
    FloatExp width;         // the picture's width in the plane
    FloatExp re, im;        // its centre less the reference's centre
    int cellsWide, cellsHigh;
};

// The view of `loc` at cellsWide x cellsHigh against a reference at `from`.
DeepView deepViewOf(const DeepLocation &loc, const DeepLocation &from, int cellsWide, int cellsHigh);

// How far from the reference's centre the view's cells reach.
FloatExp deepViewReach(const DeepView &v);

// Row `row`'s counts and (when `ends` is not null) orbit ends, cellsWide of
// each; 0 when `stop` cut it short. `derivatives` (may be null): four
// doubles a cell, the derivatives of its end per sample along the real
// and the imaginary axis (DeepSample's dr, di, yr, yi times width /
// cellsWide, taken in FloatExp, so they stay in range at any depth;
// colour/distance.h).
int deepViewRow(const DeepEngine &e, const DeepView &v, int row, int *counts, OrbitEnd *ends,
                const std::atomic<int> *stop, double *derivatives = nullptr);

// A reference serves pictures whose centre lies within this many of their widths.
const double DEEP_REACH_WIDTHS = 1024.0;

struct DeepFrames {
    DeepLocation narrowest;  // where the shared reference is computed
    int cells;               // samples across the widest side, for its precision
    int approximation;
    std::unique_ptr<DeepEngine> shared, own;
};

void startDeepFrames(DeepFrames &f, const DeepLocation &first, const DeepLocation &last, int cells,
                     int approximation);

// The engine and view for the picture at `loc` (cellsWide x cellsHigh
// cells), its reference computed first when it has none yet (`progress`
// hears its steps). REFERENCE_STOPPED when `stop` ended it. Throws
// std::bad_alloc when the orbit does not fit in memory.
ReferenceResult deepFrame(DeepFrames &f, const DeepLocation &loc, int cellsWide, int cellsHigh,
                          const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                          const DeepEngine **engine, DeepView *view);

#endif
