// deep_picture.h - deep pictures into a RenderGrid or a frame: reference,
// tables, rows.
//
//   DeepEngine e;
//   e.approximation = 1;
//   prepareDeepEngine(loc, deepPictureCells(grid), deepPictureReach(loc, grid), ...);
//   renderDeepRows(e, loc, grid, threads, stop, progress, context);
// or all of it with progress bars on `progressOut` (null for none):
//   renderDeepPicture(loc, grid, threads, approximation, stop, progressOut);
//
// Cell (r, i) of a W x H grid is the point centre + (dx, dy) with
//   dx = width * (2i - W) / 2W,  dy = width * (2r - H) / 2W,
// and stores 255 * count / detail, the program's grid value. Rows are
// shared out as renderRows does; every cell is computed on its own, so the
// bytes do not depend on the number of threads. `stop` is polled as
// each cell is finished and throughout the reference orbit.
//
// A DeepView is such a picture drawn against an engine whose reference
// lies elsewhere: its offsets are the view's centre less the reference's
// (zero for a picture of its own), added to each cell's (dx, dy).
// deepViewRow gives a row's counts and orbit ends, for the frames of
// frame.h (smooth colour, anti-aliasing).
//
// DeepFrames serves the deep frames of a dive (or one deep still in
// colour): one reference orbit, computed when the first deep frame needs
// it, at the narrower end of the dive with the precision of that end, so
// it is the reference a still of that end computes. Every frame it reaches
// uses it with tables of its own reach; it reaches a frame whose precision
// it has and whose centre lies within DEEP_REACH_WIDTHS of the frame's
// widths (so each cell's offset from it keeps every bit the cell needs).
// A frame it does not reach gets a reference of its own. What a frame is
// given depends on that frame alone, never on the other frames made in the
// same run, so a dive split into ranges makes the same bytes.
#ifndef QUORVEX_RENDER_DEEP_PICTURE_H
#define QUORVEX_RENDER_DEEP_PICTURE_H

#include <stdio.h>

#include <memory>

#include "core/kernel_view.h"
#include "deep/perturb.h"
#include "render/rows.h"

int deepPictureCells(const RenderGrid &grid);
FloatExp deepPictureReach(const DeepLocation &loc, const RenderGrid &grid);

RenderResult renderDeepRows(const DeepEngine &e, const DeepLocation &loc, const RenderGrid &grid, int threads,
                            const std::atomic<int> *stop, RenderProgress progress, void *context);

RenderResult renderDeepPicture(const DeepLocation &loc, const RenderGrid &grid, int threads, int approximation,
                               const std::atomic<int> *stop, FILE *progressOut);

struct DeepView {
    FloatExp width;         // the picture's width in the plane
    FloatExp re, im;        // its centre less the reference's centre
    int cellsWide, cellsHigh;
};

// The view of `loc` at cellsWide x cellsHigh against a reference at `from`.
DeepView deepViewOf(const DeepLocation &loc, const DeepLocation &from, int cellsWide, int cellsHigh);

// How far from the reference's centre the view's cells reach.
FloatExp deepViewReach(const DeepView &v);

// Row `row`'s counts and orbit ends, cellsWide of each; 0 when `stop` cut it short.
int deepViewRow(const DeepEngine &e, const DeepView &v, int row, int *counts, OrbitEnd *ends,
                const std::atomic<int> *stop);

// A reference serves frames whose centre lies within this many of their widths.
const double DEEP_REACH_WIDTHS = 1024.0;

struct DeepFrames {
    DeepLocation narrowest;  // where the shared reference is computed
    int cells;               // samples across the widest side, for its precision
    int approximation;
    std::unique_ptr<DeepEngine> shared, own;
};

void startDeepFrames(DeepFrames &f, const DeepLocation &first, const DeepLocation &last, int cells,
                     int approximation);

// The engine and view for the frame at `loc` (cellsWide x cellsHigh
// samples), its reference computed first when it has none yet (`progress`
// hears its steps). REFERENCE_STOPPED when `stop` ended it.
ReferenceResult deepFrame(DeepFrames &f, const DeepLocation &loc, int cellsWide, int cellsHigh,
                          const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                          const DeepEngine **engine, DeepView *view);

#endif
