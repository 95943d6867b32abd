// kernels.h - the escape-time kernels: one grid row of one fractal type.
//
// Layer: core.
//
// Three layers, bottom up:
//   computeRowScalar(type, view, row, out) - the plain double loop, the
//       reference (core/kernels_plain.h; FractalType is core/fractal_types.h,
//       KernelView core/kernel_view.h).
//   computeRow(type, view, row, out) - the shared implementation. It takes
//       the view as a value (width, limit, starts, scales, pivot), so the
//       desktop program and the headless renderer use the same code at any
//       width. It picks the fastest path the processor has
//       (core/kernels_simd.h); every path gives the bytes of
//       computeRowScalar exactly.
//   MANDELBROT_CORE ... J_COSH_CORE(row, rowPtr) - the program's kernels:
//       they read the program-wide parameters (core/state.h), write
//       fracWidth bytes at rowPtr and return rowPtr + fracWidth.
//
// The frame, per column i: x = i * xScale + xStart, y = row * yScale + yStart;
// z0 from the type; j = -1; repeat { squares of z_n, z_n+1 from the type's
// rule, ++j } while (j < detail && zr^2 + zi^2 <= 4.0) with the squares of
// z_n (the iterate before the update). NaN fails the test: an escape.
// The cell stores (255 * j) / detail.
//
// Re-entrant: all working state is local; any number of rows may run at once.
#ifndef QUORVEX_CORE_KERNELS_H
#define QUORVEX_CORE_KERNELS_H

#include "core/kernels_plain.h"

// The view the program-wide parameters describe.
KernelView currentKernelView();

// Writes view.width bytes at out; returns out + view.width.
unsigned char *computeRow(int type, const KernelView &view, int row, unsigned char *out);

unsigned char *MANDELBROT_CORE(int row, unsigned char *rowPtr);
unsigned char *JULIA_CORE(int row, unsigned char *rowPtr);
unsigned char *M_DRAGON_CORE(int row, unsigned char *rowPtr);
unsigned char *J_DRAGON_CORE(int row, unsigned char *rowPtr);
unsigned char *M_PHOENIX_CORE(int row, unsigned char *rowPtr);
unsigned char *J_PHOENIX_CORE(int row, unsigned char *rowPtr);
unsigned char *M_COSINE_CORE(int row, unsigned char *rowPtr);
unsigned char *J_COSINE_CORE(int row, unsigned char *rowPtr);
unsigned char *M_COSH_CORE(int row, unsigned char *rowPtr);
unsigned char *J_COSH_CORE(int row, unsigned char *rowPtr);

#endif
