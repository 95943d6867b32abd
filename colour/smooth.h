// smooth.h - continuous escape values, and their colours.
//
// The kernels give each cell its exact escape count n (the index of the
// first iterate with |z_n|^2 > 4, or the limit) and the state the orbit
// was in then (OrbitEnd: z_n, and for Phoenix z_n-1). smoothValue goes on
// from there, in scalar code, until |z|^2 exceeds the type's radius (at
// most SMOOTH_EXTRA_STEPS more steps, m steps in all), and returns
//
//     mu = m + 1 - log2 ln |z_m|
//
// which runs continuously across the bands of the count: near infinity
// each step squares |z| and so adds exactly one to log2 ln |z|.
//   Mandelbrot, Julia  z <- z^2 + c, radius^2 2^16.
//   Dragon             lambda z (1 - z) is conjugate to w <- w^2 + c with
//                      w = lambda (1/2 - z), c = lambda/2 - lambda^2/4;
//                      the steps go on in w, radius^2 2^16.
//   Phoenix            its own rule, radius^2 2^32: the memory term t z_n-1
//                      disturbs the squaring, and the larger radius makes
//                      that disturbance invisible.
//   Cosine, Cosh       the integer count itself (mu = n): their orbits
//                      grow exponentially and cosh overflows near 710,
//                      so there are no extra steps and no formula.
// An orbit that does not reach its radius within the extra steps (a
// Dragon or Phoenix orbit that only looked like escaping), or whose state
// is not finite, keeps mu = n.
//
// smoothColour maps mu to the colour of the grid value 255 * mu / detail
// through the tables it is given (colourContinuousValue, colour/palette.h).
// A cell that never escaped (n = detail) keeps entry 255.
//
// All of it is IEEE double arithmetic (logarithms from portable_math), one
// cell to a lane of a generic vector, the same operations in every lane:
// so a value does not depend on the kernel path, the thread, the machine,
// or the cells beside it, and smoothRow colours each cell as smoothValue
// and smoothColour would, only several cells at once.
//
// Layer: colour.
#ifndef QUORVEX_COLOUR_SMOOTH_H
#define QUORVEX_COLOUR_SMOOTH_H

#include "colour/palette.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"

enum { SMOOTH_EXTRA_STEPS = 64 };

// mu of one cell at plane point (x, y): n = count (< view.detail), its end.
double smoothValue(int type, const KernelView &view, double x, double y, int count, const OrbitEnd &end);

// Three bytes for mu; `count` = view.detail means never escaped.
void smoothColour(const ChannelTables &tables, double mu, int count, int detail, unsigned char *rgb);

// The colours of one row of cells from its counts and ends: view.width
// pixels of three bytes at rgb.
void smoothRow(const ChannelTables &tables, int type, const KernelView &view, int row, const int *counts,
               const OrbitEnd *ends, unsigned char *rgb);

// The same rows' mu as values (colour/colouring.h): view.width doubles at
// mu, INSIDE_VALUE for the cells that never escaped.
void smoothValues(int type, const KernelView &view, int row, const int *counts, const OrbitEnd *ends, double *mu);

#endif
