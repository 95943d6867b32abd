// rows.h - filling a grid of any size, rows shared out among threads.
//
// A RenderGrid is plain data: width x height cells of one byte, row r at
// cells + r * stride. The renderer and the writers take a stride so that a
// parameter file's grid (stride 800) is coloured in place, without a copy.
//
// renderGrid computes every row of `grid` with computeRow (the program's
// kernels, so the bytes are the program's bytes). `threads` workers each
// take the next row from one shared atomic counter until none is left; a
// row is the unit of work, so a slow row never holds up the others. The
// calling thread does no computing: it waits, calling `progress` about
// ten times a second with the number of finished rows, so the bar keeps
// moving however long a row takes.
//
// `stop` (may be null) is polled before each row: once it is non-zero the
// workers take no more rows and renderGrid returns RENDER_STOPPED after all
// of them have ended, with the grid partly filled. A worker thread that
// cannot be started is not waited for: the rows go to the others (and to
// the calling thread when none could start).
//
// Layer: render.
#ifndef QUORVEX_RENDER_ROWS_H
#define QUORVEX_RENDER_ROWS_H

#include <stddef.h>

#include <atomic>

#include "core/kernels.h"
#include "core/plane_view.h"

struct RenderGrid {
    int width, height;
    size_t stride;
    unsigned char *cells;
};

enum RenderResult { RENDER_DONE, RENDER_STOPPED };

typedef void (*RenderProgress)(int rowsDone, int rows, void *context);

RenderResult renderGrid(const FractalParams &params, const RenderGrid &grid, int threads,
                        const std::atomic<int> *stop, RenderProgress progress, void *context);

// The same sharing of rows for any row computation: `row` fills the row
// at `out` and returns 1, or 0 when it gave up on a stop (the row is then
// not counted as done).
typedef int (*RowFunction)(int row, unsigned char *out, void *rowContext);

RenderResult renderRows(const RenderGrid &grid, int threads, const std::atomic<int> *stop, RowFunction row,
                        void *rowContext, RenderProgress progress, void *context);

#endif
