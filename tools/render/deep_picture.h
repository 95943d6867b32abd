// deep_picture.h - a deep picture into a RenderGrid: reference, tables, rows.
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
#ifndef QUORVEX_TOOLS_RENDER_DEEP_PICTURE_H
#define QUORVEX_TOOLS_RENDER_DEEP_PICTURE_H

#include <stdio.h>

#include "tools/render/deep/perturb.h"
#include "tools/render/render.h"

int deepPictureCells(const RenderGrid &grid);
FloatExp deepPictureReach(const DeepLocation &loc, const RenderGrid &grid);

RenderResult renderDeepRows(const DeepEngine &e, const DeepLocation &loc, const RenderGrid &grid, int threads,
                            const std::atomic<int> *stop, RenderProgress progress, void *context);

RenderResult renderDeepPicture(const DeepLocation &loc, const RenderGrid &grid, int threads, int approximation,
                               const std::atomic<int> *stop, FILE *progressOut);

#endif
