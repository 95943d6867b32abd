// kernels_plain.h - the plain double loop that computes a row of any type:
// the reference for every kernel path.
//
// Layer: core.
//
// computeRowScalar runs the frame of the type table one cell at a time, in
// plain doubles (the build forbids FMA contraction): for each cell, z0 from
// the type, j = -1, then { squares of z_n, z_n+1 from the type's rule, ++j }
// while (j < detail && zr^2 + zi^2 <= 4.0) with the squares of z_n. NaN
// fails the test: an escape. The cell stores (255 * j) / detail. Every
// faster path (core/kernels_simd.h) writes exactly these bytes.
//
// The rules themselves are core/kernel_steps.h, shared with the scalar
// path; this header declares, and defines nothing.
#ifndef QUORVEX_CORE_KERNELS_PLAIN_H
#define QUORVEX_CORE_KERNELS_PLAIN_H

#include "core/kernel_view.h"

// Writes view.width bytes at out; returns out + view.width.
unsigned char *computeRowScalar(int type, const KernelView &view, int row, unsigned char *out);

#endif
