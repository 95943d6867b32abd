// frame.h - one view as a picture in memory: grid values or colours,
// plain, smooth or anti-aliased, from the double kernels or the deep engine.
//
//   FrameSource source = {params, nullptr, {}};       // the double kernels
//   FrameStyle style = {1280, 720, 2, 1, 1};          // 2 x 2 samples, smooth, coloured
//   renderFrame(source, style, tables, rgb, threads, stop, progress, context);
//
// Rows are shared out among threads as renderRows shares them (rows.h), with
// the same stop and progress.
//
//   values    (not `coloured`; aa 1, no smooth) each pixel is its grid value
//             255 * count / detail, one byte: the kernels' own bytes, or the
//             deep engine's counts put the same way. Coloured when written.
//   plain     (coloured, aa 1, no smooth) those values through the tables
//             (colourGridRow): the colours of a still, byte for byte.
//   smooth    each cell is coloured from its continuous escape value
//             (colour/smooth.h).
//   look      (a Colouring instead of bands) each sample's value, its
//             smooth count with --smooth, else its whole count, mapped onto
//             the look's palette; a look that needs the whole picture (a
//             histogram, slopes) makes every sample's value first, then
//             colours them (colour/colouring.h), two passes of rows.
//             Distance shading (colour/distance.h) takes each sample's
//             distance beside its value: the double kernels' counts
//             stepped again with the derivative, or the deep engine's
//             derivative.
//   aa N      each pixel is the mean, in linear light (colour/linear_light.h),
//             of the colours of N x N samples on a regular sub-grid. The
//             samples are the cells of the same view at N * width x
//             N * height, so with N = 1 they are the pixels themselves;
//             pixel (r, i) takes sample rows r*N .. r*N+N-1 and columns
//             i*N .. i*N+N-1. Colours are averaged, never escape values.
// Nothing depends on the thread count or the kernel path: every path gives
// the same counts and orbit ends, and the colouring is scalar.
//
// A picture's values can be made a part at a time (frameAreaValues: the
// tiles of a poster) and coloured later, a pixel row at a time, from the
// sample rows around it (colourValuesRow): the bytes renderFrame gives.
// A part's samples are those of the whole picture: the kernels count a
// row from its first column (so a part right of the first costs the
// columns left of it too), the deep engine counts the part's cells alone
// against the whole picture's reference and view; each distance depends
// on its cell's count, end and derivative alone, so a part's are the
// whole picture's too.
//
// A deep source draws its samples' counts and orbit ends from a deep engine
// (its view at aa * width x aa * height cells, deep/deep_view.h), and
// `params`, the view in doubles, gives smooth colour each sample's point and
// pivot, so a deep picture is coloured by the very rule of a shallow one.
//
// Layer: render.
#ifndef QUORVEX_RENDER_FRAME_H
#define QUORVEX_RENDER_FRAME_H

#include <atomic>

#include "colour/colouring.h"
#include "colour/palette.h"
#include "deep/deep_view.h"
#include "render/rows.h"

struct FrameStyle {
    int width, height;  // pixels
    int aa;             // samples per pixel side, 1..8
    int smooth;         // 0: the integer count's colours
    int coloured;       // 1: three bytes a pixel; 0: grid values (aa 1, no smooth only)
    const Colouring *look = nullptr;  // null: bands through the tables; else coloured by it
};

// What a frame is drawn from.
struct FrameSource {
    FractalParams params;    // type, detail, pivot and the view in doubles
    const DeepEngine *deep;  // or null: the double kernels
    DeepView deepView;       // the samples against the deep engine's reference
    const CountHistogram *histogram = nullptr;  // a histogram look's: null for the frame's own
};

// Fills `out` (width x height pixels, rows top first, of one byte or three).
// A look that needs the picture (colouringNeedsPicture) takes a double a
// sample besides, two under distance shading (frameValueBytes);
// std::bad_alloc when there is no room.
RenderResult renderFrame(const FrameSource &source, const FrameStyle &style, const ChannelTables &tables,
                         unsigned char *out, int threads, const std::atomic<int> *stop, RenderProgress progress,
                         void *context);

// The values (colour/colouring.h) of the frame's aa * width x aa * height
// samples, rows top first: the first of a look's two steps, alone (a
// survey of a dive's frames for its histogram, render/run.cpp).
RenderResult frameValues(const FrameSource &source, const FrameStyle &style, double *values, int threads,
                         const std::atomic<int> *stop);

// The bytes frameValues fills, and renderFrame needs besides `out` when
// the look needs the picture (0 when it does not).
size_t frameValueBytes(const FrameStyle &style);

// Pixels x .. x + width - 1 of rows y .. y + height - 1.
struct FrameArea {
    int x, y, width, height;
};

// frameValues of the area alone: its aa * width x aa * height samples, rows
// top first, the very values frameValues gives them, and when `distances`
// is not null their distances (colour/distance.h) in the same order, the
// very ones a whole picture shaded by distance takes; `progress` counts
// the area's pixel rows.
RenderResult frameAreaValues(const FrameSource &source, const FrameStyle &style, const FrameArea &area,
                             double *values, double *distances, int threads, const std::atomic<int> *stop,
                             RenderProgress progress, void *context);

// Pixel row r of the picture from its samples' values: `rows` points at
// sample rows r*aa - 1 .. r*aa + aa (aa + 2 of them; the picture's first and
// last sample rows stand in for those beyond it), each aa * width values.
// `distances` (null unless the look shades by distance) points at the
// same sample rows' distances. Writes what renderFrame writes for that
// row: three bytes a pixel, or grid values when the style is not `coloured`. `detail` scales bands and
// marks the samples that never escaped; `histogram` is a histogram look's,
// of the whole picture.
void colourValuesRow(const FrameStyle &style, const ChannelTables &tables, const CountHistogram *histogram,
                     int detail, const double *const *rows, const double *const *distances, unsigned char *out);

#endif
