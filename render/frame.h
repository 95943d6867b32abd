// frame.h - one view as a coloured picture: plain, smooth, anti-aliased.
//
// renderFrame fills `rgb` (width x height pixels of three bytes, rows top
// first) with the picture of `params`, rows shared out among threads as
// renderGrid shares them (render.h), with the same stop and progress.
//
//   plain     (aa 1, no smooth) each pixel is the channel tables' colour of
//             the kernels' grid value: byte for byte the colours of a still.
//   smooth    each cell is coloured from its continuous escape value
//             (smooth.h).
//   aa N      each pixel is the mean, in linear light (linear_light.h), of
//             the colours of N x N samples on a regular sub-grid. The
//             samples are the cells of the same view at N * width x
//             N * height, so with N = 1 they are the pixels themselves;
//             pixel (r, i) takes sample rows r*N .. r*N+N-1 and columns
//             i*N .. i*N+N-1. Colours are averaged, never escape values.
// Nothing depends on the thread count or the kernel path: every path gives
// the same counts and orbit ends, and the colouring is scalar.
//
// renderDeepFrame is the same for a view below the doubles' reach: the
// counts and orbit ends of the samples come from a deep engine (deep
// view `view` at aa * width x aa * height cells, deep_picture.h), and
// `params`, the view in doubles, gives smooth colour each sample's point
// and pivot, so a deep picture is coloured by the very rule of a
// shallow one. Without --smooth a sample's colour is that of its grid
// value 255 * count / detail, as for a deep still.
#ifndef QUORVEX_RENDER_FRAME_H
#define QUORVEX_RENDER_FRAME_H

#include <atomic>

#include "render/deep_picture.h"
#include "render/rows.h"

// How a view is turned into colours; the colours come from PaletteR/G/B.
struct FrameStyle {
    int width, height;  // pixels
    int aa;             // samples per pixel side, 1..FRAME_MAX_AA
    int smooth;         // 0: the integer count's colours
};

// Up to 64 samples a pixel keep the light sums inside 32 bits.
enum { FRAME_MAX_AA = 8 };

RenderResult renderFrame(const FractalParams &params, const FrameStyle &style, unsigned char *rgb, int threads,
                         const std::atomic<int> *stop, RenderProgress progress, void *context);

RenderResult renderDeepFrame(const DeepEngine &engine, const DeepView &view, const FractalParams &params,
                             const FrameStyle &style, unsigned char *rgb, int threads, const std::atomic<int> *stop,
                             RenderProgress progress, void *context);

#endif
